#pragma once
// A registry key owner with the few reads and writes the product makes.
#include <windows.h>

#include <optional>
#include <string>

namespace zv::fw {

class CRegKey {
public:
    CRegKey() noexcept = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    CRegKey(CRegKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    CRegKey& operator=(CRegKey&& other) noexcept;

    // Returns the Win32 error code (ERROR_SUCCESS when open).
    LONG Open(HKEY parent, const std::wstring& subKey, REGSAM access = KEY_READ) noexcept;
    LONG Create(HKEY parent, const std::wstring& subKey, REGSAM access = KEY_READ | KEY_WRITE) noexcept;
    void Close() noexcept;

    HKEY Get() const noexcept { return m_key; }
    bool IsOpen() const noexcept { return m_key != nullptr; }

    // REG_SZ or REG_EXPAND_SZ (not expanded); nullopt when missing or of another type.
    std::optional<std::wstring> QueryString(const std::wstring& name) const;
    std::optional<DWORD> QueryDword(const std::wstring& name) const;
    LONG SetString(const std::wstring& name, const std::wstring& value) noexcept;
    LONG SetDword(const std::wstring& name, DWORD value) noexcept;
    LONG DeleteValue(const std::wstring& name) noexcept;

    // Removes a key and everything below it.
    static LONG DeleteTree(HKEY parent, const std::wstring& subKey) noexcept;

private:
    HKEY m_key = nullptr;
};

} // namespace zv::fw
