#include "updater/base/log.h"

#include "updater/base/log_platform.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <cstdarg>

namespace {

// Process-wide settings shared by every instance: constant-initialised, so a line
// logged before any constructor has run is simply dropped.
unsigned g_level = 0;
int g_enabled = 0;

// The one instance.
ZvLib_CLog g_zvLog;

} // namespace

ZvLib_CLog& zv::Log()
{
    return g_zvLog;
}

ZvLib_CLog::ZvLib_CLog()
{
    std::wstring name(kMutexName);
    name.resize(std::min<size_t>(name.size(), 259));
    m_lock = std::make_unique<zv::logplatform::LineFileLock>(name.c_str());
}

ZvLib_CLog::~ZvLib_CLog() = default;

void ZvLib_CLog::Enable()
{
    g_enabled = 1;
}

void ZvLib_CLog::SetLevel(int level)
{
    g_level = (level > 6 || level < 0) ? 6u : static_cast<unsigned>(level);
}

unsigned ZvLib_CLog::GetLevel() const
{
    return g_level;
}

void ZvLib_CLog::EnsureInitialised()
{
    if (initialised) return;
    Enable();
    SetLevel(zv::logplatform::ReadConfiguredTraceLevel());
    MarkInitialised();
}

const wchar_t* ZvLib_CLog::TagOf(unsigned level)
{
    static const wchar_t* const tags[] = {L"[Disable]", L"[Error]", L"[Info1]", L"[Info2]",
                                          L"[Debu1]",   L"[Debu2]", L"[Debu3]"};
    return level < 7 ? tags[level] : L"[Debu3]";
}

bool ZvLib_CLog::Passes(unsigned level) const
{
    return level != 0 && level <= g_level && g_enabled;
}

void ZvLib_CLog::LogFormatted(unsigned level, const wchar_t* format, ...)
{
    if (!Passes(level) || !format) return;
    va_list args;
    va_start(args, format);
    std::wstring message = zv::FormatV(kMessageChars, format, args);
    va_end(args);
    LogText(level, message.c_str());
}

void ZvLib_CLog::LogText(unsigned level, const wchar_t* text)
{
    if (!Passes(level) || !text) return;
    std::wstring timestamp = zv::logplatform::LocalTimestamp();
    if (timestamp.size() >= kTimestampChars) timestamp.resize(kTimestampChars - 1);
    if (fileSink) {
        std::wstring fileLine = zv::Format(kLineChars, L"%s %s ZV: %s", timestamp.c_str(), TagOf(level), text);
        AppendToFile(fileLine.c_str());
    }
    std::wstring line = zv::Format(kLineChars, L"%s ZV: %s", TagOf(level), text);
    Emit(line.c_str());
}

void ZvLib_CLog::LogPlainFormatted(int verbose, unsigned /*level*/, const wchar_t* format, ...)
{
    if (!verbose || !format) return;
    va_list args;
    va_start(args, format);
    std::wstring message = zv::FormatV(kMessageChars, format, args);
    va_end(args);
    Emit(message.c_str());
}

int ZvLib_CLog::AppendToFile(const wchar_t* line)
{
    if (!m_lock || !m_lock->IsUsable() || !line) return 0;
    if (!g_enabled) return 0;
    return m_lock->AppendLine(filePath, line) ? 1 : 0;
}

void ZvLib_CLog::SetFileSink(const std::wstring& path)
{
    filePath = path;
    fileSink = path.empty() ? 0 : 1;
}

void ZvLib_CLog::Emit(const wchar_t* line)
{
    zv::logplatform::WriteDebugString(line);
    if (m_echo) m_echo(line);
}
