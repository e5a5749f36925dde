#include "updater/base/win32/path_helpers.h"

#include "updater/base/text_helpers.h"

#include <windows.h>
#include <shlobj.h>

std::wstring GetCommonAppDataDir()
{
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf))) buf[0] = L'\0';
    return std::wstring(buf) + L"\\";
}

std::wstring GetSharedUpdaterDir()
{
    return GetCommonAppDataDir() + L"QuorShrd\\Updater";
}

std::wstring GetModuleDirectory()
{
    wchar_t buf[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) buf[MAX_PATH - 1] = L'\0';
    return GetDirectoryPart(buf);
}

std::wstring GetParentOfModuleDirectory()
{
    std::wstring dir = GetModuleDirectory();
    if (dir.size() <= 2) return std::wstring();
    // A dummy file name makes the directory part of it the folder itself.
    return GetDirectoryPart(dir + L".txt");
}
