#pragma once
// The error a file operation raises: what kind of failure, the operating system's
// error code and the file it concerns.
#include <windows.h>

#include <exception>
#include <string>

namespace zv::fw {

class CFileException : public std::exception {
public:
    enum Cause : int {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() noexcept = default;
    CFileException(int cause, LONG osError, std::wstring fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause that matches a Win32 error code.
    static int OsErrorToCause(LONG osError) noexcept;

    const char* what() const noexcept override { return "file exception"; }

    int m_cause = none;
    LONG m_lOsError = 0;
    std::wstring m_strFileName;
};

} // namespace zv::fw
