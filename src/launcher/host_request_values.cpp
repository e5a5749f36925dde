#include "launcher/host_request_values.h"

namespace zv::launcher {

void ApplyHostRequestValues(ZvLib_CConfigParamsLoader& config, const std::wstring& utilityVersion,
                            const std::wstring& brand)
{
    config.productName = L"tandemvesk";
    config.productVersion = L"1.00";
    config.installedProducts[L"tandemix"] = utilityVersion.empty() ? kNotInstalledVersion : utilityVersion;
    config.hostProductOption = L"0";
    config.productBrand = brand;
    config.language = L"enu";
}

} // namespace zv::launcher
