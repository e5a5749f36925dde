#include "launcher/launcher_app.h"

#include "updater/base/log.h"
#include "launcher/instance_check.h"
#include "launcher/instance_forwarding.h"
#include "launcher/launcher_messages.h"
#include "launcher/progress_window_host.h"

#include <commctrl.h>
#include <objbase.h>
// GDI+'s flat start-up entry points only; the launcher draws nothing itself.
#include <gdiplus.h>

namespace zv::launcher {

CVeskLaunchTandemixAppApp::CVeskLaunchTandemixAppApp(std::vector<std::wstring> arguments)
    : m_arguments(std::move(arguments)), m_progress(std::make_unique<CSkinProgressWindowHost>(*this))
{
}

CVeskLaunchTandemixAppApp::~CVeskLaunchTandemixAppApp()
{
    // The window (and its worker) goes before the controller, as in ExitInstance.
    m_progress.reset();
    delete m_pControllerWnd;
}

void CVeskLaunchTandemixAppApp::ShowProgressWindow(int periodMs)
{
    if (m_progress)
        m_progress->Show(periodMs);
    else
        zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: progress window requested for %d ms, none in this build", periodMs);
}

bool CVeskLaunchTandemixAppApp::InitInstance()
{
    m_cmdInfo.ParseArguments(m_arguments);

    CQuorInstanceCheck check;
    // The atomic create is the test: of simultaneous starts exactly one wins.
    const InstanceClaim claim = check.IsAnotherInstanceRunning() ? InstanceClaim::AlreadyRunning : check.ClaimFirstInstance();
    if (claim == InstanceClaim::AlreadyRunning) {
        const ForwardingResult forwarded = ForwardToRunningInstance(m_cmdInfo);
        if (!forwarded.controller)
            zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: the running instance has no controller window, nothing forwarded");
        return false;
    }
    if (claim == InstanceClaim::Unprotected)
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: no single-instance guard (%u), running unguarded", static_cast<unsigned>(::GetLastError()));
    // Nothing was running, so there is nothing to close.
    if (m_cmdInfo.m_bCloseRunning) return false;

    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);

    // The shell (ShellExecuteEx, shell folders) expects COM on the thread that calls it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    m_comStarted = SUCCEEDED(com);
    if (!m_comStarted) zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: COM not initialised (0x%08X)", static_cast<unsigned>(com));

    Gdiplus::GdiplusStartupInput gdiplusInput;
    m_gdiplusStarted = Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;
    if (!m_gdiplusStarted) zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: GDI+ did not start");

    m_pControllerWnd = new CMainWnd(*this);
    if (!m_pControllerWnd->CreateHidden(kControllerWndClass, nullptr)) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: controller window not created (%u)", static_cast<unsigned>(::GetLastError()));
        return false;
    }
    m_pMainWnd = m_pControllerWnd;
    if (!m_cmdInfo.m_bSilent) ShowProgressWindow(m_cmdInfo.m_nSplashDurationMs);
    return true;
}

int CVeskLaunchTandemixAppApp::ExitInstance()
{
    // Each part goes before what it uses: the window (with its worker), the controller
    // (with its receiver watcher), then GDI+ and COM, each only if it was started.
    if (m_progress) {
        m_progress->Close();
        m_progress.reset();
    }
    if (m_pControllerWnd) {
        m_pMainWnd = nullptr;
        delete m_pControllerWnd;
        m_pControllerWnd = nullptr;
    }
    if (m_gdiplusStarted) {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_gdiplusStarted = false;
    }
    if (m_comStarted) {
        ::CoUninitialize();
        m_comStarted = false;
    }
    return CWinApp::ExitInstance();
}

} // namespace zv::launcher
