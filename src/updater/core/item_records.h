#pragma once
// The manifest's other records: requirements, event strings, the display strings of
// one language and dialog descriptions. Virtual operations in slot order.
#include "updater/core/display_string_table.h"

#include <map>
#include <string>
#include <string_view>

class ZvLib_CItemRequirement {
public:
    virtual ~ZvLib_CItemRequirement() = default;
    virtual int GetId() const { return id; }
    virtual std::wstring GetValueExpression() const { return valueExpression; }
    virtual std::wstring GetWarningText() const { return warningText; }
    virtual std::wstring GetName() const { return name; }
    virtual std::wstring GetManifestName() const { return manifestName; }
    virtual int GetRequestGroupId() const { return requestGroupId; }
    virtual std::wstring GetNote() const { return note; }
    virtual int GetIsHardLimit() const { return isHardLimit; }
    virtual int IsValid() const { return 1; }

    int id = 0;
    int isHardLimit = 0;
    std::wstring manifestName;
    int requestGroupId = 0;
    std::wstring name;
    std::wstring note;
    std::wstring valueExpression;
    std::wstring warningText;
};

class ZvLib_CItemEventString {
public:
    virtual ~ZvLib_CItemEventString() = default;
    virtual std::wstring GetId() const { return id; }
    virtual std::wstring GetValueExpression() const { return valueExpression; }
    virtual std::wstring GetManifestName() const { return manifestName; }
    virtual int GetRequestGroupId() const { return requestGroupId; }
    virtual std::wstring GetNote() const { return note; }
    // A group, and none of the texts left at the "dummy" placeholder.
    virtual int IsValid() const;

    std::wstring id = L"dummy";
    std::wstring manifestName = L"dummy";
    int requestGroupId = -1;
    std::wstring note = L"dummy";
    std::wstring valueExpression = L"dummy";
};

// The display strings of one language.
class ZvLib_CItemLangStrings {
public:
    virtual ~ZvLib_CItemLangStrings() = default;
    virtual std::wstring GetLanguage() const { return language; }
    virtual void SetLanguage(const std::wstring& lang) { language = lang; }
    virtual std::wstring GetProductAbbr() const { return productAbbr; }
    virtual void SetProductAbbr(const std::wstring& abbr) { productAbbr = abbr; }
    // Ids are kept upper case; the lookup takes the id as given.
    virtual bool Lookup(const std::wstring& id, std::wstring& text) const;
    virtual void Add(const std::wstring& id, const std::wstring& text);
    virtual void Clear() { strings.clear(); }
    virtual int IsValid() const { return 1; }
    // Add for an id that is upper case already.
    void AddUpperCased(std::wstring_view id, std::wstring_view text) { strings.insert_or_assign(id, text); }

    std::wstring language = L"-1";
    std::wstring productAbbr;
    // Id (upper case) to text.
    zv::core::DisplayStringTable strings;
};

class ZvLib_CItemDialogItem {
public:
    virtual ~ZvLib_CItemDialogItem() = default;

    int requestGroupId = 0;
    std::wstring productAbbr;
    std::wstring dialogId;
    std::wstring title;
    std::wstring subtitle;
    std::wstring htmlBody;
    std::map<std::wstring, int> buttons;
};
