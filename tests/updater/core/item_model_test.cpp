// The item classes: initial values, kinds, selection changes and the validity rule.
#include "updater/core/item_installable.h"
#include "updater/core/item_records.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

TEST(ItemModel, InitialValues)
{
    ZvLib_CItemInstallableApp app;
    EXPECT_EQ(app.internalId, -1);
    EXPECT_EQ(app.isBonusItem, 0);
    EXPECT_EQ(app.isVisible, 1);
    EXPECT_EQ(app.defaultSelected, 1);
    EXPECT_EQ(app.isUnselectable, 1);
    EXPECT_EQ(app.isSelected, 1);
    EXPECT_EQ(app.category, -1);
    EXPECT_EQ(app.meetsHardRequirements, 1);
    EXPECT_EQ(app.softRequirementState, 0);
    for (int v : {app.dlSize, app.dlSizeMB, app.requiredSpaceMB, app.estInstallTimeSecs, app.estInstallTimeMins, app.reservedInt1,
                  app.reservedInt2, app.reservedInt3})
        EXPECT_EQ(v, -1);
    for (const std::pmr::wstring* t : {&app.desiredMsiFilename, &app.url, &app.urlQs, &app.localPayloadPath, &app.sigUrl, &app.localSigPath, &app.packageInfo})
        EXPECT_EQ(*t, L"dummy");
    EXPECT_EQ(app.commandLineArgs, L"");
    EXPECT_EQ(app.fromManifest, 1);
    EXPECT_EQ(app.requiresElevation, 1);
    EXPECT_EQ(app.downloaded, 0);
    EXPECT_EQ(app.authenticated, 0);
    EXPECT_FALSE(app.descriptionMore.has_value());
    EXPECT_EQ(app.hasApplyAction, 0);
    EXPECT_EQ(app.isRunCommand, 1);
    EXPECT_EQ(app.IsValid(), 0);

    ZvLib_CItemContainer container;
    EXPECT_EQ(container.showSubcomponentsExpandedByDefault, 1);
    EXPECT_EQ(container.IsValid(), 1);
    ZvLib_CItemLangStrings strings;
    EXPECT_EQ(strings.GetLanguage(), L"-1");
}

TEST(ItemModel, KindsAnswerOnlyForTheirOwnClass)
{
    ZvLib_CItemBase base;
    ZvLib_CItemContainer container;
    ZvLib_CItemInstallableApp app;
    ZvLib_CItemInstallableSubcomponent sub;
    struct {
        const ZvLib_CItemBase* item;
        int container, app, sub;
    } cases[] = {{&base, 0, 0, 0}, {&container, 1, 0, 0}, {&app, 0, 1, 0}, {&sub, 0, 0, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.item->IsContainer(), c.container);
        EXPECT_EQ(c.item->IsInstallableApp(), c.app);
        EXPECT_EQ(c.item->IsSubcomponent(), c.sub);
    }
    sub.SetContainerId(9);
    EXPECT_EQ(sub.GetContainerId(), 9);
}

TEST(ItemModel, SelectionChangesOnlyWhenTheItemAllowsIt)
{
    ZvLib_CItemBase item;
    EXPECT_EQ(item.SetSelected(0), 1);
    EXPECT_EQ(item.GetIsSelected(), 0);
    item.isUnselectable = 0;
    EXPECT_EQ(item.SetSelected(1), 0);
    EXPECT_EQ(item.GetIsSelected(), 0);
}

TEST(ItemModel, MeetsAllRequirementsNeedsHardMetAndSoftStateZero)
{
    ZvLib_CItemBase item;
    struct {
        int hard, soft, all;
    } cases[] = {{1, 0, 1}, {1, 1, 0}, {1, -1, 0}, {0, 0, 0}};
    for (const auto& c : cases) {
        item.meetsHardRequirements = c.hard;
        item.softRequirementState = c.soft;
        EXPECT_EQ(item.MeetsAllRequirements(), c.all) << c.hard << " " << c.soft;
    }
}

