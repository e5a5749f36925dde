// Test helper standing in for the connection utility: writes the arguments it was started
// with, joined by '|', to the file named by ZVTEST_STUB_OUT.
#include "framework/handle.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    wchar_t out[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ZVTEST_STUB_OUT", out, MAX_PATH)) return 2;
    std::wstring joined;
    for (int i = 1; i < argc; ++i) joined += (i > 1 ? L"|" : L"") + std::wstring(argv[i]);
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, joined.c_str(), static_cast<int>(joined.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, joined.c_str(), static_cast<int>(joined.size()), text.data(), bytes, nullptr, nullptr);
    // Written under another name and renamed, so the reader never sees half a file.
    std::wstring temp = std::wstring(out) + L".tmp";
    {
        zv::fw::CHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return 3;
        DWORD written = 0;
        ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return ::MoveFileExW(temp.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
