// Fetching a request group's manifest: its signature first, then the manifest, then
// authentication, then loading. The manifest is read once; the bytes that verify are
// the bytes that are parsed, so a file swapped on disk between the two is never loaded.
#include "updater/core/updater_imp.h"

#include "updater/base/file_read.h"
#include "updater/base/log.h"
#include "updater/base/win32/file_helpers.h"
#include "updater/config/url_builder.h"
#include "updater/transfer/downloader.h"
#include "updater/transfer/http_grab_file.h"
#include "updater/transfer/pubkey_resource.h"
#include "updater/transfer/signature_auth.h"
#include "updater/transfer/signature_text.h"
#include "updater/transfer/whole_file_limits.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The transfer id of manifest downloads.
constexpr int kManifestTransferId = 42;

// Why the downloaded pair does not authenticate, or kVerified with the manifest's bytes.
zv::AuthStatus ReadAuthenticated(const std::wstring& manifestPath, const std::wstring& sigPath, const PubKeyResource& key,
                                 std::string& manifest)
{
    std::wstring error;
    std::string sigBytes;
    if (!zv::ReadWholeFile(sigPath, zv::kMaxSignatureFileBytes, sigBytes, error)) return zv::AuthStatus::kSignatureUnreadable;
    if (!zv::ReadWholeFile(manifestPath, zv::kMaxManifestBytes, manifest, error)) return zv::AuthStatus::kDataUnreadable;
    std::string_view head(sigBytes);
    bool more = head.size() > zv::kSignatureHeadBytes;
    if (more) head = head.substr(0, zv::kSignatureHeadBytes);
    std::optional<std::string_view> line = zv::SignatureFirstLine(head, more);
    if (!line) return zv::AuthStatus::kSignatureMalformed;
    std::vector<unsigned char> signature;
    if (!zv::DecodeSignatureLine(*line, signature)) return zv::AuthStatus::kSignatureMalformed;
    return zv::CheckSignature(reinterpret_cast<const unsigned char*>(manifest.data()), manifest.size(), signature.data(),
                              signature.size(), &key);
}

// The manifest's address without its query, from a prepared configuration.
std::wstring ManifestPathOf(const ZvLib_CConfigParamsLoader& config)
{
    CUrlBuilder urls;
    return urls.BuildManifestPath(urls.BuildPayloadPath(config, config.productVersion, 1));
}

// A manifest that does not authenticate is not kept: nothing may later take it for one
// that did, and the next check starts from the server's copy.
void DiscardUnauthenticated(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    try {
        DeleteHiddenReadonlyFile(path);
    } catch (const zv::fw::CFileException& e) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: ObtainManifest2: cannot delete '%s' (OS Error: %d)\n", path.c_str(),
                      static_cast<int>(e.m_lOsError));
    }
}

} // namespace

std::wstring CUpdaterImp::ManifestUrl(int requestGroupId) const
{
    const ZvLib_CRequestGroupInfo* group = FindRequestGroupInfo(requestGroupId);
    if (!group) return {};
    ZvLib_CConfigParamsLoader config = group->config;
    CUrlBuilder().PrepareRequest(config);
    return ManifestPathOf(config) + L"?" + config.queryString;
}

int CUpdaterImp::CheckForInstallables2(int obtainManifest, int useOtherSources, int requestGroupId)
{
    ZvLib_CRequestGroupInfo* group = FindRequestGroupInfo(requestGroupId);
    if (!group) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: CheckForInstallables2: Rgi not found, iIdOfRequestGroupInfo: %d\n", requestGroupId);
        return 0;
    }
    // A snapshot: the group's own record stays as the host filled it.
    ZvLib_CConfigParamsLoader config = group->config;
    CUrlBuilder().PrepareRequest(config);
    if (!config.paramsInitted) {
        zv::Log().Log(zv::ZVLOG_ERROR,
                    L"ZvLib ERROR: Request-group's config parameters have not been initted, iIdOfRequestGroupInfo: %d\n",
                    requestGroupId);
        return 0;
    }
    if (!obtainManifest && !useOtherSources) return 0;
    int manifestResult = obtainManifest ? ObtainManifest2(config) : 0;
    // No other source exists in this build; that step always reports success.
    int otherResult = useOtherSources && !manifestResult ? 1 : 0;
    return manifestResult == 1 || otherResult == 1 ? 1 : 0;
}

int CUpdaterImp::ObtainManifest2(const ZvLib_CConfigParamsLoader& config)
{
    if (!config.paramsInitted) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: ObtainManifest2: Request-group's config parameters have not been initted.\n");
        return 0;
    }
    if (!config.IsComplete()) return 0;
    // Never write relative to the current directory.
    if (tempDir.empty()) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: ObtainManifest2: no temporary directory, manifest not fetched.\n");
        return 0;
    }

    const std::wstring manifestPath = tempDir + config.productName + L".man.xml";
    const std::wstring sigPath = manifestPath + L".sig";
    const std::wstring manifestUrl = ManifestPathOf(config);
    const std::wstring sigUrl = manifestUrl + L".sig";
    const std::wstring query = L"?" + config.queryString;

    ZvLib_CDownloader downloader(config);
    int cancelled = 0, connectionError = 0;
    zv::WholeFileLimits sigLimits;
    sigLimits.maxBytes = zv::kMaxSignatureFileBytes;
    sigLimits.cancelEventName = cancelEventName;
    int ok = HttpGrabFile(&downloader, kManifestTransferId, sigUrl + query, sigPath, L"", 0, cancelled, connectionError,
                          nullptr, nullptr, &transferStats, sigLimits);
    if (ok) {
        zv::WholeFileLimits manifestLimits;
        manifestLimits.cancelEventName = cancelEventName;
        ok = HttpGrabFile(&downloader, kManifestTransferId, manifestUrl + query, manifestPath, L"", 1, cancelled,
                          connectionError, nullptr, nullptr, &transferStats, manifestLimits);
    }
    if (!ok) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: ObtainManifest2: download of '%s' failed, connection error: %d\n",
                    manifestUrl.c_str(), connectionError);
        return 0;
    }

    PubKeyResource key;
    key.keyFilePath = publicKeyPath;
    std::string manifest;
    zv::AuthStatus status = ReadAuthenticated(manifestPath, sigPath, key, manifest);
    if (status != zv::AuthStatus::kVerified) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: ObtainManifest2: manifest '%s' failed authentication (%s), not loaded.\n",
                    manifestPath.c_str(), zv::AuthStatusText(status));
        DiscardUnauthenticated(manifestPath);
        DiscardUnauthenticated(sigPath);
        return 0;
    }
    // The load's outcome does not change this step's result.
    LoadManifestUtf8(manifest.data(), manifest.size(), manifestPath, config);
    return 1;
}
