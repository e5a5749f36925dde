// Parsing an "Application" (or the application part of a "Subcomponent") into an
// installable item, with its payload's local paths.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/payload_paths.h"
#include "updater/core/updater_imp.h"

#include "updater/config/xml_document.h"
#include "updater/transfer/log.h"
#include "updater/transfer/text_helpers.h"

using zv::core::Content;
using zv::core::EnteredChild;
using zv::core::IntAttribute;
using zv::core::ReadChild;

namespace {

constexpr const wchar_t* kAppPosition = L"zv.application";

enum class ApplyKind { None, Copy, Run };

struct ApplyAction {
    bool present = false;
    ApplyKind kind = ApplyKind::None;
    int requiresElevation = 0;
    std::wstring destFilename, destPath, commandLine;
};

} // namespace

std::unique_ptr<ZvLib_CItemInstallableApp> CUpdaterImp::ParseApplication(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId)
{
    auto app = std::make_unique<ZvLib_CItemInstallableApp>();
    if (!ParseApplicationInto(doc, *app, productAbbr, requestGroupId)) return nullptr;
    return app;
}

bool CUpdaterImp::ParseApplicationInto(CXmlDocument& doc, ZvLib_CItemInstallableApp& item, const std::wstring& productAbbr, int requestGroupId)
{
    item.productGUID = doc.GetAttribute(L"productGUID");
    item.manifestId = IntAttribute(doc, L"id");
    item.componentName = doc.GetAttribute(L"componentName");
    item.componentVersion = doc.GetAttribute(L"componentVersion");
    item.note = doc.GetAttribute(L"note");
    item.isBonusItem = IntAttribute(doc, L"isBonusItem");
    item.isVisible = IntAttribute(doc, L"isVisible");
    item.isSelected = IntAttribute(doc, L"isSelected");
    item.defaultSelected = item.isSelected;
    item.isUnselectable = IntAttribute(doc, L"isUnselectable");
    item.category = zv::core::CategoryOf(doc.GetAttribute(L"category"));
    item.dlSizeMB = IntAttribute(doc, L"dlSizeMB");
    item.dlSize = IntAttribute(doc, L"dlSize");
    item.requiredSpaceMB = IntAttribute(doc, L"requiredSpaceMB");
    item.estInstallTimeSecs = IntAttribute(doc, L"estInstallTimeSecs");
    item.estInstallTimeMins = IntAttribute(doc, L"estInstallTimeMins");
    item.isRebootLikelyRequired = IntAttribute(doc, L"isRebootLikelyRequired");
    item.isReplacementInstaller = IntAttribute(doc, L"isReplacementInstaller");
    item.s1 = doc.GetAttribute(L"s1");
    item.s2 = doc.GetAttribute(L"s2");
    item.a1 = doc.GetAttribute(L"a1");
    item.a2 = doc.GetAttribute(L"a2");

    const std::wstring language = Lang(requestGroupId);
    doc.SavePosition(kAppPosition);
    ReadChild(doc, kAppPosition, L"DisplayNameId", Content::Raw, item.displayName);
    LookupDisplayString(language, item.displayName);
    ReadChild(doc, kAppPosition, L"DescriptionId", Content::Raw, item.description);
    LookupDisplayString(language, item.description);
    // Absent, these are empty: the "dummy" placeholder must never reach a host or a path.
    ReadChild(doc, kAppPosition, L"DesiredMsiFilename", Content::Raw, item.desiredMsiFilename);
    ReadChild(doc, kAppPosition, L"UrlQs", Content::Text, item.urlQs);
    ReadChild(doc, kAppPosition, L"PackageInfo", Content::Text, item.packageInfo);
    ReadChild(doc, kAppPosition, L"E1", Content::Raw, item.e1);
    ReadChild(doc, kAppPosition, L"E2", Content::Raw, item.e2);

    std::wstring text;
    ReadChild(doc, kAppPosition, L"Url", Content::Text, text);
    if (text.empty()) {
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib: <Url> tag expression is empty.\n");
        item.url.clear();
    } else {
        QuoteIfNeeded(text);
        EvaluateToText(text, item.url);
    }

    ReadChild(doc, kAppPosition, L"CommandLineArgs", Content::Text, text);
    std::wstring args;
    EvaluateToText(text, args);
    item.commandLineArgs = args.empty() ? text : args;

    bool elevationGiven = ReadChild(doc, kAppPosition, L"RequiresElevation", Content::Text, text);
    item.requiresElevation = elevationGiven && zv::core::EqualsNoCase(text, L"no") ? 0 : 1;

    ReadChild(doc, kAppPosition, L"MinRequirementsIds", Content::Text, text);
    ParseIntList(text, L',', item.minRequirementIds);

    doc.RestorePosition(kAppPosition);
    if (doc.FindChildElement(L"EventExpressions")) {
        EnteredChild events(doc);
        std::wstring name;
        while (doc.FindChildElement(nullptr)) {
            EnteredChild event(doc);
            doc.GetName(name);
            item.eventExpressions.Set(name, doc.GetInnerMarkup());
        }
    }

    doc.RestorePosition(kAppPosition);
    if (doc.FindChildElement(L"DescriptionMore")) {
        EnteredChild more(doc);
        constexpr const wchar_t* kMorePosition = L"zv.more";
        if (doc.FindChildElement(L"MoreTextId")) {
            ZvLib_CDescriptionMore record;
            {
                EnteredChild id(doc);
                record.moreText = doc.GetInnerMarkup();
            }
            doc.SavePosition(kMorePosition);
            bool found = false;
            if (doc.FindChildElement(L"Url")) {
                EnteredChild link(doc);
                std::wstring expression = doc.GetInnerMarkup();
                EvaluateToText(expression, record.url);
                found = true;
            } else if (doc.RestorePosition(kMorePosition) && doc.FindChildElement(L"DialogId")) {
                EnteredChild dialog(doc);
                record.dialogId = doc.GetInnerMarkup();
                found = true;
            }
            if (found) {
                LookupDisplayString(language, record.moreText);
                item.descriptionMore = std::move(record);
            }
        }
    }

    ApplyAction apply;
    doc.RestorePosition(kAppPosition);
    if (doc.FindChildElement(L"ApplyAction")) {
        EnteredChild action(doc);
        constexpr const wchar_t* kActionPosition = L"zv.apply";
        apply.present = true;
        doc.SavePosition(kActionPosition);
        ReadChild(doc, kActionPosition, L"RequiresElevation", Content::Text, text);
        apply.requiresElevation = text == L"1" ? 1 : 0;
        doc.RestorePosition(kActionPosition);
        bool copy = doc.FindChildElement(L"CopyCommand");
        doc.RestorePosition(kActionPosition);
        bool run = doc.FindChildElement(L"RunCommand");
        if (copy && run) ZvLog().Log(ZVLOG_ERROR, L"Error, manifest specifies both a CopyCommand and a RunCommand.\n");
        if (!copy && !run) ZvLog().Log(ZVLOG_ERROR, L"Error, manifest specifies ApplyAction but neither CopyCommand nor RunCommand.\n");
        if (copy || run) {
            apply.kind = copy ? ApplyKind::Copy : ApplyKind::Run;
            doc.RestorePosition(kActionPosition);
            doc.FindChildElement(copy ? L"CopyCommand" : L"RunCommand");
            EnteredChild command(doc);
            constexpr const wchar_t* kCommandPosition = L"zv.command";
            doc.SavePosition(kCommandPosition);
            auto evaluated = [&](const wchar_t* name, std::wstring& out) {
                ReadChild(doc, kCommandPosition, name, Content::Text, text);
                EvaluateToText(text, out);
            };
            evaluated(L"DestFilename", apply.destFilename);
            if (copy) evaluated(L"DestPath", apply.destPath);
            else evaluated(L"CommandLine", apply.commandLine);
            doc.RestorePosition(kCommandPosition);
        }
    }
    doc.RestorePosition(kAppPosition);

    item.internalId = -1;
    item.fromManifest = 1;
    item.hasApplyAction = apply.present ? 1 : 0;
    item.requestGroupId = requestGroupId;
    item.productAbbr = productAbbr;
    item.publicKeyPath = publicKeyPath;

    if (!item.IsBasicValid()) return false;

    // Names from the manifest become file names in the download folder, nothing more.
    const std::wstring urlName = zv::core::UrlFileName(item.url);
    const std::wstring desired = zv::core::Trim(item.desiredMsiFilename);
    for (const std::wstring* name : {&urlName, &desired, static_cast<const std::wstring*>(&apply.destFilename)}) {
        if (zv::core::IsPlainFileName(*name)) continue;
        ZvLog().Log(ZVLOG_ERROR, L"ZvLib ERROR: Item %d: file name '%s' would leave the download folder, item dropped.\n", item.manifestId,
                    name->c_str());
        return false;
    }

    item.sigUrl = item.url + L".sig";
    item.localPayloadPath = zv::core::LocalPayloadPath(tempDir, productAbbr, item.manifestId, {desired, item.url, apply.destFilename});
    item.localSigPath = item.localPayloadPath + L".sig";
    if (apply.kind != ApplyKind::None) {
        item.isRunCommand = apply.kind == ApplyKind::Run ? 1 : 0;
        item.requiresElevation = apply.requiresElevation;
        item.destFilename = apply.destFilename.empty() ? urlName : apply.destFilename;
        if (apply.kind == ApplyKind::Copy) item.destPath = apply.destPath;
        else item.commandLine = apply.commandLine;
    }
    return item.IsValid() != 0;
}
