// The fetcher's entry points: whether a URL names a fetchable file, and a whole-file
// download held in memory and then written to disk.
#include "framework/file.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab.h"

#include <windows.h>
#include <shlobj.h>

#include <new>

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
                zv::fw::CFileStatus st;
                if (zv::fw::CFile::GetStatus(localPath, st))
                    zv::fw::CFile::SetAttributes(localPath, st.attribute & ~static_cast<DWORD>(zv::fw::CFile::readOnly |
                                                                                          zv::fw::CFile::hidden));
                zv::fw::CFile file;
                zv::fw::CFileException error;
                if (!file.Open(localPath, zv::fw::CFile::modeCreate | zv::fw::CFile::modeWrite | zv::fw::CFile::typeBinary, &error))
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
