#pragma once
// CUpdaterImp: the updater library's state behind the facade: request groups, the
// loaded manifest objects, the library's variables and the evaluator, and the
// operations on them that need no network (loading a manifest from disk, selecting
// installables). Used from one thread.
#include "updater/core/item_base.h"
#include "updater/core/item_installable.h"
#include "updater/core/item_records.h"
#include "updater/core/request_group.h"
#include "updater/expr/value.h"
#include "updater/expr/zv_expr.h"
#include "updater/transfer/transfer_stats.h"

#include <cstddef>
#include <map>
#include <memory>
#include <memory_resource>
#include <string>
#include <vector>

class CXmlDocument;
class ZvLib_CInstallResult;
class ZvLib_IDownloadEvents;
class ZvLib_IInstallEvents;

namespace zv {
class PayloadHold;
}

namespace zv::expr {
class IMachine;
}

// The selection masks of the standard selection.
enum : int {
    kStandardBonusItemMask = -1,
    kStandardCriteriaResultMask = 77,
    kStandardUserSelectionMask = 2,
    kStandardTypeMask = 2,
};

class CUpdaterImp {
public:
    // The first request group gets one more than this.
    static constexpr int kRequestGroupIdBase = 100;

    explicit CUpdaterImp(zv::expr::IMachine& machine);
    virtual ~CUpdaterImp();
    CUpdaterImp(const CUpdaterImp&) = delete;
    CUpdaterImp& operator=(const CUpdaterImp&) = delete;

    // 1 on success; 0 only when the temporary directory cannot be determined (the
    // object stays usable).
    int Initialize(const std::wstring& libVersion);
    // Empties every list and map, the variables, tempDir and initialised.
    void Reset();

    // Request groups.
    ZvLib_CRequestGroupInfo* CreateRequestGroupInfo();
    ZvLib_CRequestGroupInfo* FindRequestGroupInfo(int id) const;
    std::wstring Lang(int requestGroupId) const;

    // Variables and evaluation.
    void SetVariable(const std::wstring& name, const com_quorvane_value::CValue& value);
    int EvaluateToText(const std::wstring& expression, std::wstring& out);
    // The same into an item's text, which keeps its own storage.
    int EvaluateToText(const std::wstring& expression, std::pmr::wstring& out);
    const std::wstring& GetTempDir() const { return tempDir; }
    const std::wstring& GetPublicKeyPath() const { return publicKeyPath; }

    // Loading. Both return 1 when the document loaded (items that fail validation are
    // dropped and do not change that); 0 adds nothing. Refused while tempDir is
    // unresolved, so that no payload path is ever relative.
    // problem, when given, receives the reader's message of a document that did not load.
    int LoadManifest(const std::wstring& path, const ZvLib_CConfigParamsLoader& config, std::wstring* problem = nullptr);
    int LoadManifestUtf8(const char* bytes, size_t size, const std::wstring& sourceName, const ZvLib_CConfigParamsLoader& config,
                         std::wstring* problem = nullptr);
    // Replaces id by its text in the language's table when there is one.
    void LookupDisplayString(const std::wstring& language, std::wstring& id) const;

    // Per-element parsers, each with the reader on its element. The items they make keep
    // their texts in this updater's arena: they belong in items (AddItem) and live no
    // longer than the next Reset; a copy is independent.
    std::unique_ptr<ZvLib_CItemInstallableApp> ParseApplication(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId);
    // Fills item from an "Application" or "Subcomponent" element; true when it is valid.
    bool ParseApplicationInto(CXmlDocument& doc, ZvLib_CItemInstallableApp& item, const std::wstring& productAbbr, int requestGroupId);
    void ParseContainer(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId);
    std::unique_ptr<ZvLib_CItemRequirement> ParseRequirement(CXmlDocument& doc, const std::wstring& manifestName, int requestGroupId);
    std::unique_ptr<ZvLib_CItemEventString> ParseEventString(CXmlDocument& doc, const std::wstring& manifestName, int requestGroupId);
    std::unique_ptr<ZvLib_CItemDialogItem> ParseDialogItem(CXmlDocument& doc, const std::wstring& productAbbr, int requestGroupId);
    void ParseDisplayStringEntry(CXmlDocument& doc, const std::wstring& productAbbr, size_t sectionEntries = 0);

    // Retrieval (Windows build only): fetches the group's manifest and signature,
    // authenticates the manifest and loads the very bytes that were authenticated.
    int CheckForInstallables2(int obtainManifest, int useOtherSources, int requestGroupId);
    int ObtainManifest2(const ZvLib_CConfigParamsLoader& config);
    // The address a check of the group fetches its manifest from, query included; empty
    // for an unknown group.
    std::wstring ManifestUrl(int requestGroupId) const;

    // Selection.
    int EvaluateItemRequirement(ZvLib_CItemBase& item, int deselectOnHardFailure, int deselectOnSoftFailure);
    int GetListOfItems(std::vector<ZvLib_CItemBase*>& out, int eBonusItemMask, int eCriteriaResultMask, int eUserSelectionMask, int eTypeMask);
    int GetListOfSelectedInstallables(std::vector<ZvLib_CItemBase*>& out);

