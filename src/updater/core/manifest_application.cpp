// Parsing an "Application" (or the application part of a "Subcomponent") into an
// installable item, with its payload's local paths.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/payload_paths.h"
#include "updater/core/updater_imp.h"

#include "updater/config/xml_document.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

using zv::core::EnteredChild;
using zv::core::SameName;
using namespace std::string_view_literals;

namespace {

constexpr const wchar_t* kAppPosition = zv::core::position::kApplication;

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
    auto app = std::make_unique<ZvLib_CItemInstallableApp>(ZvLib_CItemInstallableApp::ForParsing{}, &m_itemTexts);
    if (!ParseApplicationFields(doc, *app, productAbbr, requestGroupId, nullptr)) return nullptr;
    return app;
}

bool CUpdaterImp::ParseApplicationInto(CXmlDocument& doc, ZvLib_CItemInstallableApp& item, const std::wstring& productAbbr, int requestGroupId)
{
    return ParseApplicationFields(doc, item, productAbbr, requestGroupId, nullptr);
}

namespace {

// The texts of an application's children that are read before they are evaluated or
// split. Kept between items (per thread), so that their storage is reused.
struct ChildTexts {
    std::wstring url, args, elevation, requirements;
    bool haveElevation = false, haveEvents = false, haveMore = false;
    std::wstring moreTextId, moreUrl, moreDialogId;
    bool moreHasUrl = false, moreHasDialog = false;
    std::wstring destFilename, destPath, commandLine, actionElevation;
    std::wstring displayNameId, descriptionId; // as written, before they are resolved
    std::wstring scratch;

