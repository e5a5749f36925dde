// Feeds arbitrary bytes to the manifest loader as a downloaded manifest, then runs the
// standard selection. Checks what must hold for any input: kept installables are
// valid, their payloads stay inside the download folder, internal ids increase, and
// the selection returns only loaded items.
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "support/fake_machine/fake_machine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool InsideDownloadFolder(const std::wstring& path, const std::wstring& folder)
{
    if (path.compare(0, folder.size(), folder) != 0) return false;
    std::wstring rest = path.substr(folder.size());
    if (rest.find_first_of(L":/") != std::wstring::npos) return false;
    // No component may climb: "x..sig" is a file name, "..\\" is not.
    for (size_t start = 0;;) {
        size_t end = rest.find(L'\\', start);
        std::wstring part = rest.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (part == L".." || part == L"." || part.empty()) return false;
        if (end == std::wstring::npos) return true;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater(machine);
    if (updater.Initialize() != 1) std::abort();
    CUpdaterImp* imp = updater.Imp();
    ZvLib_CRequestGroupInfo* group = nullptr;
    if (!updater.CreateRequestGroupInfo(&group) || !group) std::abort();
    group->config.productAbbr = L"TVK";
    group->config.language = L"ENU";
    // Half the inputs run with an installed product, so the version test runs too.
    if (size % 2) group->config.installedProducts[L"tandemix"] = L"1.0";

    imp->LoadManifestUtf8(reinterpret_cast<const char*>(data), size, L"fuzz.man.xml", group->config);

    const std::wstring folder = imp->GetTempDir() + L"zv\\";
    int lastId = 0;
    for (const auto& item : imp->items) {
        if (item->internalId <= lastId) std::abort();
        lastId = item->internalId;
        if (auto* app = dynamic_cast<const ZvLib_CItemInstallableApp*>(item.get())) {
            if (!app->IsValid()) std::abort();
            if (!InsideDownloadFolder(std::wstring(app->localPayloadPath), folder) || !InsideDownloadFolder(std::wstring(app->localSigPath), folder)) {
                std::fprintf(stderr, "payload path outside the download folder: %ls\n", app->localPayloadPath.c_str());
                std::abort();
            }
        }
    }
    std::vector<ZvLib_CItemBase*> selected;
    imp->GetListOfSelectedInstallables(selected);
    for (const ZvLib_CItemBase* item : selected) {
        bool found = false;
        for (const auto& owned : imp->items) found = found || owned.get() == item;
        if (!found || item->IsContainer()) std::abort();
    }
    return 0;
}
