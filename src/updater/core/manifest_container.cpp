// Parsing a "Container" with its subcomponents: the container and every valid
// subcomponent are added to the item list, dependencies translated to internal ids.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/updater_imp.h"

#include "updater/config/xml_document.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <vector>

using zv::core::EnteredChild;
using namespace std::string_view_literals;

void CUpdaterImp::ParseContainer(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId)
{
    constexpr const wchar_t* kPosition = zv::core::position::kContainer;
    auto container = std::make_unique<ZvLib_CItemContainer>(&m_itemTexts);
    const zv::core::ElementAttributes attributes(doc);
    container->manifestId = attributes.Int(L"id"sv);
    container->requestGroupId = requestGroupId;
    container->productAbbr = productAbbr;
    attributes.Text(L"componentName"sv, container->componentName);
    attributes.Text(L"componentVersion"sv, container->componentVersion);
    attributes.Text(L"note"sv, container->note);
    container->isBonusItem = attributes.Int(L"isBonusItem"sv);
    container->isVisible = attributes.Int(L"isVisible"sv);
    container->isSelected = attributes.Int(L"isSelected"sv);
    container->defaultSelected = container->isSelected;
    container->isUnselectable = attributes.Int(L"isUnselectable"sv);
    container->showSubcomponentsExpandedByDefault = attributes.Int(L"showSubcomponentsExpandedByDefault"sv);
    container->category = zv::core::CategoryOf(attributes.Text(L"category"sv));
    attributes.Text(L"a1"sv, container->a1);
    attributes.Text(L"a2"sv, container->a2);

    // One pass over the children: the container's own texts (the last of a name wins)
    // and where its subcomponents are, parsed afterwards in document order.
    doc.SavePosition(kPosition);
    std::wstring_view displayNameId, descriptionId, e1, e2;
    std::vector<CXmlDocument::Mark> subcomponents;
    while (doc.FindChildElement(nullptr)) {
        const std::wstring_view name = doc.ChildNameView();
        if (name == L"Subcomponent"sv) {
            subcomponents.push_back(doc.GetMark());
            continue;
        }
        std::wstring_view* text = name == L"DisplayNameId"sv   ? &displayNameId
                                  : name == L"DescriptionId"sv ? &descriptionId
                                  : name == L"E1"sv            ? &e1
                                  : name == L"E2"sv            ? &e2
                                                               : nullptr;
        if (!text) continue;
        EnteredChild child(doc);
        *text = doc.GetInnerMarkupView();
    }
    const ZvLib_CItemLangStrings* strings = FindLanguageTable(Lang(requestGroupId));
    std::wstring text(displayNameId);
    ResolveDisplayString(strings, text, text);
    container->displayName = text;
    text.assign(descriptionId);
    ResolveDisplayString(strings, text, text);
    container->description = text;
    container->e1.assign(e1.data(), e1.size());
    container->e2.assign(e2.data(), e2.size());

    std::vector<std::unique_ptr<ZvLib_CItemInstallableSubcomponent>> kept;
    SubcomponentTexts lists;
    for (const CXmlDocument::Mark& at : subcomponents) {
        doc.GoToMark(at);
        EnteredChild element(doc);
        auto sub = std::make_unique<ZvLib_CItemInstallableSubcomponent>(ZvLib_CItemInstallableApp::ForParsing{}, &m_itemTexts);
        // Its requirement list is the raw content of "MinRequirementsIds".
        bool valid = ParseApplicationFields(doc, *sub, productAbbr, requestGroupId, &lists);
        zv::core::ParseIdList(lists.dependsUpon, sub->dependsUponManifestIds);
        sub->containerManifestId = container->manifestId;
        if (valid) kept.push_back(std::move(sub));
    }
    doc.RestorePosition(kPosition);

    auto* added = static_cast<ZvLib_CItemContainer*>(AddItem(std::move(container)));
    std::vector<ZvLib_CItemInstallableSubcomponent*> subs;
    subs.reserve(kept.size());
    added->childIds.reserve(kept.size());
    added->childManifestIds.reserve(kept.size());
    for (auto& sub : kept) {
        sub->SetContainerId(added->internalId);
        int manifestId = sub->manifestId;
        auto* item = static_cast<ZvLib_CItemInstallableSubcomponent*>(AddItem(std::move(sub)));
        added->childIds.push_back(item->internalId);
        added->childManifestIds.push_back(manifestId);
        subs.push_back(item);
    }

    // Requirements of what a subcomponent depends on, as the manifest gave them (by the
    // place of the subcomponent in subs); copied only when something depends on another.
    std::vector<std::vector<int>> ownRequirements;
    for (auto* sub : subs) {
        sub->dependsUponIds.clear();
        for (int manifestId : sub->dependsUponManifestIds) {
            auto target = std::find_if(subs.begin(), subs.end(), [&](auto* s) { return s->manifestId == manifestId; });
            if (target == subs.end()) continue;
            if (ownRequirements.empty())
                for (auto* s : subs) ownRequirements.push_back(s->minRequirementIds);
            sub->dependsUponIds.push_back((*target)->internalId);
            const auto& extra = ownRequirements[static_cast<size_t>(target - subs.begin())];
            sub->minRequirementIds.insert(sub->minRequirementIds.end(), extra.begin(), extra.end());
        }
    }
}
