#pragma once
// A file owner in the manner of the framework's file class: open flags, status and
// removal, and reads and writes that raise CFileException.
#include "framework/file_exception.h"
#include "framework/handle.h"

#include <cstdint>
#include <string>

namespace zv::fw {

struct CFileStatus {
    FILETIME ctime{};
    FILETIME mtime{};
    FILETIME atime{};
    uint64_t size = 0;
    DWORD attribute = 0;
    std::wstring fullName;
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };
    enum Attribute : DWORD { normal = 0x00, readOnly = 0x01, hidden = 0x02, system = 0x04, archive = 0x20 };

    CFile() noexcept = default;
    ~CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Returns false and fills *error (when given) instead of raising.
    bool Open(const std::wstring& path, unsigned flags, CFileException* error = nullptr) noexcept;
    void Close() noexcept;
    bool IsOpen() const noexcept { return m_handle.IsValid(); }
    HANDLE Handle() const noexcept { return m_handle.Get(); }
    const std::wstring& GetFilePath() const noexcept { return m_path; }

    // These raise CFileException on failure.
    uint32_t Read(void* buffer, uint32_t count);
    void Write(const void* buffer, uint32_t count);
    uint64_t Seek(int64_t offset, SeekPosition from);
    uint64_t SeekToEnd() { return Seek(0, end); }
    uint64_t GetLength() const;
    void SetLength(uint64_t length);
    void Flush();

    // Static helpers on paths; GetStatus and SetStatus answer false instead of raising.
    static bool GetStatus(const std::wstring& path, CFileStatus& status) noexcept;
    static bool SetAttributes(const std::wstring& path, DWORD attributes) noexcept;
    static void Remove(const std::wstring& path);
    static void Rename(const std::wstring& from, const std::wstring& to);

private:
    [[noreturn]] void Throw(DWORD osError) const;

    CHandle m_handle;
    std::wstring m_path;
};

} // namespace zv::fw
