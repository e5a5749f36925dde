// Loading a manifest document into the updater's lists: the document walk, display
// strings, requirements and event strings. Applications, containers and dialogs have
// their own files.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/updater_imp.h"
#include "updater/core/held_variables.h"

#include "updater/config/xml_document.h"
#include "updater/expr/zv_expr.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <utility>
#include <vector>

using zv::core::EnteredChild;
using zv::core::SameName;
using namespace std::string_view_literals;

namespace {

constexpr const wchar_t* kManifestPosition = zv::core::position::kManifest;
constexpr const wchar_t* kSectionPosition = zv::core::position::kSection;

} // namespace

struct CUpdaterImp::LanguageCache {
    std::vector<std::pair<std::wstring, ZvLib_CItemLangStrings*>> found;

    ZvLib_CItemLangStrings* const* Find(std::wstring_view language) const
    {
        for (const auto& entry : found)
            if (SameName(entry.first, language)) return &entry.second;
        return nullptr;
    }
};

int CUpdaterImp::LoadManifest(const std::wstring& path, const ZvLib_CConfigParamsLoader& config, std::wstring* problem)
{
    CXmlDocument doc;
    bool loaded = !tempDir.empty() && doc.LoadFile(path);
    return LoadDocument(doc, loaded, path, config, problem);
}

int CUpdaterImp::LoadManifestUtf8(const char* bytes, size_t size, const std::wstring& sourceName, const ZvLib_CConfigParamsLoader& config,
                                  std::wstring* problem)
{
    CXmlDocument doc;
    bool loaded = !tempDir.empty() && doc.LoadUtf8(bytes, size);
    return LoadDocument(doc, loaded, sourceName, config, problem);
}

int CUpdaterImp::LoadDocument(CXmlDocument& doc, bool loaded, const std::wstring& sourceName, const ZvLib_CConfigParamsLoader& config,
                              std::wstring* problem)
{
    if (tempDir.empty()) {
        // Payload paths would be relative to whatever the current directory is.
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: LoadManifest: no temp directory, manifest '%s' not loaded.\n", sourceName.c_str());
        if (problem) *problem = L"no temp directory";
        return 0;
    }
    if (!loaded) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"ZvLib ERROR: LoadManifest: cannot load manifest file '%s': %s\n", sourceName.c_str(), doc.GetResultText().c_str());
        if (problem) *problem = doc.GetResultText();
        return 0;
    }
    zv::Log().Log(zv::ZVLOG_INFO1, L"**** Manifest: Loaded manifest file '%s'\n", sourceName.c_str());
    zv::expr::SetLoadedGroupInfo(config.productBrand, config.hostProductOption);
    HoldVariables held(*this);
    LanguageCache languages;
    LanguageCache* const outerLanguages = m_languages;
    m_languages = &languages;
    doc.ResetPosition();
    while (doc.FindElement(L"ZV_Manifest")) LoadManifestElement(doc, config);
    m_languages = outerLanguages;
    return 1;
}

