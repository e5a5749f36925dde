// Start-up probe of the launcher itself: starts the given launcher executable, waits for its
// progress window to become visible and reports the milliseconds from the launcher's process
// creation to that moment; then ends the launcher it started.
//
//   first_frame_launcher LAUNCHER.EXE
#include <windows.h>

#include <cstdio>
#include <string>

#include "skin/belvarra_base_wnd.h"

namespace {

long long Ticks(const FILETIME& f)
{
    return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

bool IsShownBy(DWORD pid)
{
    for (HWND hwnd = ::FindWindowW(zv::skin::kBelvarraWndClass, nullptr); hwnd;
         hwnd = ::FindWindowExW(nullptr, hwnd, zv::skin::kBelvarraWndClass, nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid && ::IsWindowVisible(hwnd)) return true;
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    // A long display period: the window stays up while it is looked for.
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" /splash_duration:15000";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
    double firstFrame = -1;
    for (int i = 0; i < 20000 && firstFrame < 0; ++i) {
        if (IsShownBy(pi.dwProcessId)) {
            FILETIME created, exited, kernel, user, now;
            ::GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user);
            ::GetSystemTimePreciseAsFileTime(&now);
            firstFrame = static_cast<double>(Ticks(now) - Ticks(created)) / 10000.0;
            break;
        }
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
        ::Sleep(1);
    }
    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (firstFrame < 0) return 4;
    std::printf("first-frame-ms=%.2f\n", firstFrame);
    std::fflush(stdout);
    return 0;
}
