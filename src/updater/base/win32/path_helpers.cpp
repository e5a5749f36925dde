#include "updater/base/win32/path_helpers.h"

#include "framework/handle.h"
#include "updater/base/text_helpers.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

std::wstring GetCommonAppDataDir()
{
    // The shell library is held only for this call: the launcher reads the folder at start
    // (its trace level), and the shell mapped for that alone would stay all its idle life.
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    wchar_t buf[MAX_PATH] = {};
    zv::fw::CModule shell(::LoadLibraryW(L"shell32.dll"));
    auto getFolderPath = shell ? reinterpret_cast<GetFolderPathFn>(
                                     reinterpret_cast<void*>(::GetProcAddress(shell.Get(), "SHGetFolderPathW")))
                               : nullptr;
    if (!getFolderPath || FAILED(getFolderPath(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf)))
        buf[0] = L'\0';
    return std::wstring(buf) + L"\\";
}

std::wstring GetSharedUpdaterDir()
{
    return GetCommonAppDataDir() + L"QuorShrd\\Updater";
}

std::wstring zv::ModulePath()
{
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::wstring GetModuleDirectory()
{
    wchar_t buf[MAX_PATH] = {};
    std::wstring path = zv::ModulePath();
    // The folder keeps its documented MAX_PATH bound.
    path.copy(buf, MAX_PATH - 1);
    return GetDirectoryPart(buf);
}

std::wstring GetParentOfModuleDirectory()
{
    std::wstring dir = GetModuleDirectory();
    if (dir.size() <= 2) return std::wstring();
    // A dummy file name makes the directory part of it the folder itself.
    return GetDirectoryPart(dir + L".txt");
}
