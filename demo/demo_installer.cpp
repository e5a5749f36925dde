// Demo installer of the connection utility: copies the utility it carries as a resource
// into Program Files, registers its App Paths entry and the product values the launcher
// reads, and exits with the code given by "/exitcode N" (0 when not given), so the demo
// and the system tests can show what the launcher does with each installer outcome.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#ifndef KVCH_DEMO_VERSION
#error "KVCH_DEMO_VERSION must be defined by the build"
#endif

#define KVCH_WIDEN2(x) L##x
#define KVCH_WIDEN(x) KVCH_WIDEN2(x)

namespace {

constexpr wchar_t kVersion[] = KVCH_WIDEN(KVCH_DEMO_VERSION);
constexpr wchar_t kAppPathsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KVCHHost.exe";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quorvane\\Tandemix";
constexpr int kUtilityResource = 1;
constexpr DWORD kInstallFailure = 1603; // what Windows Installer reports for a failed install

void Trace(const std::wstring& text) { ::OutputDebugStringW((L"KVCH demo installer " + std::wstring(kVersion) + L": " + text + L"\n").c_str()); }

// "/exitcode N" anywhere on the command line; anything else is ignored.
DWORD ConfiguredExitCode()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    DWORD code = 0;
    for (int i = 1; argv && i + 1 < argc; ++i) {
        if (::_wcsicmp(argv[i], L"/exitcode") == 0) {
            wchar_t* end = nullptr;
            unsigned long value = std::wcstoul(argv[i + 1], &end, 10);
            if (end && *end == L'\0' && end != argv[i + 1]) code = static_cast<DWORD>(value);
            else Trace(std::wstring(L"ignored /exitcode ") + argv[i + 1]);
        }
    }
    if (argv) ::LocalFree(argv);
    return code;
}

bool WriteUtility(const std::wstring& folder, std::wstring& target)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kUtilityResource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = found ? ::SizeofResource(nullptr, found) : 0;
    if (!bytes || size == 0) {
        Trace(L"the utility is missing from this installer");
        return false;
    }
    int made = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        Trace(L"cannot create " + folder);
        return false;
    }
    // Written beside the target first, so a failed write never leaves half a program.
    target = folder + L"\\KVCHHost.exe";
    const std::wstring partial = target + L".new";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Trace(L"cannot write " + partial);
        return false;
    }
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes, size, &written, nullptr) && written == size;
    ok = ::CloseHandle(file) && ok;
    if (!ok || !::MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Trace(L"cannot put the utility in place at " + target + L" (" + std::to_wstring(::GetLastError()) + L")");
        ::DeleteFileW(partial.c_str());
        return false;
    }
    return true;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteKey(const wchar_t* path, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        Trace(std::wstring(L"cannot open HKLM\\") + path);
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : values) ok = SetString(key, name, value) && ok;
    ::RegCloseKey(key);
    if (!ok) Trace(std::wstring(L"cannot write the values of HKLM\\") + path);
    return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const DWORD exitCode = ConfiguredExitCode();
    wchar_t programFiles[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles))) {
        Trace(L"no Program Files folder");
        return static_cast<int>(kInstallFailure);
    }
    const std::wstring folder = std::wstring(programFiles) + L"\\Quorvane\\Tandemix";
    std::wstring target;
    if (!WriteUtility(folder, target)) return static_cast<int>(kInstallFailure);
    // The registration last: the launcher never sees a registered utility that is not there.
    if (!WriteKey(kProductKey, {{L"Version", kVersion}, {L"Language", L"ENU"}, {L"InstallDir", folder}}) ||
        !WriteKey(kAppPathsKey, {{L"", L"\"" + target + L"\""}, {L"Path", folder}}))
        return static_cast<int>(kInstallFailure);
    Trace(L"installed " + target + L", exiting with " + std::to_wstring(exitCode));
    return static_cast<int>(exitCode);
}
