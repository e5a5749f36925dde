// The download pass: sizes, then each installable's signature and payload through the
// download cache, then the payload's authentication.
#include "updater/base/log.h"
#include "updater/base/win32/file_helpers.h"
#include "updater/core/updater_imp.h"
#include "updater/transfer/download_events.h"
#include "updater/transfer/downloader.h"
#include "updater/transfer/grab_resumable.h"
#include "updater/transfer/http_grab_file.h"
#include "updater/transfer/payload_hold.h"
#include "updater/transfer/pubkey_resource.h"
#include "updater/transfer/signature_auth.h"

#include <cstdint>

namespace {

ZvLib_CItemInstallableApp* Installable(ZvLib_CItemBase* item)
{
    if (!item || !(item->IsInstallableApp() || item->IsSubcomponent())) return nullptr;
    return dynamic_cast<ZvLib_CItemInstallableApp*>(item);
}

std::wstring PayloadUrl(const ZvLib_CItemInstallableApp& app)
{
    return std::wstring(app.url) + L"?" + std::wstring(app.urlQs) + L"&";
}

std::wstring SignatureUrl(const ZvLib_CItemInstallableApp& app)
{
    return std::wstring(app.sigUrl) + L"?" + std::wstring(app.urlQs) + L"&";
}

// Truncated rate as the estimate divides by it; 0 seconds when there is no usable rate.
int EstimatedSeconds(uint32_t totalBytes, double rate)
{
    if (!(rate > 0.00001)) return 0;
    const int wholeRate = rate >= 2147483647.0 ? 2147483647 : static_cast<int>(rate);
    if (wholeRate == 0) return 0;
    // 64-bit so that a total above 2 GiB does not wrap to a negative estimate.
    return static_cast<int>(static_cast<int64_t>(totalBytes) / wholeRate);
}

// Deletes path; false with the exception's codes when it exists and cannot be deleted.
// A file that is already gone counts as deleted.
bool DeleteOne(const std::wstring& path, zv::fw::CFileException& error, bool& existed)
{
    existed = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    try {
        DeleteHiddenReadonlyFile(path);
        return true;
    } catch (const zv::fw::CFileException& e) {
        if (e.m_lOsError == ERROR_FILE_NOT_FOUND || e.m_lOsError == ERROR_PATH_NOT_FOUND) {
            existed = false;
            return true;
        }
        error = e;
        return false;
    }
}

} // namespace

int CUpdaterImp::DeleteLocalFileAndCache(const std::wstring& path, const std::wstring& kind)
{
    ZvLib_CLog& log = zv::Log();
    int result = 1;
    zv::fw::CFileException error;
    bool existed = false;
    if (DeleteOne(path, error, existed)) {
        if (existed) log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- CUpdaterImp::DeleteLocalFileAndCache: Deleted %s: %s\n", kind.c_str(), path.c_str());
    } else {
        result = 0;
        log.Log(zv::ZVLOG_INFO2,
                L"ZvLib: --- CUpdaterImp::DeleteLocalFileAndCache: CFileException (cause: %d, OS Error: %d), FAILED to delete %s: %s\n",
                error.m_cause, static_cast<int>(error.m_lOsError), kind.c_str(), path.c_str());
    }
    const std::wstring part = path + L".part";
    if (DeleteOne(part, error, existed)) {
        if (existed)
            log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- CUpdaterImp::DeleteLocalFileAndCache: Deleted cached %s: %s\n", kind.c_str(), part.c_str());
    } else {
        result = 0;
        log.Log(zv::ZVLOG_INFO2,
                L"ZvLib: --- CUpdaterImp::DeleteLocalFileAndCache: Exception (cause: %d, OS Error: %d), FAILED to delete cached %s: %s\n",
                error.m_cause, static_cast<int>(error.m_lOsError), kind.c_str(), part.c_str());
    }
    return result;
}

int CUpdaterImp::AuthenticatePayload_DeleteIfFail(ZvLib_CItemInstallableApp& item, zv::PayloadHold* hold)
{
    PubKeyResource key;
    key.keyFilePath = item.publicKeyPath.empty() ? publicKeyPath : std::wstring(item.publicKeyPath);
    zv::PayloadHold held;
    // Held before the check: nothing can change the file between its check and its use.
    const std::wstring payloadPath(item.localPayloadPath), sigPath(item.localSigPath);
    if (hold) held = zv::PayloadHold::Open(payloadPath);
    int ok = (!hold || held.IsHeld()) ? AuthenticateFile(payloadPath, sigPath, &key) : 0;
    item.authenticated = ok;
    if (ok) {
        if (hold) *hold = std::move(held);
        return 1;
    }
    zv::Log().Log(zv::ZVLOG_ERROR,
                L"ZvLib: --- CUpdaterImp::AuthenticatePayload_DeleteIfFail: Payload failed authentication.  Deleting offending files...\n");
    // Our own hold would make the deletion fail.
    held.Release();
    DeleteLocalFileAndCache(payloadPath, L"payload");
    DeleteLocalFileAndCache(sigPath, L"signature");
    return 0;
}

