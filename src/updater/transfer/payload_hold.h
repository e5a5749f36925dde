#pragma once
// Keeps an authenticated payload from being changed, replaced or deleted until it has
// been applied: the file stays open for reading and shares nothing but reading.
#include "framework/handle.h"

#include <string>

namespace zv {

class PayloadHold {
public:
    PayloadHold() = default;
    // Not held (IsHeld() false, error in LastError()) when the file cannot be opened so.
    static PayloadHold Open(const std::wstring& path);

    PayloadHold(PayloadHold&&) noexcept = default;
    PayloadHold& operator=(PayloadHold&&) noexcept = default;

    bool IsHeld() const noexcept { return m_file.IsValid(); }
    const std::wstring& Path() const noexcept { return m_path; }
    HANDLE Handle() const noexcept { return m_file.Get(); }
    DWORD LastError() const noexcept { return m_error; }
    // True when path names the held file itself (same volume and file index).
    bool Holds(const std::wstring& path) const;
    void Release() noexcept { m_file.Reset(); }

private:
    zv::fw::CHandle m_file;
    std::wstring m_path;
    DWORD m_error = 0;
};

} // namespace zv
