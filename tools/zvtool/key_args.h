#pragma once
// Arguments of the signing commands: "--key PATH" and file names, in any order.
#include "command.h"

#include <string>
#include <vector>

namespace zv::tool {

struct KeyArgs {
    std::wstring key;
    std::vector<std::wstring> files;
};

// Fills out; on an unknown "--" option prints the usage error and returns its exit code,
// else returns 0.
int ParseKeyArgs(const char* command, const Args& args, KeyArgs& out);

} // namespace zv::tool
