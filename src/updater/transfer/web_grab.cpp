// priv_CWebGrab: one WinINet session for one operation, its requests and the read loop.
#include "updater/transfer/web_grab.h"

#include "framework/file.h"
#include "updater/transfer/body_store.h"
#include "updater/transfer/inet_query.h"
#include "updater/base/clock.h"
#include "updater/base/log.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/read_sizer.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <utility>
#include <vector>

namespace {

std::wstring ApplicationName()
{
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name.empty() ? L"none" : name;
}

constexpr uint32_t kAskAvailableBelow = 256 * 1024;

// The two lines a failed transfer leaves: the kind of failure, then its text.
void LogTransferFailure(bool internet, const std::wstring& text)
{
    if (internet)
        ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught: CInternetException while reading CHttpFile.  "
                                 L"Likely is an OK runtime condition.\n");
    else
        ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
    ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", text.c_str());
}

} // namespace

unsigned long DownloaderThreadId()
{
    return ::GetCurrentThreadId();
}

// One request: its connection and request handles.
class priv_CWebGrab::Request {
public:
    zv::inet::Handle connection;
    zv::inet::Handle handle;
    HINTERNET Get() const { return handle.Get(); }
    void Close()
    {
        handle.Reset();
        connection.Reset();
    }
};

struct priv_CWebGrab::ReadLoop {
    Request* request = nullptr;
    zv::BodyStore* store = nullptr;
    uint32_t base = 0;  // position of the first body byte in the target
    uint32_t bound = 0; // nothing is stored at or past this position
    bool notify = true;
    ZvLib_IDownloadEvents* sink = nullptr;
    const ZvLib_CItemProgress* item = nullptr;
    ZvLib_CTransferStats* stats = nullptr;
    std::wstring cancelEventName;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    uint32_t* downloadedEnd = nullptr;
    int* cancelled = nullptr;
    int* connectionError = nullptr;
    int64_t sentMicros = 0; // when the request went out: the first read's rate counts from there
};

priv_CWebGrab::priv_CWebGrab(int requestId) : id(requestId) {}

priv_CWebGrab::~priv_CWebGrab()
{
    CloseSession();
}

void priv_CWebGrab::CloseSession()
{
    if (session) {
        ::InternetCloseHandle(static_cast<HINTERNET>(session));
        session = nullptr;
    }
}

int priv_CWebGrab::OpenSession(const std::wstring& agentName)
{
    CloseSession();
    status = 0;
    std::wstring agent = agentName.empty() ? ApplicationName() : agentName;
    HINTERNET h = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!h) {
        errorText = zv::inet::ErrorText(::GetLastError());
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: cannot open an Internet session: '%s'\n", errorText.c_str());
        return 0;
    }
    session = h;
    if (receiveTimeout) {
        DWORD ms = receiveTimeout;
        ::InternetSetOptionW(h, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &ms, sizeof(ms));
    }
    if (useProxy) {
        std::wstring proxy = zv::Format(1024, L"%s:%d", proxyHost.c_str(), proxyPort);
        INTERNET_PROXY_INFO info{};
        info.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
        info.lpszProxy = reinterpret_cast<LPCTSTR>(proxy.c_str());
        info.lpszProxyBypass = nullptr;
        ::InternetSetOptionW(h, INTERNET_OPTION_PROXY, &info, sizeof(info));
    }
    return session ? 1 : 0;
}

