// The log's machine services on Windows.
#include "updater/transfer/log_platform.h"

#include "updater/transfer/path_helpers.h"

#include <windows.h>

namespace zv::logplatform {

void WriteDebugString(const wchar_t* text)
{
    ::OutputDebugStringW(text);
}

void* CreateNamedMutex(const wchar_t* name)
{
    // Opens the existing mutex when another process created it first.
    return ::CreateMutexW(nullptr, FALSE, name);
}

void CloseMutex(void* mutex)
{
    ::CloseHandle(mutex);
}

bool IsUsableMutex(void* mutex)
{
    return mutex != nullptr && mutex != INVALID_HANDLE_VALUE;
}

bool AppendLineLocked(void* mutex, const std::wstring& path, const std::wstring& line)
{
    DWORD wait = ::WaitForSingleObject(mutex, INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
    bool written = false;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        // The file holds the line's UTF-16 code units as bytes, like a byte-stream append of wide text.
        std::wstring text = line + L"\r\n";
        DWORD done = 0;
        ::SetFilePointer(file, 0, nullptr, FILE_END);
        written = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &done, nullptr) != FALSE;
        ::CloseHandle(file);
    }
    ::ReleaseMutex(mutex);
    return written;
}

int ReadConfiguredTraceLevel()
{
    std::wstring ini = GetSharedUpdaterDir() + L"\\ZvConfig.ini";
    return static_cast<int>(::GetPrivateProfileIntW(L"Settings", L"TraceLevel", 0, ini.c_str()));
}

std::wstring LocalTimestamp()
{
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    wchar_t buf[64];
    ::swprintf(buf, 64, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buf;
}

} // namespace zv::logplatform
