#pragma once
// Installable items: an application the updater downloads and applies, and a
// subcomponent of a container, which is an application with a place in its container.
#include "updater/core/item_base.h"

#include <optional>
#include <string>
#include <vector>

// What the host may show behind a "more" link: a text with either an address or a dialog.
struct ZvLib_CDescriptionMore {
    std::wstring moreText;
    std::wstring url;
    std::wstring dialogId;
};

class ZvLib_CItemInstallableApp : public ZvLib_CItemBase {
public:
    // The parser fills every text it keeps: it starts from empty texts instead of the
    // placeholders, which would only be allocated to be replaced.
    struct ForParsing {};

    ZvLib_CItemInstallableApp() = default;
    // texts: where the item's texts are allocated (see ZvLib_CItemBase).
    explicit ZvLib_CItemInstallableApp(ForParsing, std::pmr::memory_resource* texts = std::pmr::get_default_resource());
    // Declared so that a move copies: a moved text would keep the source's resource.
    ZvLib_CItemInstallableApp(const ZvLib_CItemInstallableApp&) = default;
    ZvLib_CItemInstallableApp& operator=(const ZvLib_CItemInstallableApp&) = default;

    int IsInstallableApp() const override { return 1; }
    // Valid when it can be downloaded, authenticated and stored: see IsBasicValid and
    // the derived paths.
    int IsValid() const override;                                                   // 29
    virtual int GetIsReplacementInstaller() const { return isReplacementInstaller; } // 30
    virtual int GetReservedInt2() const { return reservedInt2; }                    // 31

    // Sizes, times, address and arguments as the manifest must give them before any
    // file name is derived.
    bool IsBasicValid() const;

    int dlSize = -1;
    int dlSizeMB = -1;
    int requiredSpaceMB = -1;
    int estInstallTimeSecs = -1;
    int estInstallTimeMins = -1;
    int isRebootLikelyRequired = 0;
    int isReplacementInstaller = 0;
    // Kept for hosts; nothing here reads them.
    std::vector<int> reservedInts;
    int reservedInt1 = -1;
    int reservedInt2 = -1;
    int reservedInt3 = -1;
    std::pmr::wstring productGUID;
    std::pmr::wstring desiredMsiFilename{L"dummy"};
    std::pmr::wstring url{L"dummy"};
    std::pmr::wstring urlQs{L"dummy"};
    std::pmr::wstring localPayloadPath{L"dummy"};
    std::pmr::wstring sigUrl{L"dummy"};
    std::pmr::wstring localSigPath{L"dummy"};
    std::pmr::wstring publicKeyPath;
    std::pmr::wstring commandLineArgs;
    std::pmr::wstring packageInfo{L"dummy"};
    int fromManifest = 1;
    int requiresElevation = 1;
    int downloaded = 0;
    int authenticated = 0;
    // Held by value, so that copies of an item never share or double-free it.
    std::optional<ZvLib_CDescriptionMore> descriptionMore;
    int hasApplyAction = 0;
    int isRunCommand = 1;
    std::pmr::wstring commandLine;
    std::pmr::wstring destPath;
    std::pmr::wstring destFilename;
};

class ZvLib_CItemInstallableSubcomponent : public ZvLib_CItemInstallableApp {
public:
    ZvLib_CItemInstallableSubcomponent() = default;
    explicit ZvLib_CItemInstallableSubcomponent(ForParsing tag, std::pmr::memory_resource* texts = std::pmr::get_default_resource())
        : ZvLib_CItemInstallableApp(tag, texts)
    {
    }
    ZvLib_CItemInstallableSubcomponent(const ZvLib_CItemInstallableSubcomponent&) = default;
    ZvLib_CItemInstallableSubcomponent& operator=(const ZvLib_CItemInstallableSubcomponent&) = default;

    int IsInstallableApp() const override { return 0; }
    int IsSubcomponent() const override { return 1; }
    virtual int GetContainerManifestId() const { return containerManifestId; } // 32
    virtual int GetContainerId() const { return containerId; }                 // 33
    virtual void SetContainerId(int id) { containerId = id; }                  // 34

    int containerManifestId = 0;
    int containerId = 0;
    std::vector<int> dependsUponManifestIds;
    std::vector<int> dependsUponIds;
};
