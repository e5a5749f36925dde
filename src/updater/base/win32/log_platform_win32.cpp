// The log's machine services on Windows.
#include "updater/base/log_platform.h"

#include "updater/base/win32/path_helpers.h"

#include "framework/handle.h"

#include <windows.h>

namespace zv::logplatform {

void WriteDebugString(const wchar_t* text)
{
    ::OutputDebugStringW(text);
}

struct LineFileLock::State {
    zv::fw::CHandle mutex;
};

LineFileLock::LineFileLock(const wchar_t* name) : m_state(std::make_unique<State>())
{
    m_state->mutex.Reset(::CreateMutexW(nullptr, FALSE, name));
}

LineFileLock::~LineFileLock() = default;

bool LineFileLock::IsUsable() const
{
    return m_state->mutex.IsValid();
}

bool LineFileLock::AppendLine(const std::wstring& path, const std::wstring& line)
{
    HANDLE mutex = m_state->mutex.Get();
    DWORD wait = ::WaitForSingleObject(mutex, INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
    bool written = false;
    zv::fw::CHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        // The file holds the line's UTF-16 code units as bytes, like a byte-stream append of wide text.
        std::wstring text = line + L"\r\n";
        DWORD done = 0;
        ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
        written = ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &done, nullptr) != FALSE;
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
