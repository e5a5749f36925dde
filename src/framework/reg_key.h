#pragma once
// A registry key owner with the few reads and writes the product makes.
#include "framework/handle.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zv::fw {

class CRegKey {
public:
    CRegKey() noexcept = default;

    // Returns the Win32 error code (ERROR_SUCCESS when open).
    LONG Open(HKEY parent, const std::wstring& subKey, REGSAM access = KEY_READ) noexcept;
    LONG Create(HKEY parent, const std::wstring& subKey, REGSAM access = KEY_READ | KEY_WRITE) noexcept;
    void Close() noexcept;

    HKEY Get() const noexcept { return m_key.Get(); }
    bool IsOpen() const noexcept { return m_key.IsValid(); }

    // Any value with its type and raw bytes; returns the Win32 error code.
    LONG QueryValue(const std::wstring& name, DWORD& type, std::vector<uint8_t>& bytes) const;
    bool HasValue(const std::wstring& name) const noexcept;

    // REG_SZ or REG_EXPAND_SZ (not expanded); nullopt when missing or of another type.
    std::optional<std::wstring> QueryString(const std::wstring& name) const;
    std::optional<DWORD> QueryDword(const std::wstring& name) const;
    LONG SetString(const std::wstring& name, const std::wstring& value) noexcept;
    LONG SetDword(const std::wstring& name, DWORD value) noexcept;
    LONG DeleteValue(const std::wstring& name) noexcept;

    // Removes a key and everything below it.
    static LONG DeleteTree(HKEY parent, const std::wstring& subKey) noexcept;

private:
    CRegKeyHandle m_key;
};

} // namespace zv::fw
