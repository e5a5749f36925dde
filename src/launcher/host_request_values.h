#pragma once
// The values the launcher's update requests carry as their host: one place for the
// launcher itself and for the tools that show or lay out what it will ask for.
#include "updater/config/config_params.h"

#include <string>

namespace zv::launcher {

inline constexpr wchar_t kMainBrand[] = L"quorvane";
inline constexpr wchar_t kRegionalBrand[] = L"tessaron";
// The utility's version when it is not installed.
inline constexpr wchar_t kNotInstalledVersion[] = L"0.00.00";

// Overwrites the host fields of a loaded product configuration: the launcher's product
// and version, the utility's installed version, the option, the brand and the language.
void ApplyHostRequestValues(ZvLib_CConfigParamsLoader& config, const std::wstring& utilityVersion,
                            const std::wstring& brand);

} // namespace zv::launcher
