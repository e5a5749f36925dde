#include "updater/transfer/downloader.h"
#include "updater/base/log.h"
#include "updater/transfer/payload_cache.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab.h"

#include <windows.h>

int HttpGrabFileResumable(ZvLib_CDownloader& downloader, int id, ZvLib_CDownloadRequest& request, int& cancelled,
                          int& connectionError, const std::wstring& cancelEventName, ZvLib_IDownloadEvents* sink,
                          const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats, int* httpStatus)
{
    int result = 0;
    cancelled = 0;
    connectionError = 0;
    if (stats) stats->startBytes = 0;
    priv_CWebGrab grab(id);
    CPayloadCache cache(request.payloadPath, request.sigPath, L".part", request.payloadUrl);
    const int tid = static_cast<int>(DownloaderThreadId());
    const unsigned xtid = static_cast<unsigned>(tid);

    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---> Downloader (%d)(0x%x): HttpGrabFileResumable:  Getting url: '%s'\n", tid, xtid,
                request.payloadUrl.c_str());
    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- Downloader (%d)(0x%x): HttpGrabFileResumable:  To local file: '%s'\n", tid,
                xtid, request.payloadPath.c_str());

    if (downloader.configParams.allowBrowserCache) {
        ZvLog().Log(ZVLOG_INFO2, L"ZVLib: ---- Downloader (%d)(0x%x): Allowing IE cache, per config directive.\n", tid,
                    xtid);
    } else {
        grab.ignoreBrowserCache = 1;
        ZvLog().Log(ZVLOG_INFO2, L"ZVLib: ---- Downloader (%d)(0x%x): Ignoring IE cache, per config directive.\n", tid,
                    xtid);
    }
    if (downloader.configParams.allowZvCache) {
        ZvLog().Log(ZVLOG_INFO2, L"ZVLib: ---- Downloader-cacher:     Allowing ZV cache, per config directive.\n");
    } else {
        cache.Disable();
        ZvLog().Log(ZVLOG_INFO2, L"ZVLib: ---- Downloader-cacher:     Ignoring ZV cache, per config directive.\n");
    }

    uint32_t requestedStart = 0, requestedEnd = 0;
    uint32_t downloadedStart = 0, downloadedEnd = 0;
    int alreadyHere = 0;
    std::wstring lastModified;
    uint32_t remoteSize = 0;
    int statusOut = 0;
    ZvLib_CItemProgress unnamed;
    unnamed.name = L"item";
    const ZvLib_CItemProgress& described = item ? *item : unnamed;

    if (grab.QueryRemoteFile(request.payloadUrl, lastModified, remoteSize, statusOut, connectionError,
                             request.agentName, &cache)) {
        request.expectedSize = remoteSize;
        if (stats) stats->totalBytes = remoteSize;

        if (cache.IsPayloadComplete(remoteSize) && cache.IsCacheUsable()) {
            alreadyHere = 1;
            result = 1;
            requestedStart = 0;
            requestedEnd = remoteSize;
            if (sink) sink->OnItemBegin(id, described, remoteSize, requestedStart, requestedEnd);
            if (stats) stats->Update(remoteSize);
            if (sink)
                sink->OnItemProgress(id, remoteSize, remoteSize, stats ? stats->AverageRate() : 0,
                                     stats ? stats->SecondsRemaining() : 0);
        } else {
            if (cache.CheckResumable()) {
                auto range = cache.GetResumeRange();
                requestedStart = range.first;
                requestedEnd = range.second;
            } else {
                cache.ResetCache();
            }
            if (sink) sink->OnItemBegin(id, described, remoteSize, requestedStart, requestedEnd);
            downloadedStart = requestedStart;
            downloadedEnd = requestedStart;
            if (grab.GetFile(request.payloadUrl, request, cache.payloadPartPath, requestedStart, requestedEnd,
                             downloadedStart, downloadedEnd, cancelled, connectionError, sink, item, stats,
                             cancelEventName)) {
                result = 1;
                // A payload that did not reach its final name is not complete on disk:
                // the partial file stays for the next attempt.
                if (!cache.MoveCachedPayloadToPayload()) {
                    ZvLog().Log(ZVLOG_ERROR, L"ZvLib: ---- ERROR Downloader-cache: cannot move cached payload to payload. Cached payload filename: %s\n",
                                cache.payloadPartPath.c_str());
                    result = 0;
                }
            }
        }
    }

    uint32_t downloaded = downloadedEnd - downloadedStart;
    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- Downloader-cacher (%d)(0x%x):  HTTP status code: %d.  Bytes requested : %10d to %10d.  Remote file size: %d, download result:%d\n",
                tid, xtid, grab.status, static_cast<int>(requestedStart), static_cast<int>(requestedEnd),
                static_cast<int>(remoteSize), result);
    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---- Downloader-cacher (%d)(0x%x):  File already here:%d\n", tid, xtid,
                alreadyHere);
    ZvLog().Log(ZVLOG_INFO1, L"---- Downloader-cacher: downloaded %10d bytes.\n", static_cast<int>(downloaded));
    ZvLog().Log(ZVLOG_INFO1, L"ZvLib: ---< Downloader-cacher (%d)(0x%x):                          Bytes downloaded: %10d to %10d.  (downloaded %10d bytes (%d MB)).\n",
                tid, xtid, static_cast<int>(downloadedStart), static_cast<int>(downloadedEnd),
                static_cast<int>(downloaded), static_cast<int>(downloaded >> 20));
    if (httpStatus) *httpStatus = grab.status;
    return result;
}
