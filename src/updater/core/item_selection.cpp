// Installable selection: requirement outcomes, the four masks, the version test and
// the one-item-per-product-GUID rule.
#include "updater/core/updater_imp.h"
#include "updater/core/held_variables.h"

#include "updater/expr/expression.h"
#include "updater/expr/operators.h"
#include "updater/base/log.h"

#include <algorithm>
#include <cstdint>
#include <memory_resource>
#include <string_view>
#include <unordered_map>

using com_quorvane_value::CValue;

namespace {

// The expression language's own equality with integer 0: "0" and 0.0 are 0, "abc" is not.
bool EqualsIntegerZero(const CValue& value)
{
    CValue left = value;
    if (zv::expr::ApplyOperator(OP_EQ, left, CValue::Int(0), CExpression::kMaxTextChars) != ERR_OK) return false;
    return left.AsInt() != 0;
}

int CompareComponentVersions(std::wstring_view a, std::wstring_view b)
{
    return com_quorvane_value::CompareVersions(CValue::ParseVersion(std::wstring(a)), CValue::ParseVersion(std::wstring(b)));
}

const ZvLib_CItemInstallableApp* AsInstallable(const ZvLib_CItemBase& item)
{
    if (!item.IsInstallableApp() && !item.IsSubcomponent()) return nullptr;
    return dynamic_cast<const ZvLib_CItemInstallableApp*>(&item);
}

} // namespace

// Selection looks up two or more requirements for each of thousands of items; a search
// through the list each time would cost more than the evaluations. Evaluating cannot
// change the list, so the index holds for one selection. It also keeps the outcome of
// each expression text whose evaluation neither called a function, reported a token
// nor wrote the evaluator's table: while the evaluator's table stays as it was then,
// evaluating that text again gives the same outcome and does nothing else.
class CUpdaterImp::RequirementIndex {
public:
    using Outcome = RequirementOutcome;

    // nodes: where the index's entries are allocated; it outlives the index.
    RequirementIndex(const std::vector<std::unique_ptr<ZvLib_CItemRequirement>>& requirements, std::pmr::memory_resource* nodes)
        : m_first(nodes), m_outcomes(nodes)
    {
        m_first.reserve(requirements.size());
        // The first in list order wins, as the search through the list finds it.
        for (const auto& r : requirements) m_first.emplace(Key(r->requestGroupId, r->id), Match{r.get()});
    }
    const ZvLib_CItemRequirement* Find(int requestGroupId, int id)
    {
        auto found = m_first.find(Key(requestGroupId, id));
        m_last = found == m_first.end() ? nullptr : &found->second;
        return m_last ? m_last->requirement : nullptr;
    }
    // tableWrites: the evaluator's count now; outcomes kept at another count are dropped.
    const Outcome* FindOutcome(const std::wstring& expression, unsigned long long tableWrites)
    {
        if (tableWrites != m_tableWrites) {
            m_outcomes.clear();
            m_tableWrites = tableWrites;
        }
        // The requirement found last remembers its own outcome: its repeats (thousands of
        // items share a few hundred requirements) need not hash and compare its text.
        if (Match* last = LastFoundWith(expression); last && last->kept && last->keptAt == tableWrites) return &last->outcome;
        auto found = m_outcomes.find(expression);
        if (found == m_outcomes.end()) return nullptr;
        Remember(expression, found->second);
        return &found->second;
    }
    // expression views a requirement's own text, which outlives the selection.
    void KeepOutcome(const std::wstring& expression, Outcome outcome)
    {
        m_outcomes.emplace(expression, outcome);
        Remember(expression, outcome);
    }

private:
    struct Match {
        const ZvLib_CItemRequirement* requirement;
        Outcome outcome{};
        unsigned long long keptAt = 0; // the evaluator's table writes when it was kept
        bool kept = false;
    };
    static uint64_t Key(int requestGroupId, int id) { return (uint64_t(uint32_t(requestGroupId)) << 32) | uint32_t(id); }
    // The match found last, when expression is that requirement's own text.
    Match* LastFoundWith(const std::wstring& expression) const
    {
        return m_last && &m_last->requirement->valueExpression == &expression ? m_last : nullptr;
    }
    void Remember(const std::wstring& expression, Outcome outcome)
    {
        if (Match* last = LastFoundWith(expression)) {
            last->outcome = outcome;
            last->keptAt = m_tableWrites;
            last->kept = true;
        }
    }
    std::pmr::unordered_map<uint64_t, Match> m_first;
    std::pmr::unordered_map<std::wstring_view, Outcome> m_outcomes;
    unsigned long long m_tableWrites = 0;
    Match* m_last = nullptr;
};

