#include "framework/file.h"

namespace zv::fw {

int CFileException::OsErrorToCause(LONG osError) noexcept
{
    switch (osError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_CANNOT_MAKE: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

bool CFile::Open(const std::wstring& path, unsigned flags, CFileException* error) noexcept
{
    Close();
    DWORD access = 0;
    switch (flags & 3u) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (flags & 0x70u) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break; // compatibility and exclusive
    }
    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate) disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, (flags & modeNoInherit) ? FALSE : TRUE};
    HANDLE h = ::CreateFileW(path.c_str(), access, share, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD os = ::GetLastError();
        if (error) {
            error->m_cause = CFileException::OsErrorToCause(static_cast<LONG>(os));
            error->m_lOsError = static_cast<LONG>(os);
            error->m_strFileName = path;
        }
        return false;
    }
    m_handle.Reset(h);
    m_path = path;
    return true;
}

void CFile::Close() noexcept
{
    m_handle.Reset();
    m_path.clear();
}

void CFile::Throw(DWORD osError) const
{
    throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(osError)), static_cast<LONG>(osError), m_path);
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    DWORD got = 0;
    if (!::ReadFile(m_handle.Get(), buffer, count, &got, nullptr)) Throw(::GetLastError());
    return got;
}

void CFile::Write(const void* buffer, uint32_t count)
{
    DWORD written = 0;
    if (!::WriteFile(m_handle.Get(), buffer, count, &written, nullptr)) Throw(::GetLastError());
    if (written != count) Throw(ERROR_DISK_FULL);
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result{};
    if (!::SetFilePointerEx(m_handle.Get(), distance, &result, static_cast<DWORD>(from))) Throw(::GetLastError());
    return static_cast<uint64_t>(result.QuadPart);
}

uint64_t CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_handle.Get(), &size)) Throw(::GetLastError());
    return static_cast<uint64_t>(size.QuadPart);
}

void CFile::SetLength(uint64_t length)
{
    Seek(static_cast<int64_t>(length), begin);
    if (!::SetEndOfFile(m_handle.Get())) Throw(::GetLastError());
}

void CFile::Flush()
{
    if (!::FlushFileBuffers(m_handle.Get())) Throw(::GetLastError());
}

bool CFile::GetStatus(const std::wstring& path, CFileStatus& status) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    status.ctime = data.ftCreationTime;
    status.mtime = data.ftLastWriteTime;
    status.atime = data.ftLastAccessTime;
    status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.attribute = data.dwFileAttributes;
    status.fullName = path;
    return true;
}

bool CFile::SetAttributes(const std::wstring& path, DWORD attributes) noexcept
{
    // Windows refuses an empty attribute set for files: "normal" stands for none.
    return ::SetFileAttributesW(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

void CFile::Remove(const std::wstring& path)
{
    if (!::DeleteFileW(path.c_str())) {
        DWORD os = ::GetLastError();
        throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(os)), static_cast<LONG>(os), path);
    }
}

void CFile::Rename(const std::wstring& from, const std::wstring& to)
{
    if (!::MoveFileW(from.c_str(), to.c_str())) {
        DWORD os = ::GetLastError();
        throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(os)), static_cast<LONG>(os), from);
    }
}

} // namespace zv::fw