void CUpdaterImp::LoadManifestElement(CXmlDocument& doc, const ZvLib_CConfigParamsLoader& config)
{
    const zv::core::ElementAttributes attributes(doc);
    std::wstring name = attributes.Text(L"name"sv);
    std::wstring internalName = attributes.Text(L"internalName"sv);
    std::wstring revision = attributes.Text(L"contentRevision"sv);
    zv::Log().Log(zv::ZVLOG_INFO1, L"**** Manifest info: name='%s' revision='%s' internalName='%s'\n", name.c_str(), revision.c_str(),
                internalName.c_str());
    const std::wstring& abbr = config.productAbbr;
    const int group = config.requestGroupId;

    // Each section: every occurrence of the element, each child of the given name.
    auto forEach = [&](const wchar_t* section, const wchar_t* child, auto&& parse) {
        doc.RestorePosition(kManifestPosition);
        while (doc.FindChildElement(section)) {
            EnteredChild entered(doc);
            doc.SavePosition(kSectionPosition);
            while (doc.FindChildElement(child)) {
                EnteredChild element(doc);
                parse();
            }
            doc.RestorePosition(kSectionPosition);
        }
    };

    doc.SavePosition(kManifestPosition);
    // A language first seen in a section gets a table sized for the section's entries,
    // rather than one rebuilt again and again as it fills.
    while (doc.FindChildElement(L"DisplayStrings")) {
        EnteredChild entered(doc);
        doc.SavePosition(kSectionPosition);
        size_t entries = 0;
        while (doc.FindChildElement(L"Entry")) ++entries;
        doc.RestorePosition(kSectionPosition);
        while (doc.FindChildElement(L"Entry")) {
            EnteredChild element(doc);
            ParseDisplayStringEntry(doc, abbr, entries);
        }
        doc.RestorePosition(kSectionPosition);
    }

    // "UiItems" in one walk: where each container, application and dialog item is, then
    // each kind parsed in turn (containers, applications, dialog items), each in document
    // order across every "UiItems", so that internal ids and log lines come in that order.
    struct {
        std::vector<CXmlDocument::Mark> containers, applications, dialogs;
    } marks;
    doc.RestorePosition(kManifestPosition);
    while (doc.FindChildElement(L"UiItems")) {
        EnteredChild entered(doc);
        while (doc.FindChildElement(nullptr)) {
            const std::wstring_view kind = doc.ChildNameView();
            if (SameName(kind, L"Container"sv)) marks.containers.push_back(doc.GetMark());
            else if (SameName(kind, L"Application"sv)) marks.applications.push_back(doc.GetMark());
            else if (SameName(kind, L"DialogItem"sv)) marks.dialogs.push_back(doc.GetMark());
        }
    }
    auto forEachMarked = [&](const std::vector<CXmlDocument::Mark>& found, auto&& parse) {
        for (const CXmlDocument::Mark& at : found) {
            doc.GoToMark(at);
            EnteredChild element(doc);
            parse();
        }
    };
    forEachMarked(marks.containers, [&] { ParseContainer(doc, abbr, group); });
    forEachMarked(marks.applications, [&] {
        if (auto app = ParseApplication(doc, abbr, group)) AddItem(std::move(app));
    });
    forEachMarked(marks.dialogs, [&] { dialogs.push_back(ParseDialogItem(doc, abbr, group)); });

    forEach(L"Requirements", L"Requirement", [&] { requirements.push_back(ParseRequirement(doc, name, group)); });
    forEach(L"EventStrings", L"EventString", [&] {
        auto eventString = ParseEventString(doc, name, group);
        if (eventString->IsValid()) eventStrings.push_back(std::move(eventString));
    });
    doc.RestorePosition(kManifestPosition);
}

namespace {

// The value of name when it is the element's only attribute, written plainly: blanks,
// name="value" (or with single quotes) with no reference in the value, then only blanks.
// False for any other form, which the reader's own scan then reads.
bool PlainSoleAttribute(std::wstring_view tag, std::wstring_view name, std::wstring_view& value)
{
    size_t i = 0;
    while (i < tag.size() && zv::xml::IsXmlSpace(tag[i])) ++i;
    if (i == 0 || tag.size() - i < name.size() + 3 || !SameName(tag.substr(i, name.size()), name)) return false;
    i += name.size();
    const wchar_t quote = tag[i + 1];
    if (tag[i] != L'=' || (quote != L'"' && quote != L'\'')) return false;
    const size_t open = i + 2;
    const size_t close = tag.find(quote, open);
    if (close == std::wstring_view::npos) return false;
    for (size_t j = close + 1; j < tag.size(); ++j)
        if (!zv::xml::IsXmlSpace(tag[j])) return false;
    value = tag.substr(open, close - open);
    return value.find(L'&') == std::wstring_view::npos;
}

// The attribute's value without a copy where it holds no reference; decoded into scratch
// where it does. Empty when absent; the first of a name counts, as with GetAttribute.
std::wstring_view AttributeValue(const CXmlDocument& doc, std::wstring_view name, std::wstring& scratch)
{
    // Display strings come by the thousand with one attribute each.
    std::wstring_view plain;
    if (PlainSoleAttribute(doc.AttributeTextView(), name, plain)) return plain;
    constexpr size_t kRoom = 4;
    CXmlDocument::AttributeView views[kRoom];
    const size_t count = doc.GetAttributes(views, kRoom);
    if (count > kRoom) {
        doc.GetAttribute(std::wstring(name).c_str(), scratch);
        return scratch;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!SameName(views[i].name, name)) continue;
        if (views[i].rawValue.find(L'&') == std::wstring_view::npos) return views[i].rawValue;
        CXmlDocument::DecodeAttributeValue(views[i].rawValue, scratch);
        return scratch;
    }
    return {};
}

bool HasAsciiIn(std::wstring_view text, wchar_t first, wchar_t last)
{
    return std::any_of(text.begin(), text.end(), [&](wchar_t c) { return c >= first && c <= last; });
}

} // namespace