int CUpdaterImp::DownloadInstallables(unsigned& userCanceled, unsigned& connectionError, ZvLib_IDownloadEvents* sink)
{
    ZvLib_CLog& log = zv::Log();
    int result = 1;
    userCanceled = 0;
    connectionError = 0;
    std::vector<ZvLib_CItemBase*> selection;
    GetListOfSelectedInstallables(selection);

    int count = 0;
    uint32_t totalBytes = 0;
    for (ZvLib_CItemBase* entry : selection) {
        ZvLib_CItemInstallableApp* app = Installable(entry);
        if (!app) continue;
        ++count;
        uint32_t size = 0;
        int sizeConnectionError = 0;
        // Only the size is wanted: a whole answer would have the server write up to a
        // socket's worth of the payload before the request is closed, on every pass.
        if (CheckUrl(PayloadUrl(*app), L"", size, sizeConnectionError, true)) {
            app->dlSize = static_cast<int>(size);
        } else {
            size = 0;
        }
        totalBytes += size;
    }
    for (ZvLib_CItemBase* entry : selection) {
        if (ZvLib_CItemInstallableApp* app = Installable(entry)) {
            app->downloaded = 0;
            app->authenticated = 0;
        }
    }
    const int estimate = EstimatedSeconds(totalBytes, transferStats.ConservativeRate());

    bool began = false;
    int index = 0;
    int cancelled = 0;
    int connection = 0;
    for (ZvLib_CItemBase* entry : selection) {
        if (cancelled) break;
        ZvLib_CItemInstallableApp* app = Installable(entry);
        if (!app) continue;
        ++index;
        ZvLib_CItemProgress progress;
        progress.name = app->componentName;
        progress.itemId = app->internalId;
        progress.index = index;
        progress.count = count;
        progress.size = app->dlSize;
        if (!began && sink) {
            sink->OnDownloadGroupBegin(count, totalBytes, estimate);
            began = true;
        }

        ZvLib_CDownloadRequest request;
        request.payloadUrl = PayloadUrl(*app);
        request.payloadPath = app->localPayloadPath;
        request.sigUrl = SignatureUrl(*app);
        request.sigPath = app->localSigPath;
        ZvLib_CDownloader downloader{ZvLib_CConfigParamsLoader{}};
        PubKeyResource key;
        key.keyFilePath = app->publicKeyPath.empty() ? publicKeyPath : std::wstring(app->publicKeyPath);
        downloader.publicKey = &key;

        // A flag set by an earlier item stays set; each fetch reports its own.
        int sigCancelled = 0;
        int sigConnection = 0;
        const int sigOk = HttpGrabFile(&downloader, app->internalId, request.sigUrl, request.sigPath, L"", 1, sigCancelled,
                                       sigConnection, nullptr, nullptr, nullptr);
        cancelled |= sigCancelled;
        connection |= sigConnection;
        result &= sigOk;
        if (!sigOk) {
            if (sigCancelled)
                log.Log(zv::ZVLOG_INFO2, L"--- CUpdaterImp::::DownloadFiles: User canceled downloading sig file '%s'\n", request.sigUrl.c_str());
            else if (sigConnection)
                log.Log(zv::ZVLOG_INFO2, L"--- CUpdaterImp::::DownloadFiles: Connection error while downloading sig file '%s'\n",
                        request.sigUrl.c_str());
            else
                log.Log(zv::ZVLOG_ERROR, L"--- ERROR: CUpdaterImp::::DownloadFiles: failed downloading sig url '%s'\n", request.sigUrl.c_str());
            continue;
        }

        int payCancelled = 0;
        int payConnection = 0;
        const int payOk = HttpGrabFileResumable(downloader, app->internalId, request, payCancelled, payConnection, cancelEventName,
                                                sink, &progress, &transferStats);
        cancelled |= payCancelled;
        connection |= payConnection;
        result &= payOk;
        if (payOk) {
            app->downloaded = 1;
            result &= AuthenticatePayload_DeleteIfFail(*app);
        } else if (payCancelled) {
            log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- CUpdaterImp::DownloadInstallables: User canceled downloading payload.\n");
        } else if (payConnection) {
            log.Log(zv::ZVLOG_INFO2, L"ZvLib: --- CUpdaterImp::DownloadInstallables: Connection error while downloading payload.\n");
        } else {
            log.Log(zv::ZVLOG_ERROR, L"ZvLib: --- ERROR: CUpdaterImp::DownloadInstallables: failed downloading payload url '%s'\n",
                    request.payloadUrl.c_str());
        }
    }
    if (began) sink->OnDownloadGroupEnd();
    userCanceled = cancelled ? 1u : 0u;
    connectionError = connection ? 1u : 0u;
    return result;
}
