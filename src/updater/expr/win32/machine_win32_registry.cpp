// Win32Machine: the registry.
#include "updater/expr/win32/machine_win32.h"

#include "framework/reg_key.h"

#include <windows.h>

#include <vector>


namespace zv::expr {

namespace {

HKEY RootKey(RegRoot root)
{
    switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::LocalMachine: break;
    }
    return HKEY_LOCAL_MACHINE;
}

bool IsMissing(LONG error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

RegQuery Win32Machine::ReadRegValue(RegRoot root, const std::wstring& subkey, const std::wstring& name, RegData& out)
{
    zv::fw::CRegKey key;
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    LONG error = key.Open(RootKey(root), subkey, KEY_READ);
    if (error == ERROR_SUCCESS) error = key.QueryValue(name, type, bytes);
    if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
    out.type = type;
    out.bytes = std::move(bytes);
    return RegQuery::Ok;
}

bool Win32Machine::RegKeyExists(RegRoot root, const std::wstring& subkey)
{
    zv::fw::CRegKey key;
    return key.Open(RootKey(root), subkey, KEY_READ) == ERROR_SUCCESS;
}

bool Win32Machine::RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name)
{
    zv::fw::CRegKey key;
    return key.Open(RootKey(root), subkey, KEY_READ) == ERROR_SUCCESS && key.HasValue(name);
}

bool Win32Machine::WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text)
{
    zv::fw::CRegKey key;
    return key.Open(RootKey(root), subkey, KEY_ALL_ACCESS) == ERROR_SUCCESS && key.SetString(name, text) == ERROR_SUCCESS;
}

} // namespace zv::expr