CUpdaterImp::RequirementOutcome CUpdaterImp::EvaluateRequirement(const ZvLib_CItemRequirement& requirement, RequirementIndex* index)
{
    CopyVariablesToEvaluator();
    const unsigned long long writes = evaluator.TableWrites();
    if (index)
        if (const RequirementOutcome* kept = index->FindOutcome(requirement.valueExpression, writes)) return *kept;
    const unsigned long long effects = CExpression::EffectsSoFar();
    RequirementOutcome outcome;
    CValue value;
    evaluator.SetExpression(requirement.valueExpression);
    outcome.evaluated = evaluator.Evaluate(value);
    outcome.zero = outcome.evaluated && EqualsIntegerZero(value);
    if (index && writes == evaluator.TableWrites() && effects == CExpression::EffectsSoFar()) index->KeepOutcome(requirement.valueExpression, outcome);
    return outcome;
}

int CUpdaterImp::GetListOfSelectedInstallables(std::vector<ZvLib_CItemBase*>& out)
{
    return GetListOfItems(out, kStandardBonusItemMask, kStandardCriteriaResultMask, kStandardUserSelectionMask, kStandardTypeMask);
}

int CUpdaterImp::EvaluateItemRequirement(ZvLib_CItemBase& item, int deselectOnHardFailure, int deselectOnSoftFailure)
{
    return EvaluateItemRequirement(item, deselectOnHardFailure, deselectOnSoftFailure, nullptr);
}

int CUpdaterImp::EvaluateItemRequirement(ZvLib_CItemBase& item, int deselectOnHardFailure, int deselectOnSoftFailure, RequirementIndex* index)
{
    item.failedSoftRequirements.clear();
    item.failedHardRequirements.clear();
    item.meetsHardRequirements = 1;
    item.softRequirementState = -1;
    int result = 1;
    for (int id : item.minRequirementIds) {
        const ZvLib_CItemRequirement* match = nullptr;
        if (index) {
            match = index->Find(item.requestGroupId, id);
        } else {
            auto found = std::find_if(requirements.begin(), requirements.end(),
                                      [&](const auto& r) { return r->id == id && r->requestGroupId == item.requestGroupId; });
            if (found != requirements.end()) match = found->get();
        }
        if (!match) continue;
        const ZvLib_CItemRequirement& requirement = *match;
        const RequirementOutcome outcome = EvaluateRequirement(requirement, index);
        if (!outcome.evaluated) {
            zv::Log().Log(zv::ZVLOG_INFO2, L"CUpdaterImp::EvaluateItemRequirement: Failed to evaluate expression, id: %d, req group info: %d, expression: %s\n",
                        requirement.id, requirement.requestGroupId, requirement.valueExpression.c_str());
            continue;
        }
        if (!outcome.zero) {
            if (item.softRequirementState == -1) item.softRequirementState = 0;
            continue;
        }
        if (requirement.isHardLimit) {
            if (deselectOnHardFailure) item.SetSelected(0);
            item.meetsHardRequirements = 0;
            item.softRequirementState = -1;
            item.failedHardRequirements.push_back(&requirement);
            return 0;
        }
        if (item.meetsHardRequirements == 1) {
            if (deselectOnSoftFailure) item.SetSelected(0);
            item.softRequirementState = 1;
        }
        item.failedSoftRequirements.push_back(&requirement);
        result = 0;
    }
    return result;
}

bool CUpdaterImp::PassesVersionTest(const ZvLib_CItemBase& item)
{
    const ZvLib_CRequestGroupInfo* group = FindRequestGroupInfo(item.requestGroupId);
    if (!group || group->config.installedProducts.empty() || item.IsContainer()) return true;
    const auto& installed = group->config.installedProducts;
    auto found = installed.find(std::wstring(item.componentName));
    if (found == installed.end()) return false;
    bool newer = CompareComponentVersions(item.componentVersion, found->second) > 0;
    if (newer)
        zv::Log().Log(zv::ZVLOG_INFO2,
                    L"ZvLib: ----- GetListOfItems: T Item %d (%s) passed version comparison test.  Version on server > installedVersion: %s > %s\n",
                    item.manifestId, item.componentName.c_str(), item.componentVersion.c_str(), found->second.c_str());
    else
        zv::Log().Log(zv::ZVLOG_INFO2,
                    L"ZvLib: ----- GetListOfItems: F Item %d (%s) failed version comparison test.  Version on server <= installedVersion: %s <= %s\n",
                    item.manifestId, item.componentName.c_str(), item.componentVersion.c_str(), found->second.c_str());
    return newer;
}

