// priv_CWebGrab: one WinINet session for one operation, its requests, the size query
// and the ranged download into a partial file.
#include "updater/transfer/web_grab.h"

#include "framework/file.h"
#include "updater/base/clock.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/transfer/answer_check.h"
#include "updater/transfer/body_store.h"
#include "updater/transfer/first_byte_size.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab_transfer.h"

namespace {

std::wstring ApplicationName()
{
    std::wstring name = zv::ModulePath();
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name.empty() ? L"none" : name;
}

// The path and query of an http or https URL, and its host and port.
struct UrlParts {
    std::wstring host;
    std::wstring object;
    INTERNET_PORT port = 0;
    bool secure = false;
};

DWORD CrackUrl(const std::wstring& url, UrlParts& out)
{
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return ::GetLastError();
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    out.host = host;
    out.port = parts.nPort;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    out.object.clear();
    if (parts.lpszUrlPath) out.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) out.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (out.object.empty()) out.object = L"/";
    return ERROR_SUCCESS;
}

} // namespace

unsigned long zv::DownloaderThreadId()
{
    return ::GetCurrentThreadId();
}

priv_CWebGrab::priv_CWebGrab(int requestId) : id(requestId) {}

priv_CWebGrab::~priv_CWebGrab() = default;

int priv_CWebGrab::OpenSession(const std::wstring& agentName)
{
    m_answered.reset();
    session.Reset();
    status = 0;
    std::wstring agent = agentName.empty() ? ApplicationName() : agentName;
    session.Reset(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        errorText = zv::inet::ErrorText(::GetLastError());
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: cannot open an Internet session: '%s'\n", errorText.c_str());
        return 0;
    }
    if (receiveTimeout) {
        DWORD ms = receiveTimeout;
        ::InternetSetOptionW(session.Get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &ms, sizeof(ms));
    }
    if (useProxy) {
        std::wstring proxy = zv::Format(1024, L"%s:%d", proxyHost.c_str(), proxyPort);
        INTERNET_PROXY_INFO info{};
        info.dwAccessType = INTERNET_OPEN_TYPE_PROXY;
        info.lpszProxy = reinterpret_cast<LPCTSTR>(proxy.c_str());
        info.lpszProxyBypass = nullptr;
        ::InternetSetOptionW(session.Get(), INTERNET_OPTION_PROXY, &info, sizeof(info));
    }
    return 1;
}

// Opens a GET request for url and sends it. Failure means the server could not be
// reached or did not answer in time: a connection error.
int priv_CWebGrab::SendRequest(Request& request, const std::wstring& url, const std::wstring& extraHeaders,
                               int& connectionError)
{
    auto fail = [&](DWORD error) {
        errorText = zv::inet::ErrorText(error);
        connectionError = 1;
        request.Close();
        return 0;
    };
    UrlParts parts;
    if (DWORD error = CrackUrl(url, parts)) return fail(error);
    request.connection.Reset(::InternetConnectW(session.Get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 1));
    if (!request.connection) return fail(::GetLastError());

    DWORD flags = INTERNET_FLAG_TRANSFER_BINARY;
    // A request that never reads the browser cache does not fill it either: a payload
    // would otherwise reach the disk twice, once as a cache entry nobody reads.
    if (ignoreBrowserCache) flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (parts.secure) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"*/*", nullptr};
    request.handle.Reset(::HttpOpenRequestW(request.connection.Get(), L"GET", parts.object.c_str(), nullptr, nullptr,
                                            accept, flags, 1));
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
    int result = QueryAnswer(url, lastModified, remoteSize, statusOut, connectionError, sizeReceiver, firstByteQuery != 0);
    // A server that refuses or botches ranged requests may still serve the file whole.
    if (!result && firstByteQuery && !connectionError) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ---- QueryRemoteFile: first-byte query of '%s' not usable (status %d); "
                                       L"asking without a range.\n", url.c_str(), status);
        lastModified.clear();
        remoteSize = 0;
        statusOut = 0;
        result = QueryAnswer(url, lastModified, remoteSize, statusOut, connectionError, sizeReceiver, false);
    }
    return result;
}

