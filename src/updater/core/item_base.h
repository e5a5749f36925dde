#pragma once
// The common base of manifest items, and the event expressions every item carries.
// The virtual operations are declared in the order hosts rely on (slot order):
// subclasses keep it and only append.
#include <map>
#include <memory_resource>
#include <string>
#include <vector>

class ZvLib_CItemRequirement;

// Event name to expression text, as the manifest's "EventExpressions" gives them.
class ZvLib_CItemEventExpressions {
public:
    virtual ~ZvLib_CItemEventExpressions() = default;
    virtual void Set(const std::wstring& name, const std::wstring& expression);
    // False when the event is not named.
    virtual bool Lookup(const std::wstring& name, std::wstring& expression) const;
    virtual int IsValid() const { return 1; }

    std::map<std::wstring, std::wstring> expressions;
};

// Item texts are allocated from a resource chosen at construction: a loaded manifest's
// items take theirs from the updater's arena, so that thousands of texts cost a pointer
// bump each and are freed at once. A copy allocates its own texts from the default
// resource, so it may outlive the item and the arena it was copied from; a move is a
// copy for the same reason.
class ZvLib_CItemBase {
public:
    ZvLib_CItemBase() = default;
    explicit ZvLib_CItemBase(std::pmr::memory_resource* texts);
    ZvLib_CItemBase(const ZvLib_CItemBase&) = default;
    ZvLib_CItemBase& operator=(const ZvLib_CItemBase&) = default;

    virtual ~ZvLib_CItemBase() = default;                                    // 0
    virtual int GetInternalId() const { return internalId; }                // 1
    virtual int GetManifestId() const { return manifestId; }                // 2
    virtual std::wstring GetComponentName() const { return std::wstring(componentName); }  // 3
    virtual std::wstring GetComponentVersion() const { return std::wstring(componentVersion); } // 4
    virtual std::wstring GetDisplayName() const { return std::wstring(displayName); }      // 5
    virtual std::wstring GetDescription() const { return std::wstring(description); }      // 6
    virtual std::wstring GetNote() const { return std::wstring(note); }                    // 7
    virtual int GetIsVisible() const { return isVisible; }                   // 8
    virtual int GetIsSelected() const { return isSelected; }                 // 9
    virtual int GetDefaultSelected() const { return defaultSelected; }       // 10
    // Only items whose selection may change accept a new one.
    virtual int SetSelected(int selected);                                   // 11
    virtual int GetCategory() const { return category; }                     // 12
    virtual int GetIsUnselectable() const { return isUnselectable; }         // 13
    virtual int GetMeetsHardRequirements() const { return meetsHardRequirements; } // 14
    virtual int MeetsAllRequirements() const { return meetsHardRequirements && softRequirementState == 0; } // 15
    virtual int GetSoftRequirementState() const { return softRequirementState; } // 16
    virtual std::wstring GetS1() const { return std::wstring(s1); }                        // 17
    virtual std::wstring GetS2() const { return std::wstring(s2); }                        // 18
    virtual std::wstring GetA1() const { return std::wstring(a1); }                        // 19
    virtual std::wstring GetA2() const { return std::wstring(a2); }                        // 20
    virtual std::wstring GetE1() const { return std::wstring(e1); }                        // 21
    virtual std::wstring GetE2() const { return std::wstring(e2); }                        // 22
    // Returns the count copied.
    virtual int GetMinRequirementIds(std::vector<int>& out) const;           // 23
    virtual int IsContainer() const { return 0; }                            // 24
    virtual int IsInstallableApp() const { return 0; }                       // 25
    virtual int IsSubcomponent() const { return 0; }                         // 26
    virtual int GetIsBonusItem() const { return isBonusItem; }               // 27
    virtual std::wstring GetProductAbbr() const { return std::wstring(productAbbr); }      // 28
    virtual int IsValid() const { return 1; }                                // 29

    int internalId = -1;
    int manifestId = 0;
    int requestGroupId = 0;
    std::pmr::wstring productAbbr;
    std::pmr::wstring componentName;
    std::pmr::wstring componentVersion;
    std::pmr::wstring displayName;
    std::pmr::wstring description;
    std::pmr::wstring note;
    int isBonusItem = 0;
    int isVisible = 1;
    int defaultSelected = 1;
    int isUnselectable = 1;
    int isSelected = 1;
    int category = -1;
    std::vector<int> minRequirementIds;
    // Not owned: the requirements live in the updater's list.
    std::vector<const ZvLib_CItemRequirement*> failedSoftRequirements;
    std::vector<const ZvLib_CItemRequirement*> failedHardRequirements;
    int meetsHardRequirements = 1;
    int softRequirementState = 0;
    ZvLib_CItemEventExpressions eventExpressions;
    // Opaque texts kept for the host.
    std::pmr::wstring s1, s2, a1, a2, e1, e2;
};

// A group of installable subcomponents; always valid.
class ZvLib_CItemContainer : public ZvLib_CItemBase {
public:
    ZvLib_CItemContainer() = default;
    explicit ZvLib_CItemContainer(std::pmr::memory_resource* texts) : ZvLib_CItemBase(texts) {}

    int IsContainer() const override { return 1; }

    int showSubcomponentsExpandedByDefault = 1;
    std::vector<int> childIds;
    std::vector<int> childManifestIds;
};
