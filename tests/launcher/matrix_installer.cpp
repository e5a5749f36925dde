// The installer the fault matrix serves as its payload. Every run appends "ran HASH" (the
// FNV-1a 64 of its own file, so the test can tell which bytes ran) to the file named by
// ZV_MATRIX_MARKER, then registers the utility named by ZV_MATRIX_UTILITY as version
// 2.00.00, the way the real installer leaves the machine. Ends with 0, or 2 to 4 when it
// could not do its part.
#include "framework/handle.h"
#include "framework/reg_key.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

bool OwnHash(uint64_t& hash)
{
    wchar_t self[MAX_PATH] = {};
    if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) return false;
    zv::fw::CHandle f(::CreateFileW(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return false;
    hash = 1469598103934665603ull;
    unsigned char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f.Get(), buf, sizeof buf, &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i) hash = (hash ^ buf[i]) * 1099511628211ull;
    }
    return true;
}

bool SetString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value)
{
    zv::fw::CRegKey k;
    if (k.Create(root, key, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return false;
    return ::RegSetValueExW(k.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

int wmain()
{
    wchar_t marker[MAX_PATH] = {};
    wchar_t utility[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ZV_MATRIX_MARKER", marker, MAX_PATH)) return 2;
    if (!::GetEnvironmentVariableW(L"ZV_MATRIX_UTILITY", utility, MAX_PATH)) return 2;
    uint64_t hash = 0;
    if (!OwnHash(hash)) return 3;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "ran %016llx\r\n", static_cast<unsigned long long>(hash));
    {
        zv::fw::CHandle f(::CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (!f || !::WriteFile(f.Get(), line, static_cast<DWORD>(n), &written, nullptr)) return 3;
    }
    if (!SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KVCHHost.exe", L"", utility) ||
        !SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvane\\Tandemix", L"Version", L"2.00.00"))
        return 4;
    return 0;
}
