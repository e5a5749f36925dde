#include "updater/transfer/grab_resumable.h"

#include "updater/base/log.h"
#include "updater/transfer/downloader.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/pubkey_resource.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab.h"

#include <windows.h>

namespace {

// One resumable download: what it was asked for and what it has done so far.
struct ResumableTransfer {
    ZvLib_CDownloader& downloader;
    int id;
    ZvLib_CDownloadRequest& request;
    int& cancelled;
    int& connectionError;
    const std::wstring& cancelEventName;
    ZvLib_IDownloadEvents* sink;
    const ZvLib_CItemProgress* item;
    ZvLib_CTransferStats* stats;
    priv_CWebGrab grab;
    CPayloadCache cache;
    int tid = static_cast<int>(zv::DownloaderThreadId());
    unsigned xtid = static_cast<unsigned>(tid);
    uint32_t remoteSize = 0;
    uint32_t requestedStart = 0, requestedEnd = 0;
    uint32_t downloadedStart = 0, downloadedEnd = 0;
    int alreadyHere = 0;
    int result = 0;

    const ZvLib_CItemProgress& Described() const
    {
        static const ZvLib_CItemProgress unnamed{L"item"};
        return item ? *item : unnamed;
    }
};

void ApplyDirectives(ResumableTransfer& t)
{
    const ZvLib_CConfigParamsLoader& config = t.downloader.configParams;
    if (config.allowBrowserCache) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZVLib: ---- Downloader (%d)(0x%x): Allowing IE cache, per config directive.\n", t.tid,
                    t.xtid);
    } else {
        t.grab.ignoreBrowserCache = 1;
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZVLib: ---- Downloader (%d)(0x%x): Ignoring IE cache, per config directive.\n", t.tid,
                    t.xtid);
    }
    if (config.allowZvCache) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZVLib: ---- Downloader-cacher:     Allowing ZV cache, per config directive.\n");
    } else {
        t.cache.Disable();
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZVLib: ---- Downloader-cacher:     Ignoring ZV cache, per config directive.\n");
    }
}

// An error page or a portal's answer saved as the signature must not decide the fate of
// a good partial download: the cache is left as it is and nothing is fetched.
bool SignatureIsUsable(ResumableTransfer& t)
{
    if (t.downloader.publicKey) t.cache.signatureBytes = zv::SignatureLengthOf(*t.downloader.publicKey);
    if (t.cache.IsSignatureWellFormed()) return true;
    zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cacher: the signature file holds no signature; the cache is left as it is: '%s'\n",
                t.cache.sigPath.c_str());
    return false;
}

// A partial payload that the fresh signature still vouches for is continued with a
// ranged request, so the size query's answer will not be read as the body.
bool WillContinuePartial(const ResumableTransfer& t)
{
    return !t.cache.disabled && t.cache.ResumeFilesExist() && t.cache.IsSignatureUnchanged();
}

void ReportAlreadyHere(ResumableTransfer& t)
{
    t.alreadyHere = 1;
    t.result = 1;
    t.requestedStart = 0;
    t.requestedEnd = t.remoteSize;
    if (t.sink) t.sink->OnItemBegin(t.id, t.Described(), t.remoteSize, t.requestedStart, t.requestedEnd);
    if (t.stats) t.stats->Update(t.remoteSize);
    if (t.sink)
        t.sink->OnItemProgress(t.id, t.remoteSize, t.remoteSize, t.stats ? t.stats->AverageRate() : 0,
                               t.stats ? t.stats->SecondsRemaining() : 0);
}

// The range to ask for: the rest of a resumable partial file, else the whole file
// after a reset.
void PlanRange(ResumableTransfer& t)
{
    if (t.cache.CheckResumable()) {
        auto range = t.cache.GetResumeRange();
        // The body is written after the partial file's bytes, so there must be exactly
        // as many of them as the range skips.
        if (t.cache.IsPartLength(range.first)) {
            t.requestedStart = range.first;
            t.requestedEnd = range.second;
            return;
        }
        zv::Log().Log(zv::ZVLOG_INFO2, L"----- Downloader-cacher:   ZV-cached payload file is not %d bytes long; starting again: '%s'\n",
                    static_cast<int>(range.first), t.cache.payloadPartPath.c_str());
    }
    t.cache.ResetCache();
    t.requestedStart = t.requestedEnd = 0;
}