int CUpdaterImp::GetListOfItems(std::vector<ZvLib_CItemBase*>& out, int eBonusItemMask, int eCriteriaResultMask, int eUserSelectionMask,
                                int eTypeMask)
{
    out.clear();
    // "%ul" as the log has always printed the masks: unsigned, then a letter l.
    zv::Log().Log(zv::ZVLOG_INFO2,
                L"ZvLib: ----> GetListOfItems: eBonusItemMask: %ul, eCriteriaResultMask: %ul, eUserSelectionMask: %ul, eTypeMask: %ul.  Ids are Id within manifest.\n",
                static_cast<unsigned>(eBonusItemMask), static_cast<unsigned>(eCriteriaResultMask), static_cast<unsigned>(eUserSelectionMask),
                static_cast<unsigned>(eTypeMask));
    const auto bonusMask = static_cast<unsigned>(eBonusItemMask);
    const auto criteriaMask = static_cast<unsigned>(eCriteriaResultMask);
    const auto selectionMask = static_cast<unsigned>(eUserSelectionMask);
    const auto typeMask = static_cast<unsigned>(eTypeMask);

    // An item that a newer one with its product GUID replaces leaves a null behind, taken
    // out at the end: removing it at once would move the rest of the list each time.
    std::vector<ZvLib_CItemBase*> result;
    result.reserve(items.size());
    // The selection's indexes take their nodes from one block released when it ends:
    // thousands of items and requirements would otherwise cost a heap node each.
    std::pmr::monotonic_buffer_resource nodes(64 * 1024);
    // Product GUID to the place of the item holding it in result; the keys view the
    // items' own texts, which outlive the selection.
    std::pmr::unordered_map<std::wstring_view, size_t> byGuid(&nodes);
    byGuid.reserve(items.size());
    RequirementIndex index(requirements, &nodes);
    HoldVariables held(*this);
    for (const auto& owned : items) {
        ZvLib_CItemBase& item = *owned;
        EvaluateItemRequirement(item, (criteriaMask & 0x10) != 0, (criteriaMask & 0x20) != 0, &index);
        const bool version = PassesVersionTest(item);
        const bool bonus = (bonusMask & 0x2) && item.isBonusItem;
        const bool criteria = eCriteriaResultMask == -1 || ((criteriaMask & 0x1) && item.meetsHardRequirements) ||
                              ((criteriaMask & 0x2) && !item.meetsHardRequirements) || ((criteriaMask & 0x4) && item.softRequirementState == 0) ||
                              ((criteriaMask & 0x8) && item.softRequirementState == 1);
        const bool selection = eUserSelectionMask == -1 || ((selectionMask & 0x1) && !item.isSelected) || ((selectionMask & 0x2) && item.isSelected);
        const bool type = eTypeMask == -1 || ((typeMask & 0x1) && item.IsContainer()) ||
                          ((typeMask & 0x2) && (item.IsInstallableApp() || item.IsSubcomponent())) || ((typeMask & 0x4) && item.IsInstallableApp()) ||
                          ((typeMask & 0x8) && item.IsSubcomponent());

        if ((bonus && selection && criteria) || (criteria && selection && type && version)) {
            const ZvLib_CItemInstallableApp* installable = AsInstallable(item);
            if (installable && !installable->productGUID.empty() && (criteriaMask & 0x40)) {
                zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: T Item %d (%s) contains Product GUID '%s'. Checking if unique.\n", item.manifestId,
                            item.componentName.c_str(), installable->productGUID.c_str());
                auto [earlier, first] = byGuid.try_emplace(installable->productGUID, result.size());
                if (!first) {
                    if (CompareComponentVersions(item.componentVersion, result[earlier->second]->componentVersion) <= 0) continue;
                    result[earlier->second] = nullptr;
                    earlier->second = result.size();
                }
            }
            zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: T Item %d (%s) (%s) passed all criteria, will be presented to the application.\n",
                        item.manifestId, item.componentName.c_str(), item.componentVersion.c_str());
            result.push_back(&item);
        } else {
            std::wstring reasons;
            if (!criteria) reasons += L"CriteriaResultMask ";
            if (!selection) reasons += L"SelectionMask ";
            if (!type && !bonus) reasons += L"TypeMask ";
            if (!version && !bonus) reasons += L"CnCv ";
            zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: F Item %d (%s) failed one or more criteria (%s), will not be presented to the application.\n",
                        item.manifestId, item.componentName.c_str(), reasons.c_str());
        }
    }

    result.erase(std::remove(result.begin(), result.end(), nullptr), result.end());
    // A container is offered only together with one of its own subcomponents.
    for (size_t i = 0; i < result.size(); ++i) {
        ZvLib_CItemBase* item = result[i];
        if (item->IsContainer()) {
            const auto* next = i + 1 < result.size() ? dynamic_cast<const ZvLib_CItemInstallableSubcomponent*>(result[i + 1]) : nullptr;
            if (!next || next->containerId != item->internalId) continue;
        }
        out.push_back(item);
    }

    zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: T ------------------------ Summary:\n");
    for (const ZvLib_CItemBase* item : result)
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: T summary: Item %d (%s)\n", item->manifestId, item->componentName.c_str());
    zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----- GetListOfItems: T ------------------------\n");
    zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ----< GetListOfItems ends.\n");
    return result.empty() ? 0 : 1;
}
