#pragma once
// The launcher's application object: switches, single instance (forward to the running
// one, or become it), COM and GDI+, the controller window, the progress window.
#include "framework/win_app.h"
#include "launcher/command_line.h"
#include "launcher/controller_wnd.h"
#include "launcher/utility_detection.h"

#include <memory>
#include <string>
#include <vector>

namespace zv::launcher {

// The progress window as the application sees it. Close hides and destroys the window
// and detaches it from its updater worker, which it stops and waits for.
class IProgressWindowHost {
public:
    virtual ~IProgressWindowHost() = default;
    virtual void Show(int periodMs) = 0;
    virtual void Close() = 0;
};

class CVeskLaunchTandemixAppApp : public fw::CWinApp, public CUtilityLauncher, public IControllerHost {
public:
    // arguments: the command line after the program name.
    explicit CVeskLaunchTandemixAppApp(std::vector<std::wstring> arguments);
    ~CVeskLaunchTandemixAppApp() override;

    // The skinned progress window unless another is supplied; with none (null), a request
    // to show it is only logged.
    void SetProgressWindowHost(std::unique_ptr<IProgressWindowHost> host) noexcept { m_progress = std::move(host); }

    void ShowProgressWindow(int periodMs) override;
    void SetLaunchParams(const std::wstring& params) override { m_strLaunchParams = params; }

    CMainWnd* m_pControllerWnd = nullptr;

protected:
    bool InitInstance() override;
    int ExitInstance() override;

private:
    std::vector<std::wstring> m_arguments;
    KECommandLineInfo m_cmdInfo;
    std::unique_ptr<IProgressWindowHost> m_progress;
    bool m_comStarted = false;
    bool m_gdiplusStarted = false;
    ULONG_PTR m_gdiplusToken = 0;
};

} // namespace zv::launcher