void FetchBody(ResumableTransfer& t)
{
    PlanRange(t);
    if (t.sink) t.sink->OnItemBegin(t.id, t.Described(), t.remoteSize, t.requestedStart, t.requestedEnd);
    t.downloadedStart = t.downloadedEnd = t.requestedStart;
    if (!t.grab.GetFile(t.request.payloadUrl, t.request, t.cache.payloadPartPath, t.requestedStart, t.requestedEnd,
                        t.downloadedStart, t.downloadedEnd, t.cancelled, t.connectionError, t.sink, t.item, t.stats,
                        t.cancelEventName))
        return;
    t.result = 1;
    // A payload that did not reach its final name is not complete on disk: the partial
    // file stays for the next attempt.
    if (!t.cache.MoveCachedPayloadToPayload()) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cache: cannot move cached payload to payload. Cached payload filename: %s\n",
                    t.cache.payloadPartPath.c_str());
        t.result = 0;
    }
}

void LogOutcome(const ResumableTransfer& t)
{
    uint32_t downloaded = t.downloadedEnd - t.downloadedStart;
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- Downloader-cacher (%d)(0x%x):  HTTP status code: %d.  Bytes requested : %10d to %10d.  Remote file size: %d, download result:%d\n",
                t.tid, t.xtid, t.grab.status, static_cast<int>(t.requestedStart), static_cast<int>(t.requestedEnd),
                static_cast<int>(t.remoteSize), t.result);
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- Downloader-cacher (%d)(0x%x):  File already here:%d\n", t.tid, t.xtid,
                t.alreadyHere);
    zv::Log().Log(zv::ZVLOG_INFO1, L"---- Downloader-cacher: downloaded %10d bytes.\n", static_cast<int>(downloaded));
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---< Downloader-cacher (%d)(0x%x):                          Bytes downloaded: %10d to %10d.  (downloaded %10d bytes (%d MB)).\n",
                t.tid, t.xtid, static_cast<int>(t.downloadedStart), static_cast<int>(t.downloadedEnd),
                static_cast<int>(downloaded), static_cast<int>(downloaded >> 20));
}

} // namespace

int HttpGrabFileResumable(ZvLib_CDownloader& downloader, int id, ZvLib_CDownloadRequest& request, int& cancelled,
                          int& connectionError, const std::wstring& cancelEventName, ZvLib_IDownloadEvents* sink,
                          const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats, int* httpStatus)
{
    cancelled = 0;
    connectionError = 0;
    if (stats) stats->startBytes = 0;
    ResumableTransfer t{downloader, id, request, cancelled, connectionError, cancelEventName, sink, item, stats,
                        priv_CWebGrab(id), CPayloadCache(request.payloadPath, request.sigPath, L".part", request.payloadUrl)};

    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---> Downloader (%d)(0x%x): HttpGrabFileResumable:  Getting url: '%s'\n", t.tid,
                t.xtid, request.payloadUrl.c_str());
    zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: ---- Downloader (%d)(0x%x): HttpGrabFileResumable:  To local file: '%s'\n", t.tid,
                t.xtid, request.payloadPath.c_str());
    ApplyDirectives(t);

    // Before a ranged continuation the size query asks for the first byte only, so the
    // server does not send the file once more for nothing.
    t.grab.firstByteQuery = WillContinuePartial(t) ? 1 : 0;
    std::wstring lastModified;
    int statusOut = 0;
    if (SignatureIsUsable(t) && t.grab.QueryRemoteFile(request.payloadUrl, lastModified, t.remoteSize, statusOut,
                                                      connectionError, request.agentName, &t.cache)) {
        request.expectedSize = t.remoteSize;
        if (stats) stats->totalBytes = t.remoteSize;
        if (t.cache.IsPayloadComplete(t.remoteSize) && t.cache.IsCacheUsable())
            ReportAlreadyHere(t);
        else
            FetchBody(t);
    }
    LogOutcome(t);
    if (httpStatus) *httpStatus = t.grab.status;
    return t.result;
}
