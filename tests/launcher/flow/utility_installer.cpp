// Test helper standing in for the utility's installer: registers the program named by
// ZVTEST_STUB_PATH as the installed utility ("KVCHHost.exe" under App Paths). Each start
// adds a line to the file named by ZVTEST_INSTALLER_RUNS, when that is set, so a test can
// tell how often the installer ran, and that it never did.
#include <windows.h>

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

} // namespace

int wmain()
{
    RecordStart();
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
    return rc == ERROR_SUCCESS ? 0 : 4;
}
