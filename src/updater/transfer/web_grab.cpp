#include "updater/transfer/web_grab.h"

#include "framework/file.h"
#include "updater/transfer/log.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/path_helpers.h"
#include "updater/transfer/read_sizer.h"
#include "updater/transfer/text_helpers.h"
#include "updater/transfer/transfer_stats.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <cwchar>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct InetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::InternetCloseHandle(h); }
};
using InetHandle = fw::UniqueHandle<InetHandleTraits>;

std::wstring InetErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST ? FORMAT_MESSAGE_FROM_HMODULE
                                                                                 : FORMAT_MESSAGE_FROM_SYSTEM);
    DWORD n = ::FormatMessageW(flags, ::GetModuleHandleW(L"wininet.dll"), error, 0, reinterpret_cast<wchar_t*>(&text),
                               0, nullptr);
    std::wstring result;
    if (n && text) {
        result.assign(text, n);
        while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
            result.pop_back();
    }
    if (text) ::LocalFree(text);
    if (result.empty()) result = zv::Format(64, L"WinINet error %u", static_cast<unsigned>(error));
    else result = zv::Format(1024, L"%s (error %u)", result.c_str(), static_cast<unsigned>(error));
    return result;
}

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

bool QueryText(HINTERNET request, DWORD what, std::wstring& out)
{
    DWORD bytes = 0;
    ::HttpQueryInfoW(request, what, nullptr, &bytes, nullptr);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return false;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!::HttpQueryInfoW(request, what, text.data(), &bytes, nullptr)) return false;
    text.resize(bytes / sizeof(wchar_t));
    out = text;
    return true;
}

int QueryStatus(HINTERNET request)
{
    DWORD code = 0, size = sizeof(code);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr)) return 0;
    return static_cast<int>(code);
}

enum class Length { absent, valid, absurd };

// Content-Length as a 32-bit count; a value that does not fit is absurd, not truncated.
Length QueryContentLength(HINTERNET request, uint32_t& length)
{
    length = 0;
    std::wstring text;
    if (!QueryText(request, HTTP_QUERY_CONTENT_LENGTH, text)) return Length::absent;
    uint64_t value = 0;
    size_t digits = 0;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t') continue;
        if (c < L'0' || c > L'9') return Length::absurd;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > 0xFFFFFFFFull) return Length::absurd;
        ++digits;
    }
    if (digits == 0) return Length::absurd;
    length = static_cast<uint32_t>(value);
    return Length::valid;
}

int64_t CounterMicros()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        return ::QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<int64_t>(static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency));
}

constexpr uint32_t kAskAvailableBelow = 256 * 1024;

} // namespace

unsigned long DownloaderThreadId()
{
    return ::GetCurrentThreadId();
}

// One request: its connection and request handles.
class priv_CWebGrab::Request {
public:
    InetHandle connection;
    InetHandle handle;
    HINTERNET Get() const { return handle.Get(); }
    void Close()
    {
        handle.Reset();
        connection.Reset();
    }
};

// Where the body goes: memory or the end of a file. Store may go on using the data
// until the next call; Flush waits for what is under way and raises its failure;
// Settle waits and raises nothing.
class priv_CWebGrab::BodyStore {
public:
    virtual ~BodyStore() = default;
    virtual void Store(const char* data, uint32_t count) = 0;
    virtual void Flush() {}
    virtual void Settle() noexcept {}
    // The server ignored the requested range: start the target again.
    virtual void Restart() = 0;
};

namespace {

class MemoryStore : public priv_CWebGrab::BodyStore {
public:
    explicit MemoryStore(std::string& body) : m_body(body) {}
    void Store(const char* data, uint32_t count) override { m_body.append(data, count); }
    void Restart() override { m_body.clear(); }

private:
    std::string& m_body;
};

// Writes on a thread of its own, so the next read overlaps the disk write of the
// last one. One write is under way at a time.
class FileStore : public priv_CWebGrab::BodyStore {
public:
    explicit FileStore(fw::CFile& file) : m_file(file) {}
    ~FileStore() override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }
    void Store(const char* data, uint32_t count) override
    {
        Flush();
        if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_data = data;
            m_count = count;
            m_busy = true;
        }
        m_changed.notify_all();
    }
    void Flush() override
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return !m_busy; });
        if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
    }
    void Settle() noexcept override
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return !m_busy; });
    }
    void Restart() override
    {
        Flush();
        m_file.SetLength(0);
        m_file.Seek(0, fw::CFile::begin);
    }

private:
    void Run() noexcept
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_changed.wait(lock, [this] { return m_busy || m_stop; });
            if (!m_busy) return;
            lock.unlock();
            std::exception_ptr error;
            try {
                m_file.Write(m_data, m_count);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            m_error = error;
            m_busy = false;
            m_changed.notify_all();
        }
    }

    fw::CFile& m_file;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_thread;
    const char* m_data = nullptr;
    uint32_t m_count = 0;
    bool m_busy = false;
    bool m_stop = false;
    std::exception_ptr m_error;
};

} // namespace

