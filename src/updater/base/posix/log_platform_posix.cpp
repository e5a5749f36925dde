// The log's machine services on Linux: no debugger stream and no shared folder, so
// lines reach only the log's echo; the level comes from ZV_TRACE_LEVEL.
#include "updater/base/log_platform.h"

#include "updater/base/text_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace zv::logplatform {

namespace {
std::mutex g_fileMutex;
}

void WriteDebugString(const wchar_t* /*text*/) {}

// One process: a process-wide mutex stands for the named one.
struct LineFileLock::State {};

LineFileLock::LineFileLock(const wchar_t* /*name*/) : m_state(std::make_unique<State>()) {}

LineFileLock::~LineFileLock() = default;

bool LineFileLock::IsUsable() const
{
    return true;
}

bool LineFileLock::AppendLine(const std::wstring& path, const std::wstring& line)
{
    std::lock_guard<std::mutex> lock(g_fileMutex);
    FILE* f = std::fopen(ToUtf8(path).c_str(), "ab");
    if (!f) return false;
    std::string bytes = ToUtf8(line) + "\r\n";
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return true;
}

int ReadConfiguredTraceLevel()
{
    const char* v = std::getenv("ZV_TRACE_LEVEL");
    return v ? static_cast<int>(std::strtol(v, nullptr, 0)) : 0;
}

std::wstring LocalTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return FromUtf8(buf);
}

} // namespace zv::logplatform
