#include "framework/reg_key.h"

#include <vector>

namespace zv::fw {

LONG CRegKey::Open(HKEY parent, const std::wstring& subKey, REGSAM access) noexcept
{
    Close();
    HKEY key = nullptr;
    LONG error = ::RegOpenKeyExW(parent, subKey.c_str(), 0, access, &key);
    // The output is not promised to stay untouched on failure.
    if (error == ERROR_SUCCESS) m_key.Reset(key);
    return error;
}

LONG CRegKey::Create(HKEY parent, const std::wstring& subKey, REGSAM access) noexcept
{
    Close();
    HKEY key = nullptr;
    LONG error = ::RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                   nullptr);
    if (error == ERROR_SUCCESS) m_key.Reset(key);
    return error;
}

void CRegKey::Close() noexcept
{
    m_key.Reset();
}

LONG CRegKey::QueryValue(const std::wstring& name, DWORD& type, std::vector<uint8_t>& bytes) const
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    // Size first, then the data; a value that grows in between is read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG error = ::RegQueryValueExW(Get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (error != ERROR_SUCCESS) return error;
        std::vector<uint8_t> data(size);
        error = ::RegQueryValueExW(Get(), name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (error == ERROR_MORE_DATA) continue;
        if (error != ERROR_SUCCESS) return error;
        data.resize(size);
        bytes = std::move(data);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

bool CRegKey::HasValue(const std::wstring& name) const noexcept
{
    if (!m_key) return false;
    DWORD size = 0;
    LONG error = ::RegQueryValueExW(Get(), name.c_str(), nullptr, nullptr, nullptr, &size);
    return error == ERROR_SUCCESS || error == ERROR_MORE_DATA;
}

std::optional<std::wstring> CRegKey::QueryString(const std::wstring& name) const
{
    if (!m_key) return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(Get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // The value may change between the two calls; retry with the size reported.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 2, L'\0');
        DWORD size = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        LONG rc = ::RegQueryValueExW(Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
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
    if (::RegQueryValueExW(Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_DWORD || size != sizeof(value)) return std::nullopt;
    return value;
}

LONG CRegKey::SetString(const std::wstring& name, const std::wstring& value) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExW(Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG CRegKey::SetDword(const std::wstring& name, DWORD value) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExW(Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG CRegKey::DeleteValue(const std::wstring& name) noexcept
{
    if (!m_key) return ERROR_INVALID_HANDLE;
    return ::RegDeleteValueW(Get(), name.c_str());
}

LONG CRegKey::DeleteTree(HKEY parent, const std::wstring& subKey) noexcept
{
    return ::RegDeleteTreeW(parent, subKey.c_str());
}

} // namespace zv::fw
