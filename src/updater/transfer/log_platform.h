#pragma once
// What the log needs of the machine. Win32 implementation in the product; the
// native build writes nowhere but to the log's echo.
#include <string>

namespace zv::logplatform {

void WriteDebugString(const wchar_t* text);
// Creates or opens the named mutex; null on failure.
void* CreateNamedMutex(const wchar_t* name);
void CloseMutex(void* mutex);
bool IsUsableMutex(void* mutex);
// Waits for the mutex without time-out, appends line + CRLF to path, releases it.
// Returns whether the line was written.
bool AppendLineLocked(void* mutex, const std::wstring& path, const std::wstring& line);
// "TraceLevel" of section "Settings" in "ZvConfig.ini" of the shared updater folder, default 0.
int ReadConfiguredTraceLevel();
// Local time as "%Y-%m-%d %H:%M:%S".
std::wstring LocalTimestamp();

} // namespace zv::logplatform