void CUpdaterImp::ParseDisplayStringEntry(CXmlDocument& doc, const std::wstring& productAbbr, size_t sectionEntries)
{
    // Reused between entries: a manifest brings thousands, each in several languages.
    thread_local std::wstring id, decoded, lowered;
    id.assign(AttributeValue(doc, L"id"sv, decoded));
    zv::core::TrimInPlace(id);
    zv::core::UpperAsciiInPlace(id);
    if (id.empty()) return;
    while (doc.FindChildElement(L"String")) {
        EnteredChild string(doc);
        std::wstring_view language = AttributeValue(doc, L"lang"sv, decoded);
        if (HasAsciiIn(language, L'A', L'Z')) {
            lowered.assign(language);
            zv::LowerAsciiInPlace(lowered);
            language = lowered;
        }
        if (language.empty() || language == L"-1"sv) continue;
        ZvLib_CItemLangStrings* const* known = m_languages ? m_languages->Find(language) : nullptr;
        ZvLib_CItemLangStrings* table = known ? *known : nullptr;
        if (!table) {
            auto& slot = langStrings[std::wstring(language)];
            if (!slot) {
                slot = std::make_unique<ZvLib_CItemLangStrings>();
                slot->SetLanguage(std::wstring(language));
                slot->SetProductAbbr(productAbbr);
                slot->strings.reserve(sectionEntries);
                // A language that had no table may have one now.
                if (m_languages) m_languages->found.clear();
            }
            table = slot.get();
            if (m_languages) m_languages->found.emplace_back(language, table);
        }
        // The markup goes from the document straight into the table.
        table->AddUpperCased(id, doc.GetInnerMarkupView());
    }
}

const ZvLib_CItemLangStrings* CUpdaterImp::FindLanguageTable(const std::wstring& language) const
{
    if (m_languages)
        if (ZvLib_CItemLangStrings* const* known = m_languages->Find(language)) return *known;
    // Case is changed on a copy only where a letter needs it.
    auto table = HasAsciiIn(language, L'A', L'Z') ? langStrings.find(zv::core::ToLowerAscii(language)) : langStrings.find(language);
    ZvLib_CItemLangStrings* found = table == langStrings.end() ? nullptr : table->second.get();
    if (m_languages) m_languages->found.emplace_back(language, found);
    return found;
}

void CUpdaterImp::ResolveDisplayString(const ZvLib_CItemLangStrings* table, const std::wstring& id, std::wstring& out) const
{
    // The id is upper-cased on a copy only where a letter needs it: this runs for every
    // text of every item.
    bool found = false;
    // The table is asked directly, not through the virtual lookup, and gives a view: the
    // text is copied once, into out.
    std::wstring_view text;
    if (table) found = HasAsciiIn(id, L'a', L'z') ? table->strings.FindView(zv::core::ToUpperAscii(id), text) : table->strings.FindView(id, text);
    if (found) out.assign(text);
    else if (&out != &id) out = id;
}

void CUpdaterImp::LookupDisplayString(const std::wstring& language, std::wstring& id) const
{
    // The lookup reads the key before it writes the text, so id may be both.
    ResolveDisplayString(FindLanguageTable(language), id, id);
}

std::unique_ptr<ZvLib_CItemRequirement> CUpdaterImp::ParseRequirement(CXmlDocument& doc, const std::wstring& manifestName, int requestGroupId)
{
    constexpr const wchar_t* kPosition = zv::core::position::kRequirement;
    auto requirement = std::make_unique<ZvLib_CItemRequirement>();
    const zv::core::ElementAttributes attributes(doc);
    requirement->id = attributes.Int(L"id"sv);
    requirement->isHardLimit = attributes.Int(L"isHardLimit"sv);
    attributes.Text(L"note"sv, requirement->note);
    attributes.Text(L"name"sv, requirement->name);
    requirement->manifestName = manifestName;
    requirement->requestGroupId = requestGroupId;
    doc.SavePosition(kPosition);
    // One pass over the children; the last of each name wins.
    while (doc.FindChildElement(nullptr)) {
        const std::wstring_view child = doc.ChildNameView();
        if (SameName(child, L"ValueExpression"sv)) {
            EnteredChild entered(doc);
            doc.GetText(requirement->valueExpression);
        } else if (SameName(child, L"WarningStringId"sv)) {
            EnteredChild entered(doc);
            requirement->warningText.assign(doc.GetInnerMarkupView());
        }
    }
    LookupDisplayString(Lang(requestGroupId), requirement->warningText);
    doc.RestorePosition(kPosition);
    return requirement;
}

std::unique_ptr<ZvLib_CItemEventString> CUpdaterImp::ParseEventString(CXmlDocument& doc, const std::wstring& manifestName, int requestGroupId)
{
    auto eventString = std::make_unique<ZvLib_CItemEventString>();
    doc.GetAttribute(L"id", eventString->id);
    eventString->manifestName = manifestName;
    eventString->requestGroupId = requestGroupId;
    eventString->note.clear();
    eventString->valueExpression.clear();
    doc.SavePosition(zv::core::position::kEvent);
    while (doc.FindChildElement(L"ValueExpression")) {
        EnteredChild expression(doc);
        doc.GetAttribute(L"note", eventString->note);
        doc.GetText(eventString->valueExpression);
    }
    doc.RestorePosition(zv::core::position::kEvent);
    return eventString;
}
