#include "launcher/shell_open.h"

#include "framework/handle.h"

#include <shellapi.h>

namespace zv::launcher {
namespace {

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept
    {
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
};
using CWindowHandle = fw::UniqueHandle<WindowTraits>;

constexpr WORD kLeftAlt = 0xA4;

void TapLeftAlt()
{
    INPUT inputs[2]{};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = kLeftAlt;
    inputs[1].type = INPUT_KEYBOARD;
    inputs[1].ki.wVk = kLeftAlt;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

} // namespace

ForegroundAttentionGrabber::ForegroundAttentionGrabber() : m_dwOwnThread(::GetCurrentThreadId())
{
    // The system lets the process that received the last input change the foreground.
    TapLeftAlt();
    HWND foreground = ::GetForegroundWindow();
    DWORD foregroundProcess = 0;
    m_dwForegroundThread = foreground ? ::GetWindowThreadProcessId(foreground, &foregroundProcess) : 0;
    if (!foreground || foregroundProcess == ::GetCurrentProcessId() || m_dwForegroundThread == m_dwOwnThread) return;
    m_bAttached = ::AttachThreadInput(m_dwOwnThread, m_dwForegroundThread, TRUE) != FALSE;
    if (m_bAttached) {
        // A window created and closed while attached makes this thread the last to act.
        CWindowHandle probe(::CreateWindowExW(0, L"Button", L"", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                              ::GetModuleHandleW(nullptr), nullptr));
        if (probe) ::SendMessageW(probe.Get(), WM_CLOSE, 0, 0);
    }
}

ForegroundAttentionGrabber::~ForegroundAttentionGrabber()
{
    if (m_bAttached) ::AttachThreadInput(m_dwOwnThread, m_dwForegroundThread, FALSE);
}

bool ShellOpen(const std::wstring& file, const std::wstring& parameters, HWND owner, bool grabForeground)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No error box: the launcher runs in the background and its main thread must not block.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.hwnd = owner;
    info.nShow = SW_SHOWNORMAL;

    HWND previous = nullptr;
    if (grabForeground) {
        ForegroundAttentionGrabber grabber;
        previous = ::GetForegroundWindow();
        ::SetForegroundWindow(::GetDesktopWindow());
    }
    BOOL ok = ::ShellExecuteExW(&info);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (previous) ::SetForegroundWindow(previous);
    ::SetLastError(error);
    return ok != FALSE;
}

} // namespace zv::launcher
