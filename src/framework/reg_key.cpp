#include "framework/reg_key.h"

#include <vector>

namespace zv::fw {

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        m_key = other.m_key;
        other.m_key = nullptr;
    }
    return *this;
}

LONG CRegKey::Open(HKEY parent, const std::wstring& subKey, REGSAM access) noexcept
{
    Close();
    return ::RegOpenKeyExW(parent, subKey.c_str(), 0, access, &m_key);
}

LONG CRegKey::Create(HKEY parent, const std::wstring& subKey, REGSAM access) noexcept
{
    Close();
    return ::RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                             &m_key, nullptr);
}

void CRegKey::Close() noexcept
{
    if (m_key) {
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
}

std::optional<std::wstring> CRegKey::QueryString(const std::wstring& name) const
{
    if (!m_key) return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(m_key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // The value may change between the two calls; retry with the size reported.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 2, L'\0');
        DWORD size = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        LONG rc = ::RegQueryValueExW(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            bytes = size;
            continue;
        }
        if (rc != ERROR_SUCCESS) return std::nullopt;
        // Registry strings need not be terminated.
        buf[size / sizeof(wchar_t)] = L'\0';
        return std::wstring(buf.data());
    }
    return std::nullopt;
}

std::optional<DWORD> CRegKey::QueryDword(const std::wstring& name) const
{
    if (!m_key) return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_DWORD || size != sizeof(value)) return std::nullopt;
    return value;
}

LONG CRegKey::SetString(const std::wstring& name, const std::wstring& value) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExW(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG CRegKey::SetDword(const std::wstring& name, DWORD value) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExW(m_key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG CRegKey::DeleteValue(const std::wstring& name) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegDeleteValueW(m_key, name.c_str());
}

LONG CRegKey::DeleteTree(HKEY parent, const std::wstring& subKey) noexcept
{
    return ::RegDeleteTreeW(parent, subKey.c_str());
}

} // namespace zv::fw
