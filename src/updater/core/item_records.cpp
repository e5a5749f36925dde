#include "updater/core/item_records.h"

#include "updater/core/manifest_text.h"

int ZvLib_CItemEventString::IsValid() const
{
    // The placeholder is compared with case, as the parser leaves it.
    return requestGroupId != -1 && id != L"dummy" && manifestName != L"dummy" && note != L"dummy" && valueExpression != L"dummy";
}

bool ZvLib_CItemLangStrings::Lookup(const std::wstring& id, std::wstring& text) const
{
    auto found = strings.find(id);
    if (found == strings.end()) return false;
    text = found->second;
    return true;
}

void ZvLib_CItemLangStrings::Add(const std::wstring& id, const std::wstring& text)
{
    strings[zv::core::ToUpperAscii(id)] = text;
}
