#include "updater/transfer/file_replace.h"

#include "framework/file.h"

#include <windows.h>

namespace zv {

std::wstring ReplacementPathOf(const std::wstring& path)
{
    // One fixed name per file: a crash's leftover is reused, not accumulated.
    return path + L".zvnew";
}

bool ReplaceFileContents(const std::wstring& path, const std::string& bytes, uint32_t& error)
{
    const std::wstring temp = ReplacementPathOf(path);
    error = 0;
    try {
        zv::fw::CFile file;
        zv::fw::CFileException openError;
        if (!file.Open(temp, zv::fw::CFile::modeCreate | zv::fw::CFile::modeWrite | zv::fw::CFile::shareExclusive |
                                 zv::fw::CFile::typeBinary,
                       &openError))
            throw openError;
        file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
        file.Flush();
        file.Close();
    } catch (const zv::fw::CFileException& e) {
        error = static_cast<uint32_t>(e.m_lOsError);
        ::DeleteFileW(temp.c_str());
        return false;
    }
    zv::fw::CFileStatus status;
    if (zv::fw::CFile::GetStatus(path, status))
        zv::fw::CFile::SetAttributes(path, status.attribute & ~static_cast<DWORD>(zv::fw::CFile::readOnly |
                                                                               zv::fw::CFile::hidden));
    if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

} // namespace zv
