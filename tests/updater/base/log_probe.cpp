// Logs one line at every level in a fresh process, for the debugger-stream tests.
//   log_probe.exe [reinit-ini-path]
// With an argument it rewrites that "ZvConfig.ini" to TraceLevel 6 after the first
// initialisation and initialises again: the level must not change.
#include "updater/base/log.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    ZvLib_CLog& log = zv::Log();
    log.Log(zv::ZVLOG_ERROR, L"probe: before initialisation\n");
    log.EnsureInitialised();
    if (argc > 1) {
        ::WritePrivateProfileStringW(L"Settings", L"TraceLevel", L"6", argv[1]);
        log.EnsureInitialised();
    }
    for (unsigned level = 0; level <= 6; ++level) log.Log(level, L"probe: Log at %d\n", static_cast<int>(level));
    log.LogText(zv::ZVLOG_INFO1, L"probe: LogText\n");
    log.LogPlain(log.GetLevel() != 0, zv::ZVLOG_INFO1, L"[Info1] %s: probe LogPlain\n", L"ZvProbe");
    return static_cast<int>(log.GetLevel());
}
