#pragma once
// The fetcher's entry points for the download pass: whether a URL names a fetchable
// file, and a whole-file download held in memory and then written to disk.
#include "updater/transfer/download_events.h"
#include "updater/transfer/whole_file_limits.h"

#include <cstdint>
#include <string>

class ZvLib_CDownloader;
class ZvLib_CTransferStats;

// 1 when the URL answers acceptably with a nonzero Content-Length (stored in remoteSize).
// With firstByteOnly the GET asks for byte 0 and takes the length from the partial
// answer's Content-Range: the server sends one byte instead of the file.
int CheckUrl(const std::wstring& url, const std::wstring& agentName, uint32_t& remoteSize, int& connectionError,
             bool firstByteOnly = false);

// Whole-file download to localPath within `limits` (its size cap, rate floor and the
// host's cancel event). The cancel event kWorkCancelEventName and the sink are
// consulted only when notify is set. The file is replaced only by a complete 200
// answer; httpStatus, when given, receives the last response's status code.
int HttpGrabFile(ZvLib_CDownloader* downloader, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 const zv::WholeFileLimits& limits, int* httpStatus = nullptr);

// The same with the default limits (a manifest's cap, no host cancel event).
int HttpGrabFile(ZvLib_CDownloader* downloader, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 int* httpStatus = nullptr);
