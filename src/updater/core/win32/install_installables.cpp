// The install pass: each selected installable authenticated again and applied, in order,
// until one fails.
#include "updater/base/log.h"
#include "updater/core/install_result.h"
#include "updater/core/updater_imp.h"
#include "updater/transfer/apply_payload.h"
#include "updater/transfer/install_events.h"
#include "updater/transfer/payload_hold.h"

int CUpdaterImp::InstallInstallables(std::vector<ZvLib_CInstallResult>* results, ZvLib_IInstallEvents* sink)
{
    int result = 1;
    if (results) results->clear();
    std::vector<ZvLib_CItemBase*> selection;
    GetListOfSelectedInstallables(selection);
    const int n = static_cast<int>(selection.size());

    bool began = false;
    bool stop = false;
    int index = 0;
    for (ZvLib_CItemBase* entry : selection) {
        if (stop) break;
        if (!entry || !(entry->IsInstallableApp() || entry->IsSubcomponent())) continue;
        auto* app = dynamic_cast<ZvLib_CItemInstallableApp*>(entry);
        if (!app) continue;
        ++index;
        ZvLib_CInstallResult record;
        record.Reset();
        record.name = app->componentName;
        record.itemId = app->internalId;
        record.index = index;
        if (!began && sink) {
            sink->OnInstallGroupBegin(n, 0, 0, 0);
            began = true;
        }

        stop = true;
        // The payload stays held from its check until the apply has started it.
        zv::PayloadHold hold;
        result = AuthenticatePayload_DeleteIfFail(*app, &hold);
        if (result) {
            ZvLib_CApplyPayload apply(42, std::wstring(app->localPayloadPath), std::wstring(app->commandLineArgs), std::wstring(app->localSigPath),
                                      std::wstring(app->publicKeyPath), app->isRunCommand, std::wstring(app->destPath),
                                      std::wstring(app->destFilename), app->fromManifest, app->requiresElevation, nullptr);
            apply.HoldPayload(std::move(hold));
            int code = -1;
            const int outcome = apply.RunLaunchAndHold2(kInstallCancelEventName, code, nullptr);
            result = outcome == kApplyCompleted ? 1 : 0;
            record.applied = 1;
            record.succeeded = result;
            record.resultCode = code;
            if (result) stop = false;
            zv::Log().Log(zv::ZVLOG_INFO1, L"ZvLib: --- CUpdaterImp::InstallInstallables: '%s' applied: outcome %d, result code %d\n",
                        app->componentName.c_str(), outcome, code);
        }
        if (results) results->push_back(record);
    }
    if (began) sink->OnInstallGroupEnd(0);
    return result;
}
