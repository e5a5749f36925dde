#include "key_args.h"

namespace zv::tool {

int ParseKeyArgs(const char* command, const Args& args, KeyArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--key" && TakeValue(args, i, out.key))
            continue;
        if (IsOption(args[i]))
            return UsageError(command, L"unexpected argument '" + args[i] + L"'");
        out.files.push_back(args[i]);
    }
    return 0;
}

} // namespace zv::tool