struct priv_CWebGrab::ReadLoop {
    Request* request = nullptr;
    BodyStore* store = nullptr;
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
        errorText = InetErrorText(::GetLastError());
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

// Opens a GET request for url and sends it. Failure means the server could not be
// reached or did not answer in time: a connection error.
int priv_CWebGrab::SendRequest(Request& request, const std::wstring& url, const std::wstring& extraHeaders,
                               int& connectionError, const wchar_t* verb)
{
    auto fail = [&](DWORD error) {
        errorText = InetErrorText(error);
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
    if (!SendRequest(request, url, std::wstring(), connectionError, L"HEAD")) {
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- QueryRemoteFile: cannot open '%s': '%s'\n", url.c_str(),
                    errorText.c_str());
        return 0;
    }
    int headStatus = QueryStatus(request.Get());
    if (headStatus == 405 || headStatus == 501) {
        request.Close();
        if (!SendRequest(request, url, L"Connection: close\r\n", connectionError, L"GET")) {
            ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- QueryRemoteFile: cannot open '%s': '%s'\n", url.c_str(),
                        errorText.c_str());
            return 0;
        }
    }

    bool hasLastModified = QueryText(request.Get(), HTTP_QUERY_LAST_MODIFIED, lastModified);
    status = QueryStatus(request.Get());
    if (!hasLastModified) {
        statusOut = QueryStatus(request.Get());
        if (statusOut >= 400) return 0;
    }

    uint32_t length = 0;
    Length kind = QueryContentLength(request.Get(), length);
    if (kind == Length::absurd) {
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: QueryRemoteFile: unusable Content-Length from '%s'\n",
                    url.c_str());
        statusOut = QueryStatus(request.Get());
        return 0;
    }
    remoteSize = length;
    if (sizeReceiver) sizeReceiver->SetRemoteFileSize(remoteSize);
    status = QueryStatus(request.Get());
    if (kind == Length::absent) {
        statusOut = QueryStatus(request.Get());
        if (statusOut >= 400) return 0;
    }
    return 1;
}