// Opens a request for url with the given verb and sends it. Failure means the server could not be
// reached or did not answer in time: a connection error.
int priv_CWebGrab::SendRequest(Request& request, const std::wstring& url, const std::wstring& extraHeaders,
                               int& connectionError, const wchar_t* verb)
{
    auto fail = [&](DWORD error) {
        errorText = zv::inet::ErrorText(error);
        connectionError = 1;
        request.Close();
        return 0;
    };

    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return fail(::GetLastError());
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    std::wstring object;
    if (parts.lpszUrlPath) object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";

    request.connection.Reset(::InternetConnectW(static_cast<HINTERNET>(session), host, parts.nPort, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 1));
    if (!request.connection) return fail(::GetLastError());

    DWORD flags = INTERNET_FLAG_TRANSFER_BINARY;
    // A request that never reads the browser cache does not fill it either: a payload
    // would otherwise reach the disk twice, once as a cache entry nobody reads.
    if (ignoreBrowserCache) flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"*/*", nullptr};
    request.handle.Reset(
        ::HttpOpenRequestW(request.connection.Get(), verb, object.c_str(), nullptr, nullptr, accept, flags, 1));
    if (!request.handle) return fail(::GetLastError());

    // Only a time-out on the request handle is honoured everywhere: without it a
    // server that accepts and never answers would hold the updater for minutes.
    DWORD timeout = receiveTimeout ? receiveTimeout : kDefaultReceiveTimeoutMs;
    ::InternetSetOptionW(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionW(request.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionW(request.Get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));

    if (!::HttpSendRequestW(request.Get(), extraHeaders.empty() ? nullptr : extraHeaders.c_str(),
                            static_cast<DWORD>(extraHeaders.size()), nullptr, 0))
        return fail(::GetLastError());
    return 1;
}

int priv_CWebGrab::QueryRemoteFile(const std::wstring& url, std::wstring& lastModified, uint32_t& remoteSize,
                                   int& statusOut, int& connectionError, const std::wstring& agentName,
                                   IPayloadCache* sizeReceiver)
{
    lastModified.clear();
    headers.clear();
    remoteSize = 0;
    statusOut = 0;
    connectionError = 0;
    if (!session && !OpenSession(agentName)) return 0;

    // The size query asks for the headers only. A GET whose body is never read would
    // still move the body: WinINet drains it to keep the connection, and a server pushes
    // what the socket buffers hold. Servers that refuse HEAD get a GET that closes.
    Request request;
    bool sent = SendRequest(request, url, std::wstring(), connectionError, L"HEAD");
    if (sent) {
        int headStatus = zv::inet::QueryStatus(request.Get());
        if (headStatus == 405 || headStatus == 501) {
            request.Close();
            sent = SendRequest(request, url, L"Connection: close\r\n", connectionError, L"GET");
        }
    }
    if (!sent) {
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- QueryRemoteFile: cannot open '%s': '%s'\n", url.c_str(),
                    errorText.c_str());
        return 0;
    }

    const int code = zv::inet::QueryStatus(request.Get());
    status = code;
    if (!zv::inet::QueryText(request.Get(), HTTP_QUERY_LAST_MODIFIED, lastModified)) {
        statusOut = code;
        if (code >= 400) return 0;
    }

    uint32_t length = 0;
    zv::inet::Length kind = zv::inet::QueryContentLength(request.Get(), length);
    if (kind == zv::inet::Length::absurd) {
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: QueryRemoteFile: unusable Content-Length from '%s'\n",
                    url.c_str());
        statusOut = code;
        return 0;
    }
    remoteSize = length;
    if (sizeReceiver) sizeReceiver->SetRemoteFileSize(remoteSize);
    if (kind == zv::inet::Length::absent) {
        statusOut = code;
        if (code >= 400) return 0;
    }
    return 1;
}

