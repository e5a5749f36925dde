// Parsing a "Container" with its subcomponents: the container and every valid
// subcomponent are added to the item list, dependencies translated to internal ids.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "updater/core/updater_imp.h"

#include "updater/config/xml_document.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <vector>

using zv::core::Content;
using zv::core::EnteredChild;
using zv::core::ReadChild;
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

    const std::wstring language = Lang(requestGroupId);
    doc.SavePosition(kPosition);
    std::wstring text;
    ReadChild(doc, kPosition, L"DisplayNameId", Content::Raw, text);
    LookupDisplayString(language, text);
    container->displayName = text;
    ReadChild(doc, kPosition, L"DescriptionId", Content::Raw, text);
    LookupDisplayString(language, text);
    container->description = text;
    ReadChild(doc, kPosition, L"E1", Content::Raw, text);
    container->e1 = text;
    ReadChild(doc, kPosition, L"E2", Content::Raw, text);
    container->e2 = text;

    std::vector<std::unique_ptr<ZvLib_CItemInstallableSubcomponent>> kept;
    doc.RestorePosition(kPosition);
    SubcomponentTexts lists;
    while (doc.FindChildElement(L"Subcomponent")) {
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