int priv_CWebGrab::RunReadLoop(ReadLoop& loop)
{
    HINTERNET request = loop.request->Get();
    fw::CHandle cancelEvent;
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

    int result = 0;
    bool cancelled = false;
    try {
        // Two buffers: one is read into while the store may still be writing the other.
        std::vector<char> buffers[2] = {std::vector<char>(zv::ReadSizer::kMaxRead),
                                        std::vector<char>(zv::ReadSizer::kMaxRead)};
        struct Settler {
            BodyStore* store;
            ~Settler() { store->Settle(); }
        } settler{loop.store};
        int current = 0;
        zv::ReadSizer sizer;
        uint32_t received = 0;
        uint32_t sinceNotify = 0;
        int64_t lastReadEnd = loop.sentMicros;
        int64_t loopStart = CounterMicros(), readMicros = 0, storeMicros = 0;
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
            if (!::InternetReadFile(request, buffer, want, &got)) {
                DWORD error = ::GetLastError();
                errorText = InetErrorText(error);
                *loop.connectionError = 1;
                ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught: CInternetException while reading "
                                         L"CHttpFile.  Likely is an OK runtime condition.\n");
                ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", errorText.c_str());
                if (loop.sink) loop.sink->OnItemError(id, errorText);
                loop.request->Close();
                return 0;
            }
            int64_t readEnd = CounterMicros();
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
            storeMicros += CounterMicros() - readEnd;
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
                                 L"%lld ms handing it to the store.\n", received, reads, (CounterMicros() - loopStart) / 1000,
                    readMicros / 1000, storeMicros / 1000);
        status = QueryStatus(request);
        QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers);
        loop.request->Close();
        if (!cancelled && loop.base + received < loop.bound) {
            // The connection ended before the announced length: a broken transfer,
            // not a complete file.
            errorText = zv::Format(256, L"connection closed after %u of %u bytes", loop.base + received, loop.bound);
            *loop.connectionError = 1;
            ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught: CInternetException while reading "
                                     L"CHttpFile.  Likely is an OK runtime condition.\n");
            ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", errorText.c_str());
            if (loop.sink) loop.sink->OnItemError(id, errorText);
            return 0;
        }
        if (cancelled) {
            *loop.cancelled = 1;
            ZvLog().Log(ZVLOG_INFO2, L"ZvLib: ---- Downloader (%d)(0x%x): transfer cancelled after %u bytes.\n",
                        static_cast<int>(DownloaderThreadId()), static_cast<unsigned>(DownloaderThreadId()), received);
            return 0;
        }
        if (loop.sink) loop.sink->OnItemEnd(id);
        result = 1;
    } catch (const fw::CFileException& e) {
        errorText = InetErrorText(static_cast<DWORD>(e.m_lOsError));
        ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
        ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", errorText.c_str());
        if (loop.sink) loop.sink->OnItemError(id, errorText);
        loop.request->Close();
        result = 0;
    } catch (...) {
        errorText = L"out of memory or unknown failure";
        ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
        ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", errorText.c_str());
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
    int64_t sent = CounterMicros();
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
        int answer = QueryStatus(request.Get());
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

    fw::CFile target;
    fw::CFileException error;
    if (!target.Open(targetPath, fw::CFile::modeWrite | fw::CFile::modeCreate | fw::CFile::modeNoTruncate |
                                     fw::CFile::shareDenyWrite | fw::CFile::typeBinary,
                     &error)) {
        errorText = InetErrorText(static_cast<DWORD>(error.m_lOsError));
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: GetFile: cannot open target file '%s': '%s'\n",
                    targetPath.c_str(), errorText.c_str());
        return 0;
    }
    FileStore store(target);
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
    } catch (const fw::CFileException& e) {
        errorText = InetErrorText(static_cast<DWORD>(e.m_lOsError));
        ZvLog().Log(ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
        ZvLog().Log(ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", errorText.c_str());
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
    int64_t sent = CounterMicros();
    if (!SendRequest(request, url, std::wstring(), connectionError, L"GET")) {
        ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- WARNING: cannot open '%s': '%s'\n", url.c_str(), errorText.c_str());
        return 0;
    }
    MemoryStore store(body);
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

int CheckUrl(const std::wstring& url, const std::wstring& agentName, uint32_t& remoteSize, int& connectionError)
{
    connectionError = 0;
    unsigned long tid = DownloaderThreadId();
    ZvLog().Log(ZVLOG_INFO1, L"---> Downloader (%d)(0x%x): Checking url: '%s'", static_cast<int>(tid),
                static_cast<unsigned>(tid), url.c_str());
    priv_CWebGrab grab(0);
    std::wstring lastModified;
    uint32_t size = 0;
    int statusOut = 0;
    int ok = grab.QueryRemoteFile(url, lastModified, size, statusOut, connectionError, agentName) && size != 0;
    ZvLog().Log(ZVLOG_INFO1, L"---< Downloader (%d)(0x%x):  HTTP status code: %d, size (bytes): %d, File-exists result:%d",
                static_cast<int>(tid), static_cast<unsigned>(tid), grab.status, static_cast<int>(size), ok);
    remoteSize = size;
    return ok;
}

int HttpGrabFile(ZvLib_CDownloader* /*downloader*/, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 int* httpStatus)
{
    cancelled = 0;
    connectionError = 0;
    if (stats) stats->startBytes = 0;
    unsigned long tid = DownloaderThreadId();
    ZvLog().Log(ZVLOG_INFO1, L"---> Downloader (%d)(0x%x):   Getting url: '%s'\n", static_cast<int>(tid),
                static_cast<unsigned>(tid), url.c_str());
    ZvLog().Log(ZVLOG_INFO1, L"---- Downloader (%d)(0x%x):   To local file: '%s'\n", static_cast<int>(tid),
                static_cast<unsigned>(tid), localPath.c_str());

    priv_CWebGrab grab(id);
    grab.ignoreBrowserCache = 1;
    int result = 0;
    std::wstring lastModified;
    uint32_t remoteSize = 0;
    int statusOut = 0;
    if (grab.QueryRemoteFile(url, lastModified, remoteSize, statusOut, connectionError, agentName)) {
        if (stats) stats->totalBytes = remoteSize;
        std::string body;
        bool allocated = false;
        if (remoteSize <= kMaxWholeFileBytes) {
            try {
                body.reserve(remoteSize);
                allocated = true;
            } catch (const std::bad_alloc&) {
            }
        }
        if (!allocated) {
            ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR: HttpGrabFile: cannot hold %u bytes in memory for '%s'.\n",
                        remoteSize, url.c_str());
        } else if (grab.GrabToMemory(url, agentName, remoteSize, notify, body, cancelled, connectionError, sink, item,
                                     stats)) {
            result = 1;
            try {
                std::wstring dir = GetDirectoryPart(localPath);
                if (!dir.empty()) ::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
                fw::CFileStatus st;
                if (fw::CFile::GetStatus(localPath, st))
                    fw::CFile::SetAttributes(localPath, st.attribute & ~static_cast<DWORD>(fw::CFile::readOnly |
                                                                                          fw::CFile::hidden));
                fw::CFile file;
                fw::CFileException error;
                if (!file.Open(localPath, fw::CFile::modeCreate | fw::CFile::modeWrite | fw::CFile::typeBinary, &error))
                    throw error;
                file.Write(body.data(), static_cast<uint32_t>(body.size()));
                file.Close();
            } catch (...) {
                ZvLog().Log(ZVLOG_ERROR, L"---- priv_CWebGrab::HttpGrabFile, exception caught while trying to open "
                                         L"target file.\n");
                result = 0;
            }
        }
    }
    ZvLog().Log(ZVLOG_INFO1, L"---< Downloader (%d)(0x%x):  HTTP status code: %d, size (bytes): %d, download result:%d",
                static_cast<int>(tid), static_cast<unsigned>(tid), grab.status, static_cast<int>(remoteSize), result);
    if (httpStatus) *httpStatus = grab.status;
    return result;
}