int priv_CWebGrab::RunReadLoop(ReadLoop& loop)
{
    HINTERNET request = loop.request->Get();
    zv::fw::CHandle cancelEvent;
    if (!loop.cancelEventName.empty())
        cancelEvent.Reset(::OpenEventW(SYNCHRONIZE, FALSE, loop.cancelEventName.c_str()));

    uint32_t interval = 1;
    if (loop.sink) {
        ZvLib_CItemProgress unnamed;
        unnamed.name = L"item";
        loop.sink->OnItemBegin(id, loop.item ? *loop.item : unnamed, loop.bound, loop.rangeStart, loop.rangeEnd);
        interval = std::max<uint32_t>(1, loop.sink->GetProgressInterval());
    }
    if (loop.stats) loop.stats->Reset(0);

    // A read that failed or a body cut short: a connection error, told to the sink.
    auto connectionFailure = [&](std::wstring text) {
        errorText = std::move(text);
        *loop.connectionError = 1;
        LogTransferFailure(true, errorText);
        if (loop.sink) loop.sink->OnItemError(id, errorText);
        loop.request->Close();
        return 0;
    };

    int result = 0;
    bool cancelled = false;
    try {
        // Two buffers: one is read into while the store may still be writing the other.
        std::vector<char> buffers[2] = {std::vector<char>(zv::ReadSizer::kMaxRead),
                                        std::vector<char>(zv::ReadSizer::kMaxRead)};
        struct Settler {
            zv::BodyStore* store;
            ~Settler() { store->Settle(); }
        } settler{loop.store};
        int current = 0;
        zv::ReadSizer sizer;
        uint32_t received = 0;
        uint32_t sinceNotify = 0;
        int64_t lastReadEnd = loop.sentMicros;
        int64_t loopStart = zv::PerformanceCounterMicros(), readMicros = 0, storeMicros = 0;
        uint32_t reads = 0;
        for (;;) {
            // What is already buffered matters only while reads are small; asking costs a
            // call into the socket layer on every read.
            DWORD available = 0;
            if (sizer.NextRead(0) < kAskAvailableBelow && !::InternetQueryDataAvailable(request, &available, 0, 0))
                available = 0;
            DWORD want = sizer.NextRead(available);
            DWORD got = 0;
            char* buffer = buffers[current].data();
            if (!::InternetReadFile(request, buffer, want, &got))
                return connectionFailure(zv::inet::ErrorText(::GetLastError()));
            int64_t readEnd = zv::PerformanceCounterMicros();
            sizer.Record(got, static_cast<uint64_t>(std::max<int64_t>(0, readEnd - lastReadEnd)));
            readMicros += readEnd - lastReadEnd;
            lastReadEnd = readEnd;
            ++reads;
            if (got == 0) break;

            // Never past the announced length: keep what fits and stop there.
            uint64_t position = static_cast<uint64_t>(loop.base) + received;
            uint64_t room = loop.bound > position ? loop.bound - position : 0;
            uint32_t keep = static_cast<uint32_t>(std::min<uint64_t>(got, room));
            if (keep) loop.store->Store(buffer, keep);
            current ^= 1;
            storeMicros += zv::PerformanceCounterMicros() - readEnd;
            received += keep;
            if (loop.downloadedEnd) *loop.downloadedEnd = loop.base + received;
            if (keep < got) {
                ZvLog().Log(ZVLOG_DEBU1, L"ZvLib: ---- Downloader: body runs past its announced length %u; the rest "
                                         L"is discarded.\n", loop.bound);
                break;
            }

            sinceNotify += got;
            if (sinceNotify >= interval) {
                sinceNotify = 0;
                if (loop.stats) loop.stats->Update(received);
                if (loop.notify) {
                    if (loop.sink)
                        loop.sink->OnItemProgress(id, loop.base + received, loop.bound,
                                                  loop.stats ? loop.stats->AverageRate() : 0,
                                                  loop.stats ? loop.stats->SecondsRemaining() : 0);
                    if (cancelEvent && ::WaitForSingleObject(cancelEvent.Get(), 0) == WAIT_OBJECT_0) {
                        cancelled = true;
                        break;
                    }
                }
            }
        }
        loop.store->Flush();
        ZvLog().Log(ZVLOG_DEBU2, L"ZvLib: ---- Downloader: %u bytes in %u reads, %lld ms: %lld ms waiting for data, "
                                 L"%lld ms handing it to the store.\n", received, reads, (zv::PerformanceCounterMicros() - loopStart) / 1000,
                    readMicros / 1000, storeMicros / 1000);
        status = zv::inet::QueryStatus(request);
        zv::inet::QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers);
        loop.request->Close();
        if (!cancelled && loop.base + received < loop.bound) {
            // The connection ended before the announced length: a broken transfer,
            // not a complete file.
            return connectionFailure(
                zv::Format(256, L"connection closed after %u of %u bytes", loop.base + received, loop.bound));
        }
        if (cancelled) {
            *loop.cancelled = 1;
            ZvLog().Log(ZVLOG_INFO2, L"ZvLib: ---- Downloader (%d)(0x%x): transfer cancelled after %u bytes.\n",
                        static_cast<int>(DownloaderThreadId()), static_cast<unsigned>(DownloaderThreadId()), received);
            return 0;
        }
        if (loop.sink) loop.sink->OnItemEnd(id);
        result = 1;
    } catch (const zv::fw::CFileException& e) {
        errorText = zv::inet::ErrorText(static_cast<DWORD>(e.m_lOsError));
        LogTransferFailure(false, errorText);
        if (loop.sink) loop.sink->OnItemError(id, errorText);
        loop.request->Close();
        result = 0;
    } catch (...) {
        errorText = L"out of memory or unknown failure";
        LogTransferFailure(false, errorText);
        loop.request->Close();
        result = 0;
    }
    return result;
}

