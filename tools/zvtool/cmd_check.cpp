// zvtool check: the launcher's check step run for real against the server of a product
// configuration file: request group, configuration, the host's values, then the
// manifest's retrieval, authentication and load, and the standard selection.
#include "command.h"
#include "product_check.h"
#include "selection_lines.h"

#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"


namespace {

constexpr const char* kName = "check";

int Check(const zv::tool::ProductCheckOptions& o)
{
    ZvLib_CUpdater updater(ZvLib_CUpdater::ServerAddressOf(o.productXml));
    ZvLib_CRequestGroupInfo* group = updater.Initialize() ? zv::tool::PrepareCheckGroup(updater, o) : nullptr;
    if (!group) {
        zv::tool::Err(L"zvtool check: the updater could not be initialised (is TEMP set?)\n");
        return 1;
    }

    zv::tool::Out(L"manifest " + updater.Imp()->ManifestUrl(group->id) + L"\n");
    int result = updater.CheckForInstallables2(1, 0, group->id);
    zv::tool::Out(result ? L"outcome loaded\n" : L"outcome failed\n");
    zv::tool::Out(zv::tool::SelectionLines(*updater.Imp()));
    return result ? 0 : 1;
}

int Run(const zv::tool::Args& args)
{
    zv::tool::ProductCheckOptions o;
    if (int usage = zv::tool::ParseProductCheckArgs(kName, args, o)) return usage;
    zv::tool::TraceToStderr(o.trace);
    int code = Check(o);
    zv::tool::StopTrace();
    return code;
}

} // namespace

ZVTOOL_COMMAND(check, kName, "PRODUCT_XML [--installed NAME=VERSION]... [--trace LEVEL]",
               "fetch, authenticate and load the product's manifest as the launcher does; prints 'manifest URL', "
               "'outcome loaded|failed' and the 'selected ...' lines (exit 0 loaded, 1 failed, 2 usage)",
               Run);
