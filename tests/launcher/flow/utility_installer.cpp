// Test helper standing in for the utility's installer: registers the program named by
// ZVTEST_STUB_PATH as the installed utility ("KVCHHost.exe" under App Paths). Each start
// adds a line to the file named by ZVTEST_INSTALLER_RUNS, when that is set, so a test can
// tell how often the installer ran, and that it never did.
// Optional arguments, as a manifest's command line gives them:
//   mark:TEXT  appends the line TEXT to the file named by ZVTEST_INSTALL_MARKS (which run ran)
//   exit:N     ends with N once registered (3010: the installer asks for a reboot)
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

void RecordStart()
{
    wchar_t path[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ZVTEST_INSTALLER_RUNS", path, MAX_PATH)) return;
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, "started\n", 8, &written, nullptr);
    ::CloseHandle(file);
}

bool AppendMark(const std::wstring& mark)
{
    wchar_t marks[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ZVTEST_INSTALL_MARKS", marks, MAX_PATH)) return true;
    std::string line(mark.begin(), mark.end()); // marks are plain ASCII words
    line += "\r\n";
    HANDLE file = ::CreateFileW(marks, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == line.size();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    RecordStart();
    int exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"mark:", 0) == 0 && !AppendMark(arg.substr(5))) return 5;
        if (arg.rfind(L"exit:", 0) == 0) exitCode = static_cast<int>(std::wcstol(arg.c_str() + 5, nullptr, 10));
    }
    wchar_t stub[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ZVTEST_STUB_PATH", stub, MAX_PATH)) return 2;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KVCHHost.exe", 0,
                          nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 3;
    const std::wstring value = std::wstring(L"\"") + stub + L"\"";
    const LONG rc = ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS ? exitCode : 4;
}
