#include "product_check.h"

#include "launcher/host_request_values.h"
#include "updater/core/request_group.h"
#include "updater/core/updater.h"

#include <cwchar>

namespace zv::tool {

int ParseProductCheckArgs(const char* command, const Args& args, ProductCheckOptions& o)
{
    bool haveXml = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value, name, version;
        if (a == L"--installed" || a == L"--trace") {
            if (!TakeValue(args, i, value)) return UsageError(command, a + L" needs a value");
        }
        if (a == L"--installed") {
            if (!SplitNameValue(value, name, version))
                return UsageError(command, L"--installed wants NAME=VERSION, got '" + value + L"'");
            o.installed.emplace_back(name, version);
        } else if (a == L"--trace") {
            wchar_t* end = nullptr;
            long level = std::wcstol(value.c_str(), &end, 10);
            if (value.empty() || *end || level < 0 || level > 6) return UsageError(command, L"--trace takes 0..6");
            o.trace = static_cast<int>(level);
        } else if (IsOption(a)) {
            return UsageError(command, L"unknown option '" + a + L"'");
        } else if (haveXml) {
            return UsageError(command, L"one product file only");
        } else {
            o.productXml = a;
            haveXml = true;
        }
    }
    if (!haveXml) return UsageError(command, L"missing PRODUCT_XML");
    return 0;
}

ZvLib_CRequestGroupInfo* PrepareCheckGroup(ZvLib_CUpdater& updater, const ProductCheckOptions& o)
{
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!updater.CreateRequestGroupInfo(&group) || !group) return nullptr;
    group->config.LoadConfigXml(o.productXml, L"2.00");
    zv::launcher::ApplyHostRequestValues(group->config, L"", zv::launcher::kMainBrand);
    for (const auto& [name, version] : o.installed) group->config.installedProducts[name] = version;
    return group;
}

} // namespace zv::tool
