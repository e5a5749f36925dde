// The fetcher's entry points: whether a URL names a fetchable file, and a whole-file
// download held in memory and then written to disk.
#include "updater/transfer/http_grab_file.h"

#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/file_replace.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab.h"

#include <windows.h>
#include <shlobj.h>

namespace {

// The body goes to a temporary file beside the target that then replaces it: a
// failed write or a full disk keeps the old copy.
int StoreWholeFile(const std::wstring& localPath, const std::string& body)
{
    std::wstring dir = GetDirectoryPart(localPath);
    if (!dir.empty()) ::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    uint32_t error = 0;
    if (zv::ReplaceFileContents(localPath, body, error)) return 1;
    zv::Log().Log(zv::ZVLOG_ERROR, L"---- priv_CWebGrab::HttpGrabFile, exception caught while trying to open "
                             L"target file.\n");
    return 0;
}

} // namespace

int CheckUrl(const std::wstring& url, const std::wstring& agentName, uint32_t& remoteSize, int& connectionError,
             bool firstByteOnly)
{
    connectionError = 0;
    unsigned long tid = zv::DownloaderThreadId();
    zv::Log().Log(zv::ZVLOG_INFO1, L"---> Downloader (%d)(0x%x): Checking url: '%s'", static_cast<int>(tid),
                static_cast<unsigned>(tid), url.c_str());
    priv_CWebGrab grab(0);
    grab.firstByteQuery = firstByteOnly ? 1 : 0;
    std::wstring lastModified;
    uint32_t size = 0;
    int statusOut = 0;
    int ok = grab.QueryRemoteFile(url, lastModified, size, statusOut, connectionError, agentName) && size != 0;
    zv::Log().Log(zv::ZVLOG_INFO1, L"---< Downloader (%d)(0x%x):  HTTP status code: %d, size (bytes): %d, File-exists result:%d",
                static_cast<int>(tid), static_cast<unsigned>(tid), grab.status, static_cast<int>(size), ok);
    remoteSize = size;
    return ok;
}

int HttpGrabFile(ZvLib_CDownloader* /*downloader*/, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 const zv::WholeFileLimits& limits, int* httpStatus)
{
    cancelled = 0;
    connectionError = 0;
    if (stats) stats->startBytes = 0;
    unsigned long tid = zv::DownloaderThreadId();
    zv::Log().Log(zv::ZVLOG_INFO1, L"---> Downloader (%d)(0x%x):   Getting url: '%s'\n", static_cast<int>(tid),
                static_cast<unsigned>(tid), url.c_str());
    zv::Log().Log(zv::ZVLOG_INFO1, L"---- Downloader (%d)(0x%x):   To local file: '%s'\n", static_cast<int>(tid),
                static_cast<unsigned>(tid), localPath.c_str());

    priv_CWebGrab grab(id);
    grab.ignoreBrowserCache = 1;
    int result = 0;
    std::wstring lastModified;
    uint32_t remoteSize = 0;
    int statusOut = 0;
    if (grab.QueryRemoteFile(url, lastModified, remoteSize, statusOut, connectionError, agentName)) {
        if (stats) stats->totalBytes = remoteSize;
        // Held in memory as it arrives: an announced size above this use's cap is refused
        // before any of it is read.
        std::string body;
        if (remoteSize > limits.maxBytes) {
            zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: ---- ERROR: HttpGrabFile: cannot hold %u bytes in memory for '%s'.\n",
                        remoteSize, url.c_str());
        } else if (grab.GrabToMemory(url, agentName, remoteSize, notify, limits, body, cancelled, connectionError,
                                     sink, item, stats)) {
            result = StoreWholeFile(localPath, body);
        }
    }
    zv::Log().Log(zv::ZVLOG_INFO1, L"---< Downloader (%d)(0x%x):  HTTP status code: %d, size (bytes): %d, download result:%d",
                static_cast<int>(tid), static_cast<unsigned>(tid), grab.status, static_cast<int>(remoteSize), result);
    if (httpStatus) *httpStatus = grab.status;
    return result;
}

int HttpGrabFile(ZvLib_CDownloader* downloader, int id, const std::wstring& url, const std::wstring& localPath,
                 const std::wstring& agentName, int notify, int& cancelled, int& connectionError,
                 ZvLib_IDownloadEvents* sink, const ZvLib_CItemProgress* item, ZvLib_CTransferStats* stats,
                 int* httpStatus)
{
    return HttpGrabFile(downloader, id, url, localPath, agentName, notify, cancelled, connectionError, sink, item,
                        stats, zv::WholeFileLimits{}, httpStatus);
}
