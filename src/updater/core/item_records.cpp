#include "updater/core/item_records.h"

#include "updater/core/manifest_text.h"

int ZvLib_CItemEventString::IsValid() const
{
    // The placeholder is compared with case, as the parser leaves it.
    return requestGroupId != -1 && id != L"dummy" && manifestName != L"dummy" && note != L"dummy" && valueExpression != L"dummy";
}

bool ZvLib_CItemLangStrings::Lookup(const std::wstring& id, std::wstring& text) const
{
    return strings.Find(id, text);
}

void ZvLib_CItemLangStrings::Add(const std::wstring& id, const std::wstring& text)
{
    strings.insert_or_assign(zv::core::ToUpperAscii(id), text);
}