ZvLib_CItemInstallableApp ValidApp()
{
    ZvLib_CItemInstallableApp app;
    app.requiredSpaceMB = 0;
    app.estInstallTimeMins = 0;
    app.url = L"http://h/x.exe";
    app.commandLineArgs = L"/S";
    app.localPayloadPath = L"C:\\t\\zv\\TVK_1_x.exe";
    app.sigUrl = L"http://h/x.exe.sig";
    app.localSigPath = L"C:\\t\\zv\\TVK_1_x.exe.sig";
    app.publicKeyPath = L"C:\\p\\quorkey.pub";
    return app;
}

TEST(ItemModel, ValidityRule)
{
    EXPECT_EQ(ValidApp().IsValid(), 1);
    struct Case {
        const char* what;
        std::function<void(ZvLib_CItemInstallableApp&)> change;
    } cases[] = {
        {"space -1", [](auto& a) { a.requiredSpaceMB = -1; }},
        {"minutes -1", [](auto& a) { a.estInstallTimeMins = -1; }},
        {"url empty", [](auto& a) { a.url.clear(); }},
        {"url DUMMY", [](auto& a) { a.url = L"DUMMY"; }},
        {"arguments Dummy", [](auto& a) { a.commandLineArgs = L"Dummy"; }},
        {"payload path empty", [](auto& a) { a.localPayloadPath.clear(); }},
        {"payload path dummy", [](auto& a) { a.localPayloadPath = L"dummy"; }},
        {"sig url dummy", [](auto& a) { a.sigUrl = L"dummy"; }},
        {"sig path empty", [](auto& a) { a.localSigPath.clear(); }},
        {"key path empty", [](auto& a) { a.publicKeyPath.clear(); }},
    };
    for (const auto& c : cases) {
        ZvLib_CItemInstallableApp app = ValidApp();
        c.change(app);
        EXPECT_EQ(app.IsValid(), 0) << c.what;
    }
    // Empty arguments are fine; only the placeholder is not.
    ZvLib_CItemInstallableApp app = ValidApp();
    app.commandLineArgs.clear();
    EXPECT_EQ(app.IsValid(), 1);
}

TEST(ItemModel, CopiesOwnTheirDescriptionMore)
{
    auto original = std::make_unique<ZvLib_CItemInstallableApp>(ValidApp());
    original->descriptionMore = ZvLib_CDescriptionMore{L"More about it", L"http://h/more", L""};
    ZvLib_CItemInstallableApp copy = *original;
    original.reset();
    ASSERT_TRUE(copy.descriptionMore.has_value());
    EXPECT_EQ(copy.descriptionMore->moreText, L"More about it");
    EXPECT_EQ(copy.descriptionMore->url, L"http://h/more");
    ZvLib_CItemInstallableApp assigned;
    assigned = copy;
    copy.descriptionMore.reset();
    ASSERT_TRUE(assigned.descriptionMore.has_value());
    EXPECT_EQ(assigned.descriptionMore->moreText, L"More about it");
}

TEST(ItemModel, EventStringValidity)
{
    ZvLib_CItemEventString e;
    EXPECT_EQ(e.IsValid(), 0);
    e.id = L"E1";
    e.manifestName = L"m";
    e.note = L"";
    e.valueExpression = L"1";
    e.requestGroupId = 101;
    EXPECT_EQ(e.IsValid(), 1);
    e.note = L"Dummy"; // compared with case
    EXPECT_EQ(e.IsValid(), 1);
    e.note = L"dummy";
    EXPECT_EQ(e.IsValid(), 0);
    e.note = L"";
    e.requestGroupId = -1;
    EXPECT_EQ(e.IsValid(), 0);
}

TEST(ItemModel, LangStringsKeepIdsUpperCase)
{
    ZvLib_CItemLangStrings strings;
    strings.Add(L"ids_title", L"Title");
    std::wstring text;
    EXPECT_TRUE(strings.Lookup(L"IDS_TITLE", text));
    EXPECT_EQ(text, L"Title");
    EXPECT_FALSE(strings.Lookup(L"ids_title", text));
    strings.Clear();
    EXPECT_FALSE(strings.Lookup(L"IDS_TITLE", text));
}

} // namespace