    void Clear()
    {
        for (std::wstring* t : {&displayNameId, &descriptionId, &url, &args, &elevation, &requirements, &moreTextId, &moreUrl, &moreDialogId, &destFilename, &destPath, &commandLine})
            t->clear();
        haveElevation = haveEvents = haveMore = moreHasUrl = moreHasDialog = false;
    }
};

// The children an application reads; the rest are skipped.
enum class Child {
    Other,
    DisplayNameId,
    DescriptionId,
    DesiredMsiFilename,
    UrlQs,
    PackageInfo,
    E1,
    E2,
    Url,
    CommandLineArgs,
    MinRequirementsIds,
    DependsUponSubcomponentIds,
    RequiresElevation,
    EventExpressions,
    DescriptionMore,
    ApplyAction,
};

// Every item has a handful of children: the first character leaves one to three names
// to compare, on the document's own characters.
Child ChildOf(std::wstring_view name)
{
    if (name.empty()) return Child::Other;
    switch (name[0]) {
    case L'D':
        if (SameName(name, L"DisplayNameId"sv)) return Child::DisplayNameId;
        if (SameName(name, L"DescriptionId"sv)) return Child::DescriptionId;
        if (SameName(name, L"DesiredMsiFilename"sv)) return Child::DesiredMsiFilename;
        if (SameName(name, L"DependsUponSubcomponentIds"sv)) return Child::DependsUponSubcomponentIds;
        if (SameName(name, L"DescriptionMore"sv)) return Child::DescriptionMore;
        break;
    case L'U':
        if (SameName(name, L"Url"sv)) return Child::Url;
        if (SameName(name, L"UrlQs"sv)) return Child::UrlQs;
        break;
    case L'P':
        if (SameName(name, L"PackageInfo"sv)) return Child::PackageInfo;
        break;
    case L'E':
        if (SameName(name, L"E1"sv)) return Child::E1;
        if (SameName(name, L"E2"sv)) return Child::E2;
        if (SameName(name, L"EventExpressions"sv)) return Child::EventExpressions;
        break;
    case L'C':
        if (SameName(name, L"CommandLineArgs"sv)) return Child::CommandLineArgs;
        break;
    case L'M':
        if (SameName(name, L"MinRequirementsIds"sv)) return Child::MinRequirementsIds;
        break;
    case L'R':
        if (SameName(name, L"RequiresElevation"sv)) return Child::RequiresElevation;
        break;
    case L'A':
        if (SameName(name, L"ApplyAction"sv)) return Child::ApplyAction;
        break;
    default:
        break;
    }
    return Child::Other;
}

// The attributes an application reads.
enum class Attribute : unsigned {
    Other,
    ProductGUID,
    Id,
    ComponentName,
    ComponentVersion,
    Note,
    IsBonusItem,
    IsVisible,
    IsSelected,
    IsUnselectable,
    Category,
    DlSizeMB,
    DlSize,
    RequiredSpaceMB,
    EstInstallTimeSecs,
    EstInstallTimeMins,
    IsRebootLikelyRequired,
    IsReplacementInstaller,
    S1,
    S2,
    A1,
    A2,
};

Attribute AttributeOf(std::wstring_view name)
{
    if (name.empty()) return Attribute::Other;
    switch (name[0]) {
    case L'i':
        if (SameName(name, L"id"sv)) return Attribute::Id;
        if (SameName(name, L"isSelected"sv)) return Attribute::IsSelected;
        if (SameName(name, L"isUnselectable"sv)) return Attribute::IsUnselectable;
        if (SameName(name, L"isVisible"sv)) return Attribute::IsVisible;
        if (SameName(name, L"isBonusItem"sv)) return Attribute::IsBonusItem;
        if (SameName(name, L"isRebootLikelyRequired"sv)) return Attribute::IsRebootLikelyRequired;
        if (SameName(name, L"isReplacementInstaller"sv)) return Attribute::IsReplacementInstaller;
        break;
    case L'p':
        if (SameName(name, L"productGUID"sv)) return Attribute::ProductGUID;
        break;
    case L'c':
        if (SameName(name, L"componentName"sv)) return Attribute::ComponentName;
        if (SameName(name, L"componentVersion"sv)) return Attribute::ComponentVersion;
        if (SameName(name, L"category"sv)) return Attribute::Category;
        break;
    case L'n':
        if (SameName(name, L"note"sv)) return Attribute::Note;
        break;
    case L'd':
        if (SameName(name, L"dlSizeMB"sv)) return Attribute::DlSizeMB;
        if (SameName(name, L"dlSize"sv)) return Attribute::DlSize;
        break;
    case L'r':
        if (SameName(name, L"requiredSpaceMB"sv)) return Attribute::RequiredSpaceMB;
        break;
    case L'e':
        if (SameName(name, L"estInstallTimeMins"sv)) return Attribute::EstInstallTimeMins;
        if (SameName(name, L"estInstallTimeSecs"sv)) return Attribute::EstInstallTimeSecs;
        break;
    case L's':
        if (SameName(name, L"s1"sv)) return Attribute::S1;
        if (SameName(name, L"s2"sv)) return Attribute::S2;
        break;
    case L'a':
        if (SameName(name, L"a1"sv)) return Attribute::A1;
        if (SameName(name, L"a2"sv)) return Attribute::A2;
        break;
    default:
        break;
    }
    return Attribute::Other;
}

// One pass over the start tag's attributes instead of a search for each of twenty names,
// most of them absent: those stay empty or 0, and the first of a repeated name counts.
void ReadApplicationAttributes(const zv::core::ElementAttributes& attributes, ZvLib_CItemInstallableApp& item, std::wstring& scratch)
{
    using zv::core::ElementAttributes;
    for (std::pmr::wstring* text : {&item.productGUID, &item.componentName, &item.componentVersion, &item.note, &item.s1, &item.s2, &item.a1, &item.a2})
        text->clear();
    item.manifestId = item.isBonusItem = item.isVisible = item.isSelected = item.isUnselectable = 0;
    item.dlSizeMB = item.dlSize = item.requiredSpaceMB = item.estInstallTimeSecs = item.estInstallTimeMins = 0;
    item.isRebootLikelyRequired = item.isReplacementInstaller = 0;
    static const int kNoCategory = zv::core::CategoryOf(std::wstring_view());
    item.category = kNoCategory;
    unsigned long seen = 0;
    for (size_t i = 0; i < attributes.Count(); ++i) {
        const Attribute attribute = AttributeOf(attributes[i].name);
        const unsigned long bit = 1ul << static_cast<unsigned>(attribute);
        if (attribute == Attribute::Other || (seen & bit)) continue;
        seen |= bit;
        const std::wstring_view raw = attributes[i].rawValue;
        switch (attribute) {
        case Attribute::ProductGUID: ElementAttributes::TextOf(raw, item.productGUID); break;
        case Attribute::Id: item.manifestId = ElementAttributes::IntOf(raw); break;
        case Attribute::ComponentName: ElementAttributes::TextOf(raw, item.componentName); break;
        case Attribute::ComponentVersion: ElementAttributes::TextOf(raw, item.componentVersion); break;
        case Attribute::Note: ElementAttributes::TextOf(raw, item.note); break;
        case Attribute::IsBonusItem: item.isBonusItem = ElementAttributes::IntOf(raw); break;
        case Attribute::IsVisible: item.isVisible = ElementAttributes::IntOf(raw); break;
        case Attribute::IsSelected: item.isSelected = ElementAttributes::IntOf(raw); break;
        case Attribute::IsUnselectable: item.isUnselectable = ElementAttributes::IntOf(raw); break;
        case Attribute::Category:
            CXmlDocument::DecodeAttributeValue(raw, scratch);
            item.category = zv::core::CategoryOf(scratch);
            break;
        case Attribute::DlSizeMB: item.dlSizeMB = ElementAttributes::IntOf(raw); break;
        case Attribute::DlSize: item.dlSize = ElementAttributes::IntOf(raw); break;
        case Attribute::RequiredSpaceMB: item.requiredSpaceMB = ElementAttributes::IntOf(raw); break;
        case Attribute::EstInstallTimeSecs: item.estInstallTimeSecs = ElementAttributes::IntOf(raw); break;
        case Attribute::EstInstallTimeMins: item.estInstallTimeMins = ElementAttributes::IntOf(raw); break;
        case Attribute::IsRebootLikelyRequired: item.isRebootLikelyRequired = ElementAttributes::IntOf(raw); break;
        case Attribute::IsReplacementInstaller: item.isReplacementInstaller = ElementAttributes::IntOf(raw); break;
        case Attribute::S1: ElementAttributes::TextOf(raw, item.s1); break;
        case Attribute::S2: ElementAttributes::TextOf(raw, item.s2); break;
        case Attribute::A1: ElementAttributes::TextOf(raw, item.a1); break;
        case Attribute::A2: ElementAttributes::TextOf(raw, item.a2); break;
        case Attribute::Other: break;
        }
    }
    item.defaultSelected = item.isSelected;
}

// One command's texts, each the last of its name: DestFilename and DestPath (a copy) or
// CommandLine (a run).
void ReadCommand(CXmlDocument& doc, bool copy, ChildTexts& c)
{
    c.destFilename.clear();
    std::wstring& second = copy ? c.destPath : c.commandLine;
    second.clear();
    const std::wstring_view secondName = copy ? L"DestPath"sv : L"CommandLine"sv;
    while (doc.FindChildElement(nullptr)) {
        EnteredChild field(doc);
        const std::wstring_view name = doc.GetNameView();
        if (SameName(name, L"DestFilename"sv)) zv::core::ReadText(doc, c.destFilename);
        else if (SameName(name, secondName)) zv::core::ReadText(doc, second);
    }
}

// An "ApplyAction" in one pass over its children: the last RequiresElevation counts, and
// the first CopyCommand, or without one the first RunCommand, is the command.
void ReadApplyAction(CXmlDocument& doc, ChildTexts& c, ApplyAction& apply)
{
    bool copy = false, run = false;
    c.actionElevation.clear();
    while (doc.FindChildElement(nullptr)) {
        EnteredChild child(doc);
        const std::wstring_view name = doc.GetNameView();
        if (SameName(name, L"RequiresElevation"sv)) {
            zv::core::ReadText(doc, c.actionElevation);
        } else if (SameName(name, L"CopyCommand"sv)) {
            if (!copy) ReadCommand(doc, true, c);
            copy = true;
        } else if (SameName(name, L"RunCommand"sv)) {
            if (!copy && !run) ReadCommand(doc, false, c);
            run = true;
        }
    }
    apply.requiresElevation = c.actionElevation == L"1"sv ? 1 : 0;
    if (copy && run) zv::Log().Log(zv::ZVLOG_ERROR, L"Error, manifest specifies both a CopyCommand and a RunCommand.\n");
    if (!copy && !run) zv::Log().Log(zv::ZVLOG_ERROR, L"Error, manifest specifies ApplyAction but neither CopyCommand nor RunCommand.\n");
    if (copy || run) apply.kind = copy ? ApplyKind::Copy : ApplyKind::Run;
}

void AssignView(std::pmr::wstring& out, std::wstring_view text)
{
    out.assign(text.data(), text.size());
}

} // namespace

