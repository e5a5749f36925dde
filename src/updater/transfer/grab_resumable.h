#pragma once
// The resumable payload download: the download cache driven through one size query and
// at most one body request.
#include <string>

class ZvLib_CDownloader;
class ZvLib_CTransferStats;
class ZvLib_IDownloadEvents;
struct ZvLib_CDownloadRequest;
struct ZvLib_CItemProgress;

// Fetches request.payloadUrl into request.payloadPath through the cache: reuses a
// complete payload, continues a partial one, or starts again. 1 when P is complete.
// httpStatus, when given, receives the last response's status code.
int HttpGrabFileResumable(ZvLib_CDownloader& downloader, int id, ZvLib_CDownloadRequest& request, int& cancelled,
                          int& connectionError, const std::wstring& cancelEventName, ZvLib_IDownloadEvents* sink,
                          const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats, int* httpStatus = nullptr);
