// zvtool check: the launcher's check step run for real against the server of a product
// configuration file: request group, configuration, the host's values, then the
// manifest's retrieval, authentication and load, and the standard selection.
#include "command.h"
#include "selection_lines.h"

#include "launcher/host_request_values.h"
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"

#include <cwchar>
#include <utility>
#include <vector>

namespace {

constexpr const char* kName = "check";

struct Options {
    std::wstring productXml;
    std::vector<std::pair<std::wstring, std::wstring>> installed;
    int trace = 0;
};

// 0 when the arguments are usable, else the usage error's exit code.
int Parse(const zv::tool::Args& args, Options& o)
{
    bool haveXml = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value, name, text;
        if (a == L"--installed" || a == L"--trace") {
            if (!zv::tool::TakeValue(args, i, value)) return zv::tool::UsageError(kName, a + L" needs a value");
        }
        if (a == L"--installed") {
            if (!zv::tool::SplitNameValue(value, name, text)) return zv::tool::UsageError(kName, L"--installed wants NAME=VERSION, got '" + value + L"'");
            o.installed.emplace_back(name, text);
        } else if (a == L"--trace") {
            wchar_t* end = nullptr;
            long n = std::wcstol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 0 || n > 6) return zv::tool::UsageError(kName, L"--trace takes 0..6");
            o.trace = static_cast<int>(n);
        } else if (zv::tool::IsOption(a)) {
            return zv::tool::UsageError(kName, L"unknown option '" + a + L"'");
        } else if (haveXml) {
            return zv::tool::UsageError(kName, L"one product file only");
        } else {
            o.productXml = a;
            haveXml = true;
        }
    }
    if (!haveXml) return zv::tool::UsageError(kName, L"missing PRODUCT_XML");
    return 0;
}

int Check(const Options& o)
{
    ZvLib_CUpdater updater(ZvLib_CUpdater::ServerAddressOf(o.productXml));
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!updater.Initialize() || !updater.CreateRequestGroupInfo(&group) || !group) {
        zv::tool::Err(L"zvtool check: the updater could not be initialised (is TEMP set?)\n");
        return 1;
    }
    // The values the launcher's check step gives.
    group->config.LoadConfigXml(o.productXml, L"2.00");
    zv::launcher::ApplyHostRequestValues(group->config, L"", zv::launcher::kMainBrand);
    for (const auto& [name, version] : o.installed) group->config.installedProducts[name] = version;

    zv::tool::Out(L"manifest " + updater.Imp()->ManifestUrl(group->id) + L"\n");
    int result = updater.CheckForInstallables2(1, 0, group->id);
    zv::tool::Out(result ? L"outcome loaded\n" : L"outcome failed\n");
    zv::tool::Out(zv::tool::SelectionLines(*updater.Imp()));
    return result ? 0 : 1;
}

int Run(const zv::tool::Args& args)
{
    Options o;
    if (int usage = Parse(args, o)) return usage;
    zv::tool::TraceToStderr(o.trace);
    int code = Check(o);
    zv::tool::StopTrace();
    return code;
}

} // namespace

ZVTOOL_COMMAND(check, kName, "PRODUCT_XML [--installed NAME=VERSION]... [--trace LEVEL]",
               "fetch, authenticate and load the product's manifest as the launcher does; prints 'manifest URL', "
               "'outcome loaded|failed' and the 'selected ...' lines (exit 0 loaded, 1 failed, 2 usage)",
               Run);
