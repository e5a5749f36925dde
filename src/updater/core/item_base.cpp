#include "updater/core/item_base.h"

void ZvLib_CItemEventExpressions::Set(const std::wstring& name, const std::wstring& expression)
{
    expressions[name] = expression;
}

bool ZvLib_CItemEventExpressions::Lookup(const std::wstring& name, std::wstring& expression) const
{
    auto found = expressions.find(name);
    if (found == expressions.end()) return false;
    expression = found->second;
    return true;
}

int ZvLib_CItemBase::SetSelected(int selected)
{
    if (!isUnselectable) return 0;
    isSelected = selected;
    return 1;
}

int ZvLib_CItemBase::GetMinRequirementIds(std::vector<int>& out) const
{
    out = minRequirementIds;
    return static_cast<int>(out.size());
}