bool CUpdaterImp::ParseApplicationFields(CXmlDocument& doc, ZvLib_CItemInstallableApp& item, const std::wstring& productAbbr, int requestGroupId,
                                         SubcomponentTexts* sub)
{
    thread_local ChildTexts c;
    c.Clear();
    ReadApplicationAttributes(zv::core::ElementAttributes(doc), item, c.scratch);

    // One pass over the children, remembering what each holds; a repeated child's last
    // occurrence wins, except for the three elements that are read once.
    ApplyAction apply;
    item.displayName.clear();
    item.description.clear();
    item.desiredMsiFilename.clear(); // absent, these are empty: the "dummy" placeholder
    item.urlQs.clear();              // must never reach a host or a path
    item.packageInfo.clear();
    item.e1.clear();
    item.e2.clear();
    if (sub) {
        sub->dependsUpon.clear();
        sub->minRequirements.clear();
    }
    doc.SavePosition(kAppPosition);
    while (doc.FindChildElement(nullptr)) {
        EnteredChild child(doc);
        const Child kind = ChildOf(doc.GetNameView());
        if (kind == Child::DisplayNameId) doc.GetInnerMarkup(c.displayNameId);
        else if (kind == Child::DescriptionId) doc.GetInnerMarkup(c.descriptionId);
        else if (kind == Child::DesiredMsiFilename) AssignView(item.desiredMsiFilename, doc.GetInnerMarkupView());
        else if (kind == Child::UrlQs) zv::core::ReadText(doc, item.urlQs);
        else if (kind == Child::PackageInfo) zv::core::ReadText(doc, item.packageInfo);
        else if (kind == Child::E1) AssignView(item.e1, doc.GetInnerMarkupView());
        else if (kind == Child::E2) AssignView(item.e2, doc.GetInnerMarkupView());
        else if (kind == Child::Url) zv::core::ReadText(doc, c.url);
        else if (kind == Child::CommandLineArgs) zv::core::ReadText(doc, c.args);
        else if (kind == Child::MinRequirementsIds) {
            // A subcomponent's list is its raw content.
            if (sub) doc.GetInnerMarkup(sub->minRequirements);
            else zv::core::ReadText(doc, c.requirements);
        } else if (sub && kind == Child::DependsUponSubcomponentIds) doc.GetInnerMarkup(sub->dependsUpon);
        else if (kind == Child::RequiresElevation) {
            zv::core::ReadText(doc, c.elevation);
            c.haveElevation = true;
        } else if (kind == Child::EventExpressions && !c.haveEvents) {
            c.haveEvents = true;
            std::wstring event;
            while (doc.FindChildElement(nullptr)) {
                EnteredChild entry(doc);
                doc.GetName(event);
                item.eventExpressions.Set(event, doc.GetInnerMarkup());
            }
        } else if (kind == Child::DescriptionMore && !c.haveMore) {
            c.haveMore = true;
            if (doc.FindChildElement(L"MoreTextId")) {
                {
                    EnteredChild id(doc);
                    c.moreTextId = doc.GetInnerMarkup();
                }
                constexpr const wchar_t* kMorePosition = zv::core::position::kMore;
                doc.SavePosition(kMorePosition);
                if (doc.FindChildElement(L"Url")) {
                    EnteredChild link(doc);
                    c.moreUrl = doc.GetInnerMarkup();
                    c.moreHasUrl = true;
                } else if (doc.RestorePosition(kMorePosition) && doc.FindChildElement(L"DialogId")) {
                    EnteredChild dialog(doc);
                    c.moreDialogId = doc.GetInnerMarkup();
                    c.moreHasDialog = true;
                }
            }
        } else if (kind == Child::ApplyAction && !apply.present) {
            apply.present = true;
            ReadApplyAction(doc, c, apply);
        }
    }
    doc.RestorePosition(kAppPosition);

    // Resolution and evaluation, in the order the texts are documented.
    // The group's own text, not a copy per item; Lang reports a missing group.
    const ZvLib_CRequestGroupInfo* group = FindRequestGroupInfo(requestGroupId);
    std::wstring noGroup;
    const std::wstring& language = group ? group->config.language : (noGroup = Lang(requestGroupId));
    const ZvLib_CItemLangStrings* strings = FindLanguageTable(language);
    ResolveDisplayString(strings, c.displayNameId, c.scratch);
    item.displayName = c.scratch;
    // Most items describe themselves with their name's id: resolved once.
    if (c.descriptionId != c.displayNameId) ResolveDisplayString(strings, c.descriptionId, c.scratch);
    item.description = c.scratch;
    if (c.url.empty()) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib: <Url> tag expression is empty.\n");
        item.url.clear();
    } else {
        QuoteIfNeeded(c.url);
        EvaluateToText(c.url, item.url);
    }
    // An empty text evaluates to nothing and stays empty: no evaluation needed.
    item.commandLineArgs.clear();
    if (!c.args.empty()) EvaluateToText(c.args, item.commandLineArgs);
    if (item.commandLineArgs.empty()) item.commandLineArgs = c.args;
    if (apply.kind != ApplyKind::None) {
        // Evaluated in place: a failure leaves the text as written.
        auto evaluate = [&](const std::wstring& text, std::wstring& out) {
            if (text.empty()) out.clear();
            else EvaluateToText(text, out);
        };
        evaluate(c.destFilename, apply.destFilename);
        if (apply.kind == ApplyKind::Copy) evaluate(c.destPath, apply.destPath);
        else evaluate(c.commandLine, apply.commandLine);
    }
    item.requiresElevation = c.haveElevation && zv::core::EqualsNoCase(c.elevation, L"no") ? 0 : 1;
    zv::core::ParseIdList(sub ? sub->minRequirements : c.requirements, item.minRequirementIds);
    if (c.moreHasUrl || c.moreHasDialog) {
        ZvLib_CDescriptionMore record;
        if (c.moreHasUrl) EvaluateToText(c.moreUrl, record.url);
        else record.dialogId = c.moreDialogId;
        ResolveDisplayString(strings, c.moreTextId, record.moreText);
        item.descriptionMore = std::move(record);
    }

    item.internalId = -1;
    item.fromManifest = 1;
    item.hasApplyAction = apply.present ? 1 : 0;
    item.requestGroupId = requestGroupId;
    item.productAbbr = productAbbr;
    item.publicKeyPath = publicKeyPath;

    if (!item.IsBasicValid()) return false;

    // Names from the manifest become file names in the download folder, nothing more.
    const std::wstring_view urlName = zv::core::UrlFileNameView(item.url);
    const std::wstring_view desired = zv::core::TrimView(item.desiredMsiFilename);
    for (const std::wstring_view fileName : {urlName, desired, std::wstring_view(apply.destFilename)}) {
        if (zv::core::IsPlainFileName(fileName)) continue;
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: Item %d: file name '%s' would leave the download folder, item dropped.\n", item.manifestId,
                    std::wstring(fileName).c_str());
        return false;
    }

    item.sigUrl.reserve(item.url.size() + 4);
    item.sigUrl.assign(item.url).append(L".sig");
    // Built in storage kept between items, then copied once into each of the two texts.
    thread_local std::wstring path;
    zv::core::LocalPayloadPath(tempDir, productAbbr, item.manifestId, {desired, item.url, apply.destFilename}, path);
    item.localPayloadPath.assign(path.data(), path.size());
    item.localSigPath.reserve(path.size() + 4);
    item.localSigPath.assign(path.data(), path.size()).append(L".sig");
    if (apply.kind != ApplyKind::None) {
        item.isRunCommand = apply.kind == ApplyKind::Run ? 1 : 0;
        item.requiresElevation = apply.requiresElevation;
        if (apply.destFilename.empty()) item.destFilename.assign(urlName.data(), urlName.size());
        else item.destFilename = apply.destFilename;
        if (apply.kind == ApplyKind::Copy) item.destPath = apply.destPath;
        else item.commandLine = apply.commandLine;
    }
    return item.IsValid() != 0;
}
