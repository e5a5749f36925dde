// A stand-in installer for the apply tests.
//   fake_installer.exe exit CODE                 ends with CODE
//   fake_installer.exe sleep MS MARKER           waits MS, writes MARKER, ends with 0
//   fake_installer.exe handoff MS MARKER         signals the starting event, leaves the work
//                                                to a second process (worker) and ends at once;
//                                                ends with 90 when the events do not exist yet
//   fake_installer.exe worker MS MARKER          waits MS, writes MARKER, signals the ending event
//   fake_installer.exe exclusive MS LOCKFILE     holds LOCKFILE unshared for MS; 77 when another has it
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kStarting[] = L"Local\\Quorvane Async Payload Starting";
const wchar_t kEnding[] = L"Local\\Quorvane Async Payload Ending";

void WriteMarker(const wchar_t* path)
{
    HANDLE f = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(f, "done", 4, &written, nullptr);
        ::CloseHandle(f);
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
        HANDLE starting = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kStarting);
        HANDLE ending = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kEnding);
        if (!starting || !ending) return 90;
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine = std::wstring(L"\"") + self + L"\" worker " + argv[2] + L" \"" + argv[3] + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 91;
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        ::SetEvent(starting);
        ::CloseHandle(starting);
        ::CloseHandle(ending);
        return 0;
    }
    if (mode == L"worker") {
        ::Sleep(Ms(argv[2]));
        WriteMarker(argv[3]);
        HANDLE ending = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kEnding);
        if (!ending) return 92;
        ::SetEvent(ending);
        ::CloseHandle(ending);
        return 0;
    }
    if (mode == L"exclusive") {
        HANDLE f = ::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return 77;
        ::Sleep(Ms(argv[2]));
        ::CloseHandle(f);
        return 0;
    }
    return 2;
}
