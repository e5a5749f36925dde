#pragma once
// What the commands that run the launcher's check against a product file share: their
// arguments and the request group the check uses.
#include "command.h"

#include <string>
#include <utility>
#include <vector>

class ZvLib_CUpdater;
class ZvLib_CRequestGroupInfo;

namespace zv::tool {

struct ProductCheckOptions {
    std::wstring productXml;
    std::vector<std::pair<std::wstring, std::wstring>> installed;
    int trace = 0;
};

// PRODUCT_XML [--installed NAME=VERSION]... [--trace LEVEL]: 0 when usable, else the
// usage error's exit code (reported under the command's name).
int ParseProductCheckArgs(const char* command, const Args& args, ProductCheckOptions& o);

// A new request group with the values the launcher's check step gives: the product
// file (defaults stand when it fails, as for the launcher), the host's values, the
// installed versions named. Null when the group could not be made.
ZvLib_CRequestGroupInfo* PrepareCheckGroup(ZvLib_CUpdater& updater, const ProductCheckOptions& o);

} // namespace zv::tool
