// Win32Machine: top-level windows, messages and the alert box.
#include "updater/expr/win32/machine_win32.h"

#include <windows.h>

namespace zv::expr {

namespace {

HWND ToWindow(uint64_t window)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

} // namespace

uint64_t Win32Machine::FindTopLevelWindow(const std::wstring* className, const std::wstring* title)
{
    HWND w = FindWindowW(className ? className->c_str() : nullptr, title ? title->c_str() : nullptr);
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(w));
}

void Win32Machine::PostWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    PostMessageW(ToWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void Win32Machine::SendWindowMessage(uint64_t window, uint32_t message, uint64_t wParam, int64_t lParam)
{
    // A hung receiver must not hang the updater: give up on it instead of waiting forever.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(ToWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG,
                        30000, &ignored);
}

uint32_t Win32Machine::RegisterWindowMessageName(const std::wstring& name)
{
    return RegisterWindowMessageW(name.c_str());
}

void Win32Machine::ShowAlert(const std::wstring& text)
{
    MessageBoxW(nullptr, text.c_str(), L"Alert", MB_OK);
}

} // namespace zv::expr
