#pragma once
// The HTTP fetcher on WinINet (Windows): a size query, a whole-file download into
// memory and a ranged download into a partial file. Every operation returns 1 or 0 and
// tells a user cancellation from a connection failure through two out flags.
#include "updater/transfer/download_events.h"
#include "updater/transfer/inet_query.h"
#include "updater/transfer/whole_file_limits.h"

#include <cstdint>
#include <memory>
#include <string>

class IPayloadCache;
class ZvLib_CTransferStats;

// Event that cancels whole-file downloads made with the notify flag set.
inline constexpr const wchar_t* kWorkCancelEventName = L"Local\\Quorvane.fesu_work_cancel_event";
// Receive time-out of every request unless receiveTimeout says otherwise.
inline constexpr uint32_t kDefaultReceiveTimeoutMs = 60000;

class priv_CWebGrab {
public:
    explicit priv_CWebGrab(int requestId);
    virtual ~priv_CWebGrab();
    priv_CWebGrab(const priv_CWebGrab&) = delete;
    priv_CWebGrab& operator=(const priv_CWebGrab&) = delete;

    int OpenSession(const std::wstring& agentName);

    // Asks for the URL with a GET whose body is never read. Accepted when the answer
    // carries Last-Modified or has a status below 400, and carries Content-Length or
    // has a status below 400. With firstByteQuery the GET asks for the first byte only
    // and takes the length from a 206's Content-Range (Content-Length of any other
    // answer), asking again without a range when that answer is not usable; such a
    // query is for a caller that does not want the body.
    int QueryRemoteFile(const std::wstring& url, std::wstring& lastModified, uint32_t& remoteSize, int& statusOut,
                        int& connectionError, const std::wstring& agentName, IPayloadCache* sizeReceiver = nullptr);

    // Writes the body (or the inclusive range [rangeStart, rangeEnd]; (0, 0) is the
    // whole file) into targetPath at the position it belongs to, never past
    // request.expectedSize. An answer that is not the bytes asked for writes nothing.
    int GetFile(const std::wstring& url, const ZvLib_CDownloadRequest& request, const std::wstring& targetPath,
                uint32_t rangeStart, uint32_t rangeEnd, uint32_t& downloadedStart, uint32_t& downloadedEnd,
                int& cancelled, int& connectionError, ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item,
                ZvLib_CTransferStats* stats, const std::wstring& cancelEventName);

    // The body of a 200 answer into memory, exactly expectedSize bytes (the whole-file
    // download), within the limits' rate and cancel event.
    int GrabToMemory(const std::wstring& url, const std::wstring& agentName, uint32_t expectedSize, int notify,
                     const zv::WholeFileLimits& limits, std::string& body, int& cancelled, int& connectionError,
                     ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats);

    zv::inet::Handle session;
    uint32_t receiveTimeout = 0;
    int ignoreBrowserCache = 0;
    // The size query asks for byte 0 only: set when no whole-file read follows it.
    int firstByteQuery = 0;
    int useProxy = 0;
    int proxyPort = 0;
    int status = 0;
    std::wstring errorText;
    std::wstring proxyHost;
    std::wstring headers;
    int id = 0;

    // One request's handles, and one body transfer with its outcome (web_grab_transfer.h).
    class Request;
    struct Transfer;

private:
    // Sends a GET for url, or takes the size query's open answer when it was for the
    // same url and no extra header is asked for.
    int OpenBody(Request& request, const std::wstring& url, const std::wstring& extraHeaders, int& connectionError);
    int SendRequest(Request& request, const std::wstring& url, const std::wstring& extraHeaders, int& connectionError);
    // One size query; firstByte asks for byte 0 only.
    int QueryAnswer(const std::wstring& url, std::wstring& lastModified, uint32_t& remoteSize, int& statusOut,
                    int& connectionError, IPayloadCache* sizeReceiver, bool firstByte);
    // The file's length from the size query's answer; partial when it was a 206.
    static zv::inet::Length FileLength(HINTERNET request, bool firstByte, uint32_t& length, bool& partial);
    int RunReadLoop(Transfer& transfer);
    int RunIntoFile(Transfer& transfer, const std::wstring& targetPath, bool restart);

    // The size query's answer, kept open: it is the whole file, and a whole-file body
    // request that follows reads it instead of asking again.
    std::unique_ptr<Request> m_answered;
    std::wstring m_answeredUrl;
};

// Thread id as the fetcher's log lines print it.
namespace zv {
unsigned long DownloaderThreadId();
}