int priv_CWebGrab::QueryAnswer(const std::wstring& url, std::wstring& lastModified, uint32_t& remoteSize, int& statusOut,
                               int& connectionError, IPayloadCache* sizeReceiver, bool firstByte)
{
    // The update server answers GET only (addresses may be signed for that method). The
    // answer is kept for a whole-file request that may follow; otherwise its body is
    // never read, and with the connection closing it is dropped, not drained to keep
    // the connection. When no body will follow, only the first byte is asked for: what
    // the server writes before the request is closed is otherwise up to a socket's
    // worth of the file.
    m_answered.reset();
    auto answered = std::make_unique<Request>();
    Request& request = *answered;
    std::wstring extra = L"Connection: close\r\n";
    if (firstByte) extra = zv::kFirstByteRangeHeader + extra;
    if (!SendRequest(request, url, extra, connectionError)) {
        zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- QueryRemoteFile: cannot open '%s': '%s'\n", url.c_str(),
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
    bool partial = false;
    zv::inet::Length kind = FileLength(request.Get(), firstByte, length, partial);
    if (kind == zv::inet::Length::absurd) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: QueryRemoteFile: unusable %s from '%s'\n",
                    partial ? L"Content-Range" : L"Content-Length", url.c_str());
        statusOut = code;
        return 0;
    }
    remoteSize = length;
    if (sizeReceiver) sizeReceiver->SetRemoteFileSize(remoteSize);
    if (kind == zv::inet::Length::absent) {
        statusOut = code;
        if (code >= 400) return 0;
    }
    // A part of the file is no whole-file answer to read later.
    if (partial) return 1;
    m_answered = std::move(answered);
    m_answeredUrl = url;
    return 1;
}

zv::inet::Length priv_CWebGrab::FileLength(HINTERNET request, bool firstByte, uint32_t& length, bool& partial)
{
    partial = false;
    if (!firstByte) return zv::inet::QueryContentLength(request, length);
    std::wstring contentRange;
    zv::inet::QueryText(request, HTTP_QUERY_CONTENT_RANGE, contentRange);
    switch (zv::SizeFromFirstByteAnswer(zv::inet::QueryStatus(request), contentRange, length)) {
    case zv::FirstByteSize::notPartial:
        // The server ignored the range: its answer is the whole file, as to a plain GET.
        return zv::inet::QueryContentLength(request, length);
    case zv::FirstByteSize::total:
        partial = true;
        return zv::inet::Length::valid;
    case zv::FirstByteSize::unknown:   // the length may come with the whole answer
    case zv::FirstByteSize::unusable:
        break;
    }
    partial = true;
    return zv::inet::Length::absurd;
}

int priv_CWebGrab::OpenBody(Request& request, const std::wstring& url, const std::wstring& extraHeaders,
                            int& connectionError)
{
    std::unique_ptr<Request> answered = std::move(m_answered);
    if (answered && extraHeaders.empty() && m_answeredUrl == url) {
        request.connection = std::move(answered->connection);
        request.handle = std::move(answered->handle);
        return 1;
    }
    answered.reset();
    return SendRequest(request, url, extraHeaders, connectionError);
}

int priv_CWebGrab::GrabToMemory(const std::wstring& url, const std::wstring& agentName, uint32_t expectedSize,
                                int notify, const zv::WholeFileLimits& limits, std::string& body, int& cancelled,
                                int& connectionError, ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item,
                                ZvLib_CTransferStats* stats)
{
    if (!session && !OpenSession(agentName)) return 0;
    Request request;
    int64_t sent = zv::PerformanceCounterMicros();
    if (!OpenBody(request, url, std::wstring(), connectionError)) {
        zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- WARNING: cannot open '%s': '%s'\n", url.c_str(), errorText.c_str());
        return 0;
    }
    zv::RangeAnswer answer;
    answer.status = status = zv::inet::QueryStatus(request.Get());
    uint32_t length = 0;
    if (zv::inet::QueryContentLength(request.Get(), length) == zv::inet::Length::valid) answer.contentLength = length;
    zv::BodyPlan plan = zv::PlanBody(zv::RangeRequest{0, 0, expectedSize}, answer);
    if (plan.action != zv::BodyAction::keep) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: Downloader: answer %d from '%s' is not the file (%s); nothing "
                                 L"is kept.\n", answer.status, url.c_str(), plan.reason);
        return 0;
    }
    zv::MemoryStore store(body);
    Transfer transfer;
    transfer.request = &request;
    transfer.store = &store;
    transfer.bound = plan.end;
    transfer.notify = notify != 0;
    transfer.sink = notify ? sink : nullptr;
    transfer.item = item;
    transfer.stats = stats;
    transfer.cancelEventName = kWorkCancelEventName;
    transfer.hostCancelEventName = limits.cancelEventName;
    transfer.rateLimit = &limits;
    transfer.sentMicros = sent;
    int result = RunReadLoop(transfer);
    if (transfer.cancelled) cancelled = 1;
    if (transfer.connectionError) connectionError = 1;
    return result;
}
