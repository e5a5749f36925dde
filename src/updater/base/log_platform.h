#pragma once
// What the log needs of the machine. One implementation per platform, chosen by the
// build: win32/ in the product, posix/ natively (no debugger stream there).
#include <memory>
#include <string>

namespace zv::logplatform {

void WriteDebugString(const wchar_t* text);

// The cross-process lock that keeps lines appended to the log file whole.
class LineFileLock {
public:
    // Creates the named lock, or opens it when another process created it first.
    explicit LineFileLock(const wchar_t* name);
    ~LineFileLock();
    LineFileLock(const LineFileLock&) = delete;
    LineFileLock& operator=(const LineFileLock&) = delete;

    bool IsUsable() const;
    // Waits for the lock without time-out and appends line + CRLF to path.
    bool AppendLine(const std::wstring& path, const std::wstring& line);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// "TraceLevel" of section "Settings" in "ZvConfig.ini" of the shared updater folder, default 0.
int ReadConfiguredTraceLevel();
// Local time as "%Y-%m-%d %H:%M:%S".
std::wstring LocalTimestamp();

} // namespace zv::logplatform