    // Download and install passes (Windows). 1 when every attempted installable was
    // fetched and authenticated, or authenticated and applied; both out flags are cleared
    // on entry.
    int DownloadInstallables(unsigned& userCanceled, unsigned& connectionError, ZvLib_IDownloadEvents* sink);
    int InstallInstallables(std::vector<ZvLib_CInstallResult>* results, ZvLib_IInstallEvents* sink);
    // Authenticates the item's payload; deletes it and its signature when it fails. With
    // hold, the payload is opened deny-write and deny-delete before it is checked and
    // stays so in *hold on success, so that what is applied is what was checked.
    int AuthenticatePayload_DeleteIfFail(ZvLib_CItemInstallableApp& item, zv::PayloadHold* hold = nullptr);
    // Deletes path and path + ".part"; kind ("payload", "signature") is for the log.
    int DeleteLocalFileAndCache(const std::wstring& path, const std::wstring& kind);

    // Gives the item the next internal id and takes it.
    ZvLib_CItemBase* AddItem(std::unique_ptr<ZvLib_CItemBase> item);

private:
    // The texts of the items the parsers make; released by Reset after the items.
    // Declared before items, so that it also outlives them when the updater goes.
    std::pmr::monotonic_buffer_resource m_itemTexts{kItemTextsFirstBlock};
    static constexpr size_t kItemTextsFirstBlock = 64 * 1024;

public:
    // Items made by the parsers may not be taken out of the list past the updater's
    // life or its next Reset (their texts are in its arena); copy them instead.
    std::vector<std::unique_ptr<ZvLib_CItemBase>> items;
    std::vector<std::unique_ptr<ZvLib_CItemDialogItem>> dialogs;
    std::vector<std::unique_ptr<ZvLib_CItemRequirement>> requirements;
    std::vector<std::unique_ptr<ZvLib_CItemEventString>> eventStrings;
    std::map<std::wstring, std::unique_ptr<ZvLib_CItemLangStrings>> langStrings;
    std::vector<std::unique_ptr<ZvLib_CRequestGroupInfo>> requestGroups;
    std::wstring cancelEventName;
    // The key file used when no key resource is available; the authentication code
    // builds its key source from it.
    std::wstring publicKeyPath;
    ZvLib_CTransferStats transferStats;
    int initialised = 0;
    std::wstring tempDir;
    ZVExpr evaluator;
    com_quorvane_value::VariableTable variables;

private:
    // The first requirement for each (request group, id), for one selection.
    class RequirementIndex;
    int EvaluateItemRequirement(ZvLib_CItemBase& item, int deselectOnHardFailure, int deselectOnSoftFailure, RequirementIndex* index);
    // The version test of the selection: true when the item may be offered given the
    // versions its group reports as installed.
    bool PassesVersionTest(const ZvLib_CItemBase& item);
    // What a requirement's expression gave with the library's variables.
    struct RequirementOutcome {
        bool evaluated = false; // false: the expression could not be evaluated
        bool zero = false;      // the value equals the integer 0
    };
    // Kept in index, when given, for the rest of the selection where it may be.
    RequirementOutcome EvaluateRequirement(const ZvLib_CItemRequirement& requirement, RequirementIndex* index);
    // Gives the evaluator the library's variables before an evaluation. While a load or
    // a selection runs, nothing writes the library's table, so the evaluator's copy
    // holds until the evaluator writes its own table (SetVar, say).
    void CopyVariablesToEvaluator();
    struct HeldVariables;
    class HoldVariables; // held_variables.h
    HeldVariables* m_held = nullptr;
    // Logs and loads a document the reader has read (loaded true), or logs why not.
    // The language tables found while one load runs (as asked for, each to its table or
    // to null): during a load only the display-string parser adds tables.
    struct LanguageCache;
    LanguageCache* m_languages = nullptr;
    const ZvLib_CItemLangStrings* FindLanguageTable(const std::wstring& language) const;
    // out = the text of the display string id in table, or id itself when there is none.
    void ResolveDisplayString(const ZvLib_CItemLangStrings* table, const std::wstring& id, std::wstring& out) const;
    // The raw lists of a "Subcomponent" element, read in the same pass as its application part.
    struct SubcomponentTexts {
        std::wstring dependsUpon;
        std::wstring minRequirements;
    };
    bool ParseApplicationFields(CXmlDocument& doc, ZvLib_CItemInstallableApp& item, const std::wstring& productAbbr, int requestGroupId,
                                SubcomponentTexts* sub);
    int LoadDocument(CXmlDocument& doc, bool loaded, const std::wstring& sourceName, const ZvLib_CConfigParamsLoader& config, std::wstring* problem);
    void LoadManifestElement(CXmlDocument& doc, const ZvLib_CConfigParamsLoader& config);

    zv::expr::IMachine& m_machine;
    int m_largestInternalId = 0;
};
