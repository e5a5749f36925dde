#pragma once
// What the launcher asks the update server for: its OS rows and host values, shared by
// the commands that print or lay out those addresses.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zv::tool {

struct OsChoice {
    const wchar_t* name;
    uint32_t major, minor;
    uint8_t productType;
};

// The OS texts the request uses, each with a version that classifies as it.
const std::vector<OsChoice>& OsChoices();
const OsChoice* FindOs(const std::wstring& code);

struct LauncherRequest {
    std::wstring payload, manifest, query;
};

// Loads the product configuration with the launcher's host values and builds its
// addresses on the machine in place. False (error filled) when the file does not load.
bool BuildLauncherRequest(const std::wstring& productXml, const std::wstring& brand,
                          const std::vector<std::pair<std::wstring, std::wstring>>& installed, LauncherRequest& out,
                          std::wstring& error);

} // namespace zv::tool
