#include "updater/base/win32/file_helpers.h"

#include "updater/base/log.h"

#include <windows.h>

namespace {

bool ClearHiddenReadonly(const std::wstring& path)
{
    zv::fw::CFileStatus status;
    if (!zv::fw::CFile::GetStatus(path, status)) return false;
    status.attribute &= ~static_cast<DWORD>(zv::fw::CFile::readOnly | zv::fw::CFile::hidden);
    zv::fw::CFile::SetAttributes(path, status.attribute);
    return true;
}

} // namespace

void DeleteHiddenReadonlyFile(const std::wstring& path)
{
    if (!ClearHiddenReadonly(path)) {
        zv::Log().Log(zv::ZVLOG_INFO2,
                    L"----- DeleteHiddenReadonlyFile: Cannot retrieve CFileStatus. Unable to remove hidden and readOnly "
                    L"attributes if any on file: %s\n",
                    path.c_str());
    }
    try {
        zv::fw::CFile::Remove(path);
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- DeleteHiddenReadonlyFile: File deleted: %s\n", path.c_str());
    } catch (const zv::fw::CFileException& e) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- DeleteHiddenReadonlyFile: CFileException error (cause: %d, OS Error: %d) on file: %s\n",
                    e.m_cause, static_cast<int>(e.m_lOsError), path.c_str());
        throw zv::fw::CFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
    }
}

void RemoveHiddenReadonlyFileStatus(const std::wstring& path)
{
    if (!ClearHiddenReadonly(path)) {
        zv::Log().Log(zv::ZVLOG_DEBU1,
                    L"----- RemoveHiddenReadonlyFileStatus: Cannot retrieve CFileStatus. Unable to remove hidden and "
                    L"readOnly attributes, if any, on file: %s\n",
                    path.c_str());
    }
}

int OpenFileWithRetry(zv::fw::CFile& file, const std::wstring& path, unsigned flags, zv::fw::CFileException* error)
{
    for (int attempt = 1; attempt <= kOpenRetryAttempts; ++attempt) {
        try {
            if (file.Open(path, flags, error)) return 1;
        } catch (const zv::fw::CFileException&) {
            return 0;
        }
        if (attempt < kOpenRetryAttempts) ::Sleep(kOpenRetryPauseMs);
    }
    return 0;
}
