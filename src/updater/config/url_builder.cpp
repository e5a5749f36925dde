#include "updater/config/url_builder.h"

#include "updater/config/config_params.h"
#include "updater/expr/os_info.h"
#include "updater/base/text_helpers.h"

namespace {

// Only A..Z: the server's paths are ASCII and other letters stay as configured.
void LowerAscii(std::wstring& text)
{
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
}

} // namespace

std::wstring CUrlBuilder::BuildPayloadPath(const ZvLib_CConfigParamsLoader& config, const std::wstring& version,
                                           int lowerCase) const
{
    OSInfo os; // classifies on first use
    std::wstring path = config.payloadServerHost + L"/" + config.productBrand + L"/" + config.payloadBuName + L"/" +
                        config.payloadProductName + L"/" + version + L"/" + config.hostProductOption + L"/" +
                        OSInfo::PaddedOsCode() + L"/" + OSInfo::BitnessText() + L"/" + config.payloadFilename + L"." +
                        config.payloadFilenameExtension;
    if (lowerCase) LowerAscii(path);
    return path;
}

std::wstring CUrlBuilder::AppendSigSuffix(const std::wstring& path) const
{
    return path + L".sig";
}

std::wstring CUrlBuilder::BuildManifestPath(const std::wstring& path) const
{
    size_t dot = path.rfind(L'.');
    return (dot == std::wstring::npos ? std::wstring() : path.substr(0, dot)) + L".man.xml";
}

void CUrlBuilder::BuildQueryString(ZvLib_CConfigParamsLoader& config) const
{
    OSInfo os;
    std::wstring q;
    if (!config.extraQueryString.empty()) q += config.extraQueryString + L"&";

    std::wstring osText = OSInfo::OsText();
    q += L"zv.uos=" + (osText.empty() ? std::wstring(L"nil") : osText);
    std::wstring bits = OSInfo::BitnessText();
    q += L"&zv.ubi=" + (bits.empty() ? std::wstring(L"32") : bits);

    std::wstring libVersion = zv::Format(32, L"%d.%d.%d", kLibraryVersion[0], kLibraryVersion[1], kLibraryVersion[2]);
    q += L"&zv.ulv=" + libVersion + L"&zv.hp=" + config.productName + L"&zv.hv=" + config.productVersion +
         L"&zv.hpo=" + config.hostProductOption + L"&zv.hl=" + config.language + L"&zv.hbr=" +
         (config.productBrand.empty() ? std::wstring(L"unk") : config.productBrand);

    q += L"&";
    bool first = true;
    for (const auto& [name, value] : config.installedProducts) {
        if (!first) q += L"&";
        q += L"h." + name + L"=" + value;
        first = false;
    }
    config.queryString = q;
}

void CUrlBuilder::PrepareRequest(ZvLib_CConfigParamsLoader& config) const
{
    if (config.queryString.empty()) BuildQueryString(config);
    LowerAscii(config.extraQueryString);
    LowerAscii(config.queryString);
}
