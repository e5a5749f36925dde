// VeskLaunchTandemixApp.exe: the launcher process.
#include "launcher/launcher_app.h"
#include "updater/base/log.h"

#include <shellapi.h>
#include <windows.h>

namespace {

std::vector<std::wstring> ArgumentsAfterProgram()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
    ::LocalFree(argv);
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
