#include "launcher_request.h"

#include "launcher/host_request_values.h"
#include "updater/config/config_params.h"
#include "updater/config/url_builder.h"

namespace zv::tool {

const std::vector<OsChoice>& OsChoices()
{
    static const std::vector<OsChoice> choices = {
        {L"2k", 5, 0, 1},  {L"xp", 5, 1, 1},  {L"2k3", 5, 2, 3}, {L"vi", 6, 0, 1},  {L"2k8", 6, 0, 3},
        {L"_w7", 6, 1, 1}, {L"8r2", 6, 1, 3}, {L"_w8", 6, 2, 1}, {L"s12", 6, 2, 3}, {L"unk", 6, 3, 1},
    };
    return choices;
}

const OsChoice* FindOs(const std::wstring& code)
{
    for (const auto& c : OsChoices()) {
        std::wstring name = c.name;
        // Accept the padded form too ("_xp", "_vi", "_2k") and "w7"/"w8".
        if (code == name || L"_" + code == name || code == L"_" + name) return &c;
    }
    return nullptr;
}

bool BuildLauncherRequest(const std::wstring& productXml, const std::wstring& brand,
                          const std::vector<std::pair<std::wstring, std::wstring>>& installed, LauncherRequest& out,
                          std::wstring& error)
{
    ZvLib_CConfigParamsLoader config;
    if (!config.LoadConfigXml(productXml, L"2.00")) {
        error = L"cannot load product configuration file " + productXml;
        return false;
    }
    // The launcher's host values.
    zv::launcher::ApplyHostRequestValues(config, L"", brand);
    for (const auto& [name, version] : installed) config.installedProducts[name] = version;

    CUrlBuilder builder;
    builder.PrepareRequest(config);
    out.payload = builder.BuildPayloadPath(config, config.productVersion, 1);
    out.manifest = builder.BuildManifestPath(out.payload);
    out.query = config.queryString;
    return true;
}

} // namespace zv::tool
