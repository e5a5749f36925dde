// zvtool trace: shows the library's diagnostic lines live, as any debug-output viewer
// would, with the sending process and the time of arrival, filtered by level and process.
#include "command.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr const char* kName = "trace";
constexpr DWORD kBufferSize = 4096; // a process id, then the ANSI text

std::atomic<bool> g_stop{false};

BOOL WINAPI OnConsoleEvent(DWORD)
{
    g_stop = true;
    return TRUE;
}

struct Handle {
    HANDLE h = nullptr;
    ~Handle() { if (h) ::CloseHandle(h); }
};

// The level of the tag a line begins with, 0 when it carries none.
unsigned LevelOf(const std::wstring& line)
{
    static const wchar_t* const kTags[] = {L"[Error]", L"[Info1]", L"[Info2]", L"[Debu1]", L"[Debu2]", L"[Debu3]"};
    for (unsigned i = 0; i < 6; ++i)
        if (line.rfind(kTags[i], 0) == 0) return i + 1;
    return 0;
}

bool ParseNumber(const std::wstring& text, unsigned long& value)
{
    wchar_t* end = nullptr;
    if (text.empty() || text[0] == L'-') return false;
    value = std::wcstoul(text.c_str(), &end, 10);
    return *end == 0;
}

int Run(const zv::tool::Args& args)
{
    unsigned long level = 6, pid = 0, count = 0, seconds = 0;
    bool byPid = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value;
        if (a != L"--level" && a != L"--pid" && a != L"--count" && a != L"--for") return zv::tool::UsageError(kName, L"unknown argument '" + a + L"'");
        if (!zv::tool::TakeValue(args, i, value)) return zv::tool::UsageError(kName, a + L" needs a value");
        unsigned long n = 0;
        if (!ParseNumber(value, n)) return zv::tool::UsageError(kName, a + L" takes a number, got '" + value + L"'");
        if (a == L"--level") {
            if (n < 1 || n > 6) return zv::tool::UsageError(kName, L"--level takes 1..6");
            level = n;
        } else if (a == L"--pid") {
            pid = n;
            byPid = true;
        } else if (a == L"--count") {
            count = n;
        } else {
            seconds = n;
        }
    }

    // Only one viewer can own the stream: the buffer and events exist while one runs.
    Handle bufferReady, dataReady, mapping;
    bufferReady.h = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    if (bufferReady.h && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        zv::tool::Err(L"zvtool trace: another debug-output viewer is running; close it first\n");
        return 1;
    }
    dataReady.h = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    mapping.h = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, L"DBWIN_BUFFER");
    if (!bufferReady.h || !dataReady.h || !mapping.h) {
        zv::tool::Err(L"zvtool trace: cannot open the debugger output stream (error " + std::to_wstring(::GetLastError()) + L")\n");
        return 1;
    }
    const char* view = static_cast<const char*>(::MapViewOfFile(mapping.h, FILE_MAP_READ, 0, 0, kBufferSize));
    if (!view) {
        zv::tool::Err(L"zvtool trace: cannot map the debugger output stream\n");
        return 1;
    }
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    zv::tool::Err(L"zvtool trace: listening (Ctrl+C ends)\n");

    unsigned long printed = 0;
    const ULONGLONG deadline = seconds ? ::GetTickCount64() + seconds * 1000ULL : 0;
    ::SetEvent(bufferReady.h);
    while (!g_stop && (count == 0 || printed < count) && (deadline == 0 || ::GetTickCount64() < deadline)) {
        if (::WaitForSingleObject(dataReady.h, 200) != WAIT_OBJECT_0) continue;
        DWORD sender = 0;
        std::memcpy(&sender, view, sizeof sender);
        char text[kBufferSize - sizeof(DWORD) + 1] = {};
        std::memcpy(text, view + sizeof(DWORD), kBufferSize - sizeof(DWORD));
        ::SetEvent(bufferReady.h); // the sender may go on while this one is printed

        wchar_t wide[kBufferSize] = {};
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kBufferSize);
        std::wstring line = wide;
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
        unsigned lineLevel = LevelOf(line);
        if (lineLevel == 0 || lineLevel > level || (byPid && sender != pid)) continue;

        SYSTEMTIME t;
        ::GetLocalTime(&t);
        wchar_t stamp[64];
        std::swprintf(stamp, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u %lu ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                      t.wSecond, t.wMilliseconds, static_cast<unsigned long>(sender));
        zv::tool::Out(stamp + line + L"\n");
        ++printed;
    }
    ::UnmapViewOfFile(view);
    return 0;
}

} // namespace

ZVTOOL_COMMAND(trace, kName, "[--level N] [--pid PID] [--count N] [--for SECONDS]",
               "print the library's diagnostic lines live from the debugger output stream as 'DATE TIME.MS PID LINE'; "
               "level N (1 [Error] .. 6 [Debu3]) and below, one process, stop after N lines or SECONDS; Ctrl+C ends",
               Run);
