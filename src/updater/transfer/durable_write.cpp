#include "updater/transfer/durable_write.h"

#include "framework/file.h"

#include <windows.h>

namespace zv {

void FlushFileToDisk(const std::wstring& path)
{
    zv::fw::CFile file;
    zv::fw::CFileException error;
    if (!file.Open(path, zv::fw::CFile::modeWrite | zv::fw::CFile::shareDenyNone | zv::fw::CFile::typeBinary, &error))
        throw error;
    file.Flush();
}

bool CopyFileDurably(const std::wstring& from, const std::wstring& to)
{
    const std::wstring temp = to + L".tmp";
    DWORD failure = ERROR_SUCCESS;
    if (!::CopyFileW(from.c_str(), temp.c_str(), FALSE)) {
        failure = ::GetLastError();
    } else {
        // The copy takes the source's attributes; a read-only one could not be flushed.
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        try {
            FlushFileToDisk(temp);
        } catch (const zv::fw::CFileException& e) {
            failure = static_cast<DWORD>(e.m_lOsError ? e.m_lOsError : ERROR_WRITE_FAULT);
        }
        if (failure == ERROR_SUCCESS &&
            !::MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            failure = ::GetLastError();
    }
    if (failure == ERROR_SUCCESS) return true;
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
    ::SetLastError(failure);
    return false;
}

} // namespace zv
