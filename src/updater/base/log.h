#pragma once
// The updater library's diagnostic log: one process-wide object whose lines go to the
// debugger output stream, filtered by the "TraceLevel" of the shared configuration file.
#include "updater/base/checked_format.h"

#include <memory>
#include <string>

namespace zv::logplatform {
class LineFileLock;
}

namespace zv {
enum LogLevel : unsigned {
    ZVLOG_DISABLE = 0,
    ZVLOG_ERROR = 1,
    ZVLOG_INFO1 = 2,
    ZVLOG_INFO2 = 3,
    ZVLOG_DEBU1 = 4,
    ZVLOG_DEBU2 = 5,
    ZVLOG_DEBU3 = 6,
};
} // namespace zv

class ZvLib_CLog {
public:
    static constexpr size_t kMessageChars = 2048; // including the terminator
    static constexpr size_t kLineChars = 2048;
    static constexpr size_t kTimestampChars = 260;
    static constexpr const wchar_t* kMutexName = L"Quorvane.zv_log_{4fe86dfd-36b3-4e56-b2e8-79def7c8bd1f}";

    ZvLib_CLog();
    virtual ~ZvLib_CLog();
    ZvLib_CLog(const ZvLib_CLog&) = delete;
    ZvLib_CLog& operator=(const ZvLib_CLog&) = delete;

    void Enable();
    // Out-of-range values give maximum verbosity.
    void SetLevel(int level);
    unsigned GetLevel() const;
    int IsInitialised() const { return initialised; }
    void MarkInitialised() { initialised = 1; }
    // Reads the level once from the shared configuration file.
    void EnsureInitialised();

    // The format is checked against the arguments while compiling (checked_format.h).
    template <class... Args>
    void Log(unsigned level, zv::CheckedFormat<Args...> format, const Args&... args)
    {
        LogFormatted(level, format.Text(), args...);
    }
    void LogText(unsigned level, const wchar_t* text);
    void LogText(unsigned level, const std::wstring& text) { LogText(level, text.c_str()); }
    // Untagged output, written whenever verbose is nonzero.
    template <class... Args>
    void LogPlain(int verbose, unsigned level, zv::CheckedFormat<Args...> format, const Args&... args)
    {
        LogPlainFormatted(verbose, level, format.Text(), args...);
    }
    int AppendToFile(const wchar_t* line);

    // Optional file sink: every logged line is also appended to path.
    void SetFileSink(const std::wstring& path);

    // Tools may mirror every line the debugger stream receives (zvtool --trace).
    using Echo = void (*)(const wchar_t* line);
    void SetEcho(Echo echo) { m_echo = echo; }

    static const wchar_t* TagOf(unsigned level);

private:
    void LogFormatted(unsigned level, const wchar_t* format, ...);
    void LogPlainFormatted(int verbose, unsigned level, const wchar_t* format, ...);
    bool Passes(unsigned level) const;
    void Emit(const wchar_t* line);

    std::wstring filePath;
    std::unique_ptr<zv::logplatform::LineFileLock> m_lock;
    int fileSink = 0;
    int initialised = 0;
    Echo m_echo = nullptr;
};

namespace zv {
// The one instance, constructed during static initialisation.
ZvLib_CLog& Log();
} // namespace zv
