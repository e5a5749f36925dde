#pragma once
// The launcher's invisible windows: CHiddenWnd, a never-shown 1 x 1 tool window, and the
// controller CMainWnd, the mailbox of later instances and of the receiver watcher.
#include "framework/wnd.h"

#include <string>

namespace zv::launcher {

class CHiddenWnd : public fw::CWnd {
public:
    // A null class name means the controller's class.
    virtual bool CreateHidden(const wchar_t* className = nullptr, const wchar_t* title = nullptr);
};

// What the controller asks of the application: the progress window and the parameters of
// the utility's next start.
class IControllerHost {
public:
    virtual ~IControllerHost() = default;
    virtual void ShowProgressWindow(int periodMs) = 0;
    virtual void SetLaunchParams(const std::wstring& params) = 0;
};

class CMainWnd : public CHiddenWnd {
public:
    explicit CMainWnd(IControllerHost& host, bool watchReceivers = true) noexcept
        : m_host(host), m_bWatchReceivers(watchReceivers)
    {
    }

    // "DisablePopupMode" under the user's product key turns pop-up mode off only as a
    // non-zero 4-byte number; anything else leaves it on.
    static bool IsPopupModeOn();

    int m_nReceiverCount = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;

    void OnReceiverArrived();
    void OnReceiverRemoved();
    void OnSplashShowRequest(WPARAM periodMs);

private:
    IControllerHost& m_host;
    bool m_bWatchReceivers;
};

} // namespace zv::launcher
