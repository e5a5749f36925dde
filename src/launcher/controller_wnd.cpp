#include "launcher/controller_wnd.h"

#include "framework/reg_key.h"
#include "launcher/launcher_messages.h"
#include "launcher/receiver_watcher.h"
#include "launcher/utility_detection.h"

namespace zv::launcher {
namespace {

constexpr int kArrivalSplashMs = 2000;
constexpr wchar_t kPopupParams[] = L"-p";

} // namespace

bool CHiddenWnd::CreateHidden(const wchar_t* className, const wchar_t* title)
{
    if (!className) className = kControllerWndClass;
    if (!RegisterWndClass(::GetModuleHandleW(nullptr), className)) return false;
    return CreateEx(WS_EX_TOOLWINDOW, className, title, WS_POPUP, 0, 0, 1, 1);
}

bool CMainWnd::IsPopupModeOn()
{
    fw::CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kProductKey, KEY_READ) != ERROR_SUCCESS) return true;
    auto disable = key.QueryDword(L"DisablePopupMode");
    return !disable || *disable == 0;
}

LRESULT CMainWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        if (Default(message, wParam, lParam) == -1) return -1;
        if (m_bWatchReceivers) StartReceiverWatcher(::GetModuleHandleW(nullptr), GetSafeHwnd());
        return 0;
    case WM_ZV_RECEIVER_ARRIVED:
        OnReceiverArrived();
        return 0;
    case WM_ZV_RECEIVER_REMOVED:
        OnReceiverRemoved();
        return 0;
    case WM_ZV_SHOW_SPLASH:
        OnSplashShowRequest(wParam);
        return 0;
    default:
        return Default(message, wParam, lParam);
    }
}

bool CMainWnd::PreTranslateMessage(MSG* msg)
{
    // Escape, Cancel and Alt+F4 are dispatched as they are: the window has no dialog keys.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_CANCEL)) return false;
    if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F4) return false;
    return CHiddenWnd::PreTranslateMessage(msg);
}

void CMainWnd::OnSplashShowRequest(WPARAM periodMs)
{
    m_host.ShowProgressWindow(static_cast<int>(static_cast<DWORD>(periodMs)));
}

void CMainWnd::OnReceiverRemoved()
{
    --m_nReceiverCount;
}

void CMainWnd::OnReceiverArrived()
{
    // The receiver present at start counts once; only a further one brings the pop-up.
    if (++m_nReceiverCount < 2) return;
    if (!IsPopupModeOn()) {
        m_host.SetLaunchParams(L"");
        return;
    }
    m_host.SetLaunchParams(kPopupParams);
    OnSplashShowRequest(kArrivalSplashMs);
}

} // namespace zv::launcher
