#include "key_args.h"

namespace zvtool {

int ParseKeyArgs(const char* command, const Args& args, KeyArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--key" && i + 1 < args.size())
            out.key = args[++i];
        else if (args[i].rfind(L"--", 0) == 0)
            return UsageError(command, L"unexpected argument '" + args[i] + L"'");
        else
            out.files.push_back(args[i]);
    }
    return 0;
}

} // namespace zvtool
