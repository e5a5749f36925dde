// VeskLaunchTandemixApp.exe: the launcher process.
#include "launcher/launcher_app.h"
#include "updater/base/log.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The runtime's own split of the command line: asking the shell to split it would map the
// shell library for the whole idle life of the process.
std::vector<std::wstring> ArgumentsAfterProgram()
{
    std::vector<std::wstring> arguments;
    for (int i = 1; i < __argc && __wargv; ++i) arguments.emplace_back(__wargv[i]);
    return arguments;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        // The configured trace level, so the launcher's own lines before the updater exists show too.
        zv::Log().EnsureInitialised();
        zv::launcher::CVeskLaunchTandemixAppApp app(ArgumentsAfterProgram());
        return app.Run();
    } catch (...) {
        return 1;
    }
}
