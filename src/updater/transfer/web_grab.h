#pragma once
// The HTTP fetcher on WinINet (Windows): a size query, a whole-file download and a
// ranged download appended to a partial file. Every operation returns 1 or 0 and
// tells a user cancellation from a connection failure through two out flags.
#include "updater/transfer/download_events.h"

#include <cstdint>
#include <string>

class IPayloadCache;
namespace zv {
class BodyStore;
}
class ZvLib_CDownloader;
class ZvLib_CTransferStats;

// Event that cancels whole-file downloads made with the notify flag set.
inline constexpr const wchar_t* kWorkCancelEventName = L"Local\\Quorvane.fesu_work_cancel_event";
// Receive time-out of every request unless receiveTimeout says otherwise.
inline constexpr uint32_t kDefaultReceiveTimeoutMs = 60000;
// Whole-file downloads are held in memory; larger announced sizes are refused.
inline constexpr uint32_t kMaxWholeFileBytes = 512u * 1024 * 1024;

class priv_CWebGrab {
public:
    explicit priv_CWebGrab(int requestId);
    virtual ~priv_CWebGrab();
    priv_CWebGrab(const priv_CWebGrab&) = delete;
    priv_CWebGrab& operator=(const priv_CWebGrab&) = delete;

    int OpenSession(const std::wstring& agentName);

    // Asks for the URL's headers (HEAD; GET where a server refuses HEAD). Accepted when the answer carries
    // Last-Modified or has a status below 400, and carries Content-Length or has a
    // status below 400.
    int QueryRemoteFile(const std::wstring& url, std::wstring& lastModified, uint32_t& remoteSize, int& statusOut,
                        int& connectionError, const std::wstring& agentName, IPayloadCache* sizeReceiver = nullptr);

    // Appends the body (or the inclusive range [rangeStart, rangeEnd]; (0, 0) is the
    // whole file) to targetPath, never past request.expectedSize.
    int GetFile(const std::wstring& url, const ZvLib_CDownloadRequest& request, const std::wstring& targetPath,
                uint32_t rangeStart, uint32_t rangeEnd, uint32_t& downloadedStart, uint32_t& downloadedEnd,
                int& cancelled, int& connectionError, ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item,
                ZvLib_CTransferStats* stats, const std::wstring& cancelEventName);

    // The body into memory, at most expectedSize bytes (the whole-file download).
    int GrabToMemory(const std::wstring& url, const std::wstring& agentName, uint32_t expectedSize, int notify,
                     std::string& body, int& cancelled, int& connectionError, ZvLib_IDownloadEvents* sink,
                     const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats);

    void* session = nullptr; // HINTERNET
    uint32_t receiveTimeout = 0;
    int ignoreBrowserCache = 0;
    int useProxy = 0;
    int proxyPort = 0;
    int status = 0;
    std::wstring errorText;
    std::wstring proxyHost;
    std::wstring headers;
    int id = 0;

private:
    class Request;
    struct ReadLoop;
    void CloseSession();
    int SendRequest(Request& request, const std::wstring& url, const std::wstring& extraHeaders, int& connectionError,
                    const wchar_t* verb);
    int RunReadLoop(ReadLoop& loop);
};

// 1 when the URL answers acceptably with a nonzero Content-Length (stored in remoteSize).
int CheckUrl(const std::wstring& url, const std::wstring& agentName, uint32_t& remoteSize, int& connectionError);

// Whole-file download to localPath. The cancel event kWorkCancelEventName and the
// sink are consulted only when notify is set. httpStatus, when given, receives the
// last response's status code.
int HttpGrabFile(ZvLib_CDownloader* downloader, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 int* httpStatus = nullptr);

// Thread id as the fetcher's log lines print it.
unsigned long DownloaderThreadId();
