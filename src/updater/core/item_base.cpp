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

ZvLib_CItemBase::ZvLib_CItemBase(std::pmr::memory_resource* texts)
    : productAbbr(texts), componentName(texts), componentVersion(texts), displayName(texts), description(texts), note(texts), s1(texts), s2(texts),
      a1(texts), a2(texts), e1(texts), e2(texts)
{
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
