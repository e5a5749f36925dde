// One launcher run of the fault matrix, in a process of its own (the single-instance
// mapping lasts as long as the process): the real application with its progress window
// and worker, as a user meets it. Meanwhile it records the bar, dismisses the
// no-connection box, clicks the close button once the trickle has begun, and closes the
// launcher as a later "/x" start would once the window has gone and the utility, when
// installed, has been started. Its account goes to the file the parent named.
#include "fault_matrix_flow.h"

#include "launcher/launcher_app.h"
#include "launcher/launcher_messages.h"
#include "launcher/utility_detection.h"
#include "skin/belvarra_osk_wnd.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/base/log.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace zv::test {

namespace {

using zv::skin::CBelvarraOSKWnd;

constexpr int kNoWindow = -1;
// The flow of a cell ends well within this; a run still open then counts as hung.
constexpr ULONGLONG kWindowLimitMs = 100000;
constexpr DWORD kUtilityStartMs = 15000;

std::vector<int> g_bar;                 // main thread only
std::atomic<bool> g_clickWanted{false}; // set by the watcher, done by the main thread
bool g_clickPosted = false;
std::atomic<int> g_click{0};            // 0 none, 1 on the visible button, 2 where the hidden one is, 3 no button picture

// Before each message the main thread takes: the bar as the user sees it, and the click.
LRESULT CALLBACK BeforeEachMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        CBelvarraOSKWnd* wnd = CBelvarraOSKWnd::Current();
        const int progress = wnd ? wnd->Progress() : kNoWindow;
        if (g_bar.empty() ? progress != kNoWindow : g_bar.back() != progress) g_bar.push_back(progress);
        if (wnd && g_clickWanted && !g_clickPosted) {
            g_clickPosted = true;
            const RECT close = wnd->Layout().close;
            if (close.right <= close.left || close.bottom <= close.top) {
                g_click = 3;
            } else {
                const LPARAM at = MAKELPARAM((close.left + close.right) / 2, (close.top + close.bottom) / 2);
                ::PostMessageW(wnd->GetSafeHwnd(), WM_MOUSEMOVE, 0, at);
                ::PostMessageW(wnd->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
                ::PostMessageW(wnd->GetSafeHwnd(), WM_LBUTTONUP, 0, at);
            }
        }
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (wnd && wParam == PM_REMOVE && msg->message == WM_LBUTTONDOWN && msg->hwnd == wnd->GetSafeHwnd())
            g_click = wnd->IsCloseButtonVisible() ? 1 : 2;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring Env(const wchar_t* name)
{
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, buf, MAX_PATH);
    return n && n < MAX_PATH ? buf : L"";
}

int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

struct Watch {
    bool windowSeen = false;
    bool windowGone = false;
    bool offlineBox = false;
    bool utilityRegistered = false;
};

// The user's side of the run, on a thread of its own.
void WatchTheRun(Watch& watch, const std::wstring& applied, const std::string& cancelOn, int cancelAt,
                 const std::wstring& stubOut)
{
    const ULONGLONG end = ::GetTickCount64() + kWindowLimitMs;
    for (; ::GetTickCount64() < end; ::Sleep(10)) {
        const bool present = CBelvarraOSKWnd::Current() != nullptr;
        if (present) watch.windowSeen = true;
        if (watch.windowSeen && !present) {
            watch.windowGone = true;
            break;
        }
        if (HWND box = ::FindWindowW(L"#32770", zv::skin::kNoConnectionCaption); box && ::IsWindowVisible(box)) {
            watch.offlineBox = true;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (cancelAt > 0 && !g_clickWanted && Occurrences(ReadFileBytes(applied), cancelOn) >= cancelAt) g_clickWanted = true;
    }
    // The launcher starts the utility through the shell as its window goes.
    watch.utilityRegistered = zv::launcher::FindInstalledUtility().has_value();
    if (watch.windowGone && watch.utilityRegistered) {
        for (DWORD waited = 0; waited < kUtilityStartMs && !FileExists(stubOut); waited += 50) ::Sleep(50);
    }
    HWND controller = nullptr;
    for (int i = 0; i < 100 && !(controller = ::FindWindowW(zv::launcher::kControllerWndClass, nullptr)); ++i) ::Sleep(50);
    ::PostMessageW(controller, WM_CLOSE, 0, 0);
}

} // namespace

int RunLauncherInThisProcess(std::vector<std::wstring> switches)
{
    const std::wstring resultFile = Env(kRunResultVariable);
    const std::wstring applied = Env(kRunAppliedVariable);
    const std::string cancelOn = Narrow(Env(kRunCancelOnVariable));
    const int cancelAt = _wtoi(Env(kRunCancelAtVariable).c_str());
    const std::wstring stubOut = Env(L"ZVTEST_STUB_OUT");
    if (resultFile.empty()) return 90;

    // As the launcher's own start does; then the run's lines up to level 3 are kept.
    zv::Log().EnsureInitialised();
    LogLines log(3);
    HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, BeforeEachMessage, nullptr, ::GetCurrentThreadId());
    Watch watch;
    std::thread watcher(WatchTheRun, std::ref(watch), applied, cancelOn, cancelAt, stubOut);
    int code = -1;
    {
        zv::launcher::CVeskLaunchTandemixAppApp app(std::move(switches));
        code = app.Run();
    }
    watcher.join();
    if (hook) ::UnhookWindowsHookEx(hook);

    std::string account = "exit " + std::to_string(code) + "\n";
    account += "window " + std::to_string(watch.windowSeen) + "\nclosed " + std::to_string(watch.windowGone) + "\n";
    account += "offline " + std::to_string(watch.offlineBox) + "\nclick " + std::to_string(g_click.load()) + "\n";
    account += "registered " + std::to_string(watch.utilityRegistered) + "\nbar";
    for (int v : g_bar) account += " " + std::to_string(v);
    account += "\n";
    for (const std::wstring& line : log.All()) account += "log " + Narrow(line.substr(0, line.find_last_not_of(L"\r\n") + 1)) + "\n";
    WriteFileBytes(resultFile, account);
    return code == 0 ? 0 : 91;
}

} // namespace zv::test
