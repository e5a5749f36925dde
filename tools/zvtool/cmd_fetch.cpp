// zvtool fetch: one download through the library's fetcher, as the updater makes it,
// with the library's lines on standard error and one outcome line at the end.
#include "command.h"

#include "framework/handle.h"
#include "updater/transfer/downloader.h"
#include "updater/base/log.h"
#include "updater/transfer/grab_resumable.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/http_grab_file.h"
#include "updater/transfer/web_grab.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cwchar>

namespace {

constexpr const char* kName = "fetch";

// Ctrl+C and Ctrl+Break become the cancel event of the running download.
HANDLE g_cancelEvents[2] = {nullptr, nullptr};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    for (HANDLE h : g_cancelEvents)
        if (h) ::SetEvent(h);
    return TRUE;
}

void EchoToStderr(const wchar_t* line)
{
    std::wstring text(line);
    if (text.empty() || text.back() != L'\n') text += L'\n';
    zv::tool::Err(text);
}

// The signature's address: ".sig" after the path, the query kept.
std::wstring SignatureUrlOf(const std::wstring& url)
{
    size_t query = url.find(L'?');
    if (query == std::wstring::npos) return url + L".sig";
    return url.substr(0, query) + L".sig" + url.substr(query);
}

uint64_t FileLength(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring AbsolutePath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4];
    DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return n && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
}

struct FetchOptions {
    std::wstring url, file, sigUrl, sigFile;
    bool resumable = false;
    int trace = 0;
};

// 0 when the arguments make a fetch, else the usage error's exit code.
int ParseOptions(const zv::tool::Args& args, FetchOptions& o)
{
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--resumable") {
            o.resumable = true;
        } else if (a == L"--sig-url") {
            if (!zv::tool::TakeValue(args, i, o.sigUrl)) return zv::tool::UsageError(kName, L"--sig-url needs a URL");
        } else if (a == L"--sig") {
            if (!zv::tool::TakeValue(args, i, o.sigFile)) return zv::tool::UsageError(kName, L"--sig needs a file");
        } else if (a == L"--trace") {
            std::wstring level;
            if (!zv::tool::TakeValue(args, i, level)) return zv::tool::UsageError(kName, L"--trace needs a level 0..6");
            wchar_t* end = nullptr;
            long n = std::wcstol(level.c_str(), &end, 10);
            if (level.empty() || *end || n < 0 || n > 6) return zv::tool::UsageError(kName, L"--trace takes 0..6");
            o.trace = static_cast<int>(n);
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return zv::tool::UsageError(kName, L"needs URL and FILE");
    o.url = positional[0];
    o.file = AbsolutePath(positional[1]);
    if (o.sigUrl.empty() != o.sigFile.empty()) return zv::tool::UsageError(kName, L"--sig-url and --sig go together");
    if (o.resumable && o.sigUrl.empty()) {
        // The orchestration always fetches the signature first: it fingerprints the cache.
        o.sigUrl = SignatureUrlOf(o.url);
        o.sigFile = o.file + L".sig";
    }
    if (!o.sigFile.empty()) o.sigFile = AbsolutePath(o.sigFile);
    return 0;
}

// The download's own cancel event and the updater's work cancel event, both signalled
// by Ctrl+C or Ctrl+Break while this object lives.
class ConsoleCancel {
public:
    ConsoleCancel()
        : m_name(zv::Format(128, L"Local\\zvtool.fetch_cancel_%lu", ::GetCurrentProcessId())),
          m_own(::CreateEventW(nullptr, TRUE, FALSE, m_name.c_str())),
          m_work(::CreateEventW(nullptr, TRUE, FALSE, kWorkCancelEventName))
    {
        g_cancelEvents[0] = m_own.Get();
        g_cancelEvents[1] = m_work.Get();
        ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    ~ConsoleCancel()
    {
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        g_cancelEvents[0] = g_cancelEvents[1] = nullptr;
    }
    ConsoleCancel(const ConsoleCancel&) = delete;
    ConsoleCancel& operator=(const ConsoleCancel&) = delete;
    const std::wstring& Name() const { return m_name; }

private:
    std::wstring m_name;
    zv::fw::CHandle m_own;
    zv::fw::CHandle m_work;
};

struct FetchOutcome {
    int result = 0, cancelled = 0, connectionError = 0, status = 0;
};

FetchOutcome Download(const FetchOptions& o, const std::wstring& cancelName)
{
    FetchOutcome r;
    ZvLib_CDownloader downloader;
    if (!o.sigUrl.empty()) {
        zv::WholeFileLimits limits;
        limits.maxBytes = zv::kMaxSignatureFileBytes;
        limits.cancelEventName = cancelName;
        r.result = HttpGrabFile(&downloader, 0, o.sigUrl, o.sigFile, L"", 1, r.cancelled, r.connectionError, nullptr,
                                nullptr, nullptr, limits, &r.status);
        if (!r.result) {
            zv::tool::Err(L"zvtool fetch: the signature did not arrive: " + o.sigUrl + L"\n");
            return r;
        }
    }
    ZvLib_CTransferStats stats;
    if (o.resumable) {
        ZvLib_CDownloadRequest request;
        request.payloadUrl = o.url;
        request.payloadPath = o.file;
        request.sigUrl = o.sigUrl;
        request.sigPath = o.sigFile;
        r.result = HttpGrabFileResumable(downloader, 1, request, r.cancelled, r.connectionError, cancelName, nullptr,
                                         nullptr, &stats, &r.status);
    } else {
        zv::WholeFileLimits limits;
        limits.cancelEventName = cancelName;
        r.result = HttpGrabFile(&downloader, 1, o.url, o.file, L"", 1, r.cancelled, r.connectionError, nullptr, nullptr,
                                &stats, limits, &r.status);
    }
    return r;
}

void Report(const FetchOptions& o, const FetchOutcome& r, double seconds)
{
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    uint64_t bytes = FileLength(r.result ? o.file : o.file + L".part");
    if (!r.result && bytes == 0) bytes = FileLength(o.file);
    zv::tool::Out(zv::Format(512, L"fetch: result=%d cancelled=%d connection_error=%d http_status=%d bytes=%llu "
                                L"seconds=%.3f peak_working_set=%llu\n",
                           r.result, r.cancelled, r.connectionError, r.status, static_cast<unsigned long long>(bytes),
                           seconds, static_cast<unsigned long long>(memory.PeakWorkingSetSize)));
}

int Run(const zv::tool::Args& args)
{
    FetchOptions options;
    if (int usage = ParseOptions(args, options)) return usage;
    if (options.trace > 0) {
        zv::Log().Enable();
        zv::Log().SetLevel(options.trace);
        zv::Log().SetEcho(EchoToStderr);
    }
    auto start = std::chrono::steady_clock::now();
    FetchOutcome outcome;
    {
        ConsoleCancel cancel;
        outcome = Download(options, cancel.Name());
    }
    Report(options, outcome, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (outcome.result) return 0;
    return outcome.cancelled ? 3 : 1;
}

} // namespace

ZVTOOL_COMMAND(fetch, kName, "URL FILE [--sig-url URL --sig FILE] [--resumable] [--trace LEVEL]",
               "downloads URL to FILE through the updater's fetcher (with --resumable: the signature, then the "
               "payload through the download cache); prints one outcome line",
               Run);
