// A stand-in installer for the apply tests.
//   fake_installer.exe exit CODE                 ends with CODE
//   fake_installer.exe sleep MS MARKER           waits MS, writes MARKER, ends with 0
//   fake_installer.exe handoff MS MARKER         signals the starting event, leaves the work
//                                                to a second process (worker) and ends at once;
//                                                ends with 90 when the events do not exist yet
//   fake_installer.exe worker MS MARKER          waits MS, writes MARKER, signals the ending event
//   fake_installer.exe exclusive MS LOCKFILE     holds LOCKFILE unshared for MS; 77 when another has it
#include "framework/handle.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kStarting[] = L"Local\\Quorvane Async Payload Starting";
const wchar_t kEnding[] = L"Local\\Quorvane Async Payload Ending";

void WriteMarker(const wchar_t* path)
{
    zv::fw::CHandle f(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f) {
        DWORD written = 0;
        ::WriteFile(f.Get(), "done", 4, &written, nullptr);
    }
}

DWORD Ms(const wchar_t* text)
{
    return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    std::wstring mode = argv[1];
    if (mode == L"exit") return static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    if (argc < 4) return 2;
    if (mode == L"sleep") {
        ::Sleep(Ms(argv[2]));
        WriteMarker(argv[3]);
        return 0;
    }
    if (mode == L"handoff") {
        zv::fw::CHandle starting(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kStarting));
        zv::fw::CHandle ending(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kEnding));
        if (!starting || !ending) return 90;
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine = std::wstring(L"\"") + self + L"\" worker " + argv[2] + L" \"" + argv[3] + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 91;
        zv::fw::CHandle thread(pi.hThread), process(pi.hProcess);
        ::SetEvent(starting.Get());
        return 0;
    }
    if (mode == L"worker") {
        ::Sleep(Ms(argv[2]));
        WriteMarker(argv[3]);
        zv::fw::CHandle ending(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kEnding));
        if (!ending) return 92;
        ::SetEvent(ending.Get());
        return 0;
    }
    if (mode == L"exclusive") {
        zv::fw::CHandle f(::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f) return 77;
        ::Sleep(Ms(argv[2]));
        return 0;
    }
    return 2;
}