int priv_CWebGrab::GetFile(const std::wstring& url, const ZvLib_CDownloadRequest& dlRequest,
                           const std::wstring& targetPath, uint32_t rangeStart, uint32_t rangeEnd,
                           uint32_t& downloadedStart, uint32_t& downloadedEnd, int& cancelled, int& connectionError,
                           ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                           const std::wstring& cancelEventName)
{
    cancelled = 0;
    connectionError = 0;
    headers.clear();
    status = 0;
    if (!session && !OpenSession(dlRequest.agentName)) return 0;

    bool ranged = !(rangeStart == 0 && rangeEnd == 0);
    std::wstring extra;
    if (ranged) {
        extra = zv::Format(128, L"Range: bytes=%u-%u\r\n", rangeStart, rangeEnd);
        downloadedStart = rangeStart;
        downloadedEnd = rangeStart;
    }

    Request request;
    int64_t sent = zv::PerformanceCounterMicros();
    if (!SendRequest(request, url, extra, connectionError, L"GET")) {
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- WARNING: ++++++ CException caught: CInternetException, while opening "
                                 L"URL (CHttpFile).  Possibly is a connection error.  Likely is an OK runtime "
                                 L"condition.\n");
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- ++++++ e r r o r text: '%s'\n", errorText.c_str());
        return 0;
    }

    uint32_t expected = dlRequest.expectedSize;
    DWORD cached = 0;
    if (!::InternetQueryDataAvailable(request.Get(), &cached, 0, 0)) cached = 0;
    if (cached) {
        ZvLog().Log(ZVLOG_INFO2,
                    L"ZvLib ---- Downloader-cacher: Partially (or fully) downloaded file found in the IE cache. Cached "
                    L"size [bytes]: %u, [KB]: %u, [MB]: %u.  Full size [bytes]: %u, [KB]: %u, [MB]: %u\n",
                    static_cast<unsigned>(cached), static_cast<unsigned>(cached >> 10),
                    static_cast<unsigned>(cached >> 20), expected, expected >> 10, expected >> 20);
        if (sink) sink->OnItemProgress(id, cached, expected, 0, 0);
    } else {
        ZvLog().Log(ZVLOG_INFO2, L"ZvLib ---- Downloader-cacher: File not found in the IE cache.\n");
    }

    if (stats) {
        stats->Reset(0);
        ZvLog().Log(ZVLOG_DEBU1, L"==== priv_CWebGrab::GetFile: Beginning QPC %I64d\n",
                    static_cast<long long>(stats->startCount));
    }

    // What the server made of the range decides where the body goes.
    uint32_t base = ranged ? rangeStart : 0;
    bool restart = false;
    if (ranged) {
        int answer = zv::inet::QueryStatus(request.Get());
        status = answer;
        if (answer == 200) {
            // The whole file again: appending it would corrupt the partial file.
            ZvLog().Log(ZVLOG_INFO2, L"ZvLib: ---- Downloader-cacher: server ignored the range (status 200); '%s' "
                                     L"starts again from the first byte.\n", targetPath.c_str());
            base = 0;
            restart = true;
            downloadedStart = 0;
            downloadedEnd = 0;
        } else if (answer == 416 && rangeStart >= expected) {
            ZvLog().Log(ZVLOG_INFO2, L"ZvLib: ---- Downloader-cacher: nothing left to fetch for '%s'.\n",
                        targetPath.c_str());
            return 1;
        } else if (answer >= 400) {
            // An error page appended to the partial file would ruin it.
            ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cacher: ranged request answered %d; '%s' is "
                                     L"kept for a later attempt.\n", answer, targetPath.c_str());
            return 0;
        }
    }

    zv::fw::CFile target;
    zv::fw::CFileException error;
    if (!target.Open(targetPath, zv::fw::CFile::modeWrite | zv::fw::CFile::modeCreate | zv::fw::CFile::modeNoTruncate |
                                     zv::fw::CFile::shareDenyWrite | zv::fw::CFile::typeBinary,
                     &error)) {
        errorText = zv::inet::ErrorText(static_cast<DWORD>(error.m_lOsError));
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: GetFile: cannot open target file '%s': '%s'\n",
                    targetPath.c_str(), errorText.c_str());
        return 0;
    }
    zv::FileStore store(target);
    int result = 0;
    try {
        if (restart) store.Restart();
        else target.SeekToEnd();
        ReadLoop loop;
        loop.request = &request;
        loop.store = &store;
        loop.base = base;
        loop.bound = expected;
        loop.notify = true;
        loop.sink = sink;
        loop.item = item;
        loop.stats = stats;
        loop.cancelEventName = cancelEventName;
        loop.rangeStart = rangeStart;
        loop.rangeEnd = rangeEnd;
        loop.downloadedEnd = &downloadedEnd;
        loop.cancelled = &cancelled;
        loop.connectionError = &connectionError;
        loop.sentMicros = sent;
        result = RunReadLoop(loop);
    } catch (const zv::fw::CFileException& e) {
        errorText = zv::inet::ErrorText(static_cast<DWORD>(e.m_lOsError));
        LogTransferFailure(false, errorText);
        result = 0;
    }
    target.Close();
    return result;
}

int priv_CWebGrab::GrabToMemory(const std::wstring& url, const std::wstring& agentName, uint32_t expectedSize,
                                int notify, std::string& body, int& cancelled, int& connectionError,
                                ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item,
                                ZvLib_CTransferStats* stats)
{
    if (!session && !OpenSession(agentName)) return 0;
    Request request;
    int64_t sent = zv::PerformanceCounterMicros();
    if (!SendRequest(request, url, std::wstring(), connectionError, L"GET")) {
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- WARNING: cannot open '%s': '%s'\n", url.c_str(), errorText.c_str());
        return 0;
    }
    zv::MemoryStore store(body);
    ReadLoop loop;
    loop.request = &request;
    loop.store = &store;
    loop.bound = expectedSize;
    loop.notify = notify != 0;
    loop.sink = notify ? sink : nullptr;
    loop.item = item;
    loop.stats = stats;
    loop.cancelEventName = notify ? kWorkCancelEventName : L"";
    loop.cancelled = &cancelled;
    loop.connectionError = &connectionError;
    loop.sentMicros = sent;
    return RunReadLoop(loop);
}

