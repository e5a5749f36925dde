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
    LONG error = key.Open(RootKey(root), subkey, KEY_READ);
    if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
    // Size first, then the data; a value that grows in between is read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
        std::vector<uint8_t> bytes(size);
        error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(), &size);
        if (error == ERROR_MORE_DATA) continue;
        if (error != ERROR_SUCCESS) return IsMissing(error) ? RegQuery::Missing : RegQuery::Failed;
        bytes.resize(size);
        out.type = type;
        out.bytes = std::move(bytes);
        return RegQuery::Ok;
    }
    return RegQuery::Failed;
}

bool Win32Machine::RegKeyExists(RegRoot root, const std::wstring& subkey)
{
    zv::fw::CRegKey key;
    return key.Open(RootKey(root), subkey, KEY_READ) == ERROR_SUCCESS;
}

bool Win32Machine::RegValueExists(RegRoot root, const std::wstring& subkey, const std::wstring& name)
{
    zv::fw::CRegKey key;
    if (key.Open(RootKey(root), subkey, KEY_READ) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG error = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size);
    return error == ERROR_SUCCESS || error == ERROR_MORE_DATA;
}

bool Win32Machine::WriteRegString(RegRoot root, const std::wstring& subkey, const std::wstring& name, const std::wstring& text)
{
    zv::fw::CRegKey key;
    if (key.Open(RootKey(root), subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

} // namespace zv::expr
