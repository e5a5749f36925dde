// Stands in while the update library's facade lacks the check, download and install calls:
// the worker then has no library and every step reports 0.
#include "launcher/update_steps.h"

#include "updater/base/log.h"

namespace zv::launcher {

std::unique_ptr<IUpdateSteps> CreateLibraryUpdateSteps()
{
    zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: this build has no update library steps");
    return nullptr;
}

} // namespace zv::launcher
