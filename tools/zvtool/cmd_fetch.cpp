// zvtool fetch: one download through the library's fetcher, as the updater makes it,
// with the library's lines on standard error and one outcome line at the end.
#include "command.h"

#include "framework/handle.h"
#include "updater/transfer/downloader.h"
#include "updater/base/log.h"
#include "updater/transfer/payload_cache.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"
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

int Run(const zv::tool::Args& args)
{
    std::wstring url, file, sigUrl, sigFile;
    bool resumable = false;
    int trace = 0;
    std::vector<std::wstring> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--resumable") {
            resumable = true;
        } else if (a == L"--sig-url") {
            if (!zv::tool::TakeValue(args, i, sigUrl)) return zv::tool::UsageError(kName, L"--sig-url needs a URL");
        } else if (a == L"--sig") {
            if (!zv::tool::TakeValue(args, i, sigFile)) return zv::tool::UsageError(kName, L"--sig needs a file");
        } else if (a == L"--trace") {
            std::wstring level;
            if (!zv::tool::TakeValue(args, i, level)) return zv::tool::UsageError(kName, L"--trace needs a level 0..6");
            wchar_t* end = nullptr;
            long n = std::wcstol(level.c_str(), &end, 10);
            if (level.empty() || *end || n < 0 || n > 6) return zv::tool::UsageError(kName, L"--trace takes 0..6");
            trace = static_cast<int>(n);
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return zv::tool::UsageError(kName, L"needs URL and FILE");
    url = positional[0];
    file = AbsolutePath(positional[1]);
    if (sigUrl.empty() != sigFile.empty()) return zv::tool::UsageError(kName, L"--sig-url and --sig go together");
    if (resumable && sigUrl.empty()) {
        // The orchestration always fetches the signature first: it fingerprints the cache.
        sigUrl = SignatureUrlOf(url);
        sigFile = file + L".sig";
    }
    if (!sigFile.empty()) sigFile = AbsolutePath(sigFile);

    if (trace > 0) {
        ZvLog().Enable();
        ZvLog().SetLevel(trace);
        ZvLog().SetEcho(EchoToStderr);
    }

    std::wstring cancelName = zv::Format(128, L"Local\\zvtool.fetch_cancel_%lu", ::GetCurrentProcessId());
    zv::fw::CHandle ownCancel(::CreateEventW(nullptr, TRUE, FALSE, cancelName.c_str()));
    zv::fw::CHandle workCancel(::CreateEventW(nullptr, TRUE, FALSE, kWorkCancelEventName));
    g_cancelEvents[0] = ownCancel.Get();
    g_cancelEvents[1] = workCancel.Get();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    auto start = std::chrono::steady_clock::now();
    int result = 0, cancelled = 0, connectionError = 0, status = 0;
    ZvLib_CDownloader downloader;
    if (!sigUrl.empty()) {
        result = HttpGrabFile(&downloader, 0, sigUrl, sigFile, L"", 1, cancelled, connectionError, nullptr, nullptr,
                              nullptr, &status);
        if (!result) zv::tool::Err(L"zvtool fetch: the signature did not arrive: " + sigUrl + L"\n");
    }
    if (sigUrl.empty() || result) {
        ZvLib_CTransferStats stats;
        if (resumable) {
            ZvLib_CDownloadRequest request;
            request.payloadUrl = url;
            request.payloadPath = file;
            request.sigUrl = sigUrl;
            request.sigPath = sigFile;
            result = HttpGrabFileResumable(downloader, 1, request, cancelled, connectionError, cancelName, nullptr,
                                           nullptr, &stats, &status);
        } else {
            result = HttpGrabFile(&downloader, 1, url, file, L"", 1, cancelled, connectionError, nullptr, nullptr,
                                  &stats, &status);
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_cancelEvents[0] = g_cancelEvents[1] = nullptr;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    uint64_t bytes = FileLength(result ? file : file + L".part");
    if (!result && bytes == 0) bytes = FileLength(file);
    zv::tool::Out(zv::Format(512, L"fetch: result=%d cancelled=%d connection_error=%d http_status=%d bytes=%llu "
                                L"seconds=%.3f peak_working_set=%llu\n",
                           result, cancelled, connectionError, status, static_cast<unsigned long long>(bytes), seconds,
                           static_cast<unsigned long long>(memory.PeakWorkingSetSize)));
    if (result) return 0;
    return cancelled ? 3 : 1;
}

} // namespace

ZVTOOL_COMMAND(fetch, kName, "URL FILE [--sig-url URL --sig FILE] [--resumable] [--trace LEVEL]",
               "downloads URL to FILE through the updater's fetcher (with --resumable: the signature, then the "
               "payload through the download cache); prints one outcome line",
               Run);
