// Containers: their subcomponents, internal ids and dependencies.
#include "core_fixture.h"

using namespace zvcoretest;

namespace {

std::string Subcomponent(int id, const std::string& extra, const std::string& url = "http://h/s.exe")
{
    std::string app = Application(id, extra, "", url);
    return "<Subcomponent" + app.substr(std::string("<Application").size(), app.size() - std::string("<Application").size() - std::string("</Application>").size()) +
           "</Subcomponent>";
}

TEST_F(CoreTest, ContainersComeFirstWithTheirValidSubcomponents)
{
    std::string container = "<Container id=\"50\" componentName=\"suite\" componentVersion=\"2.0\" isSelected=\"1\" isUnselectable=\"1\" "
                            "showSubcomponentsExpandedByDefault=\"0\" category=\"Recommended\" a1=\"x\">"
                            "<DisplayNameId>IDS_SUITE</DisplayNameId>" +
                            Subcomponent(51, "<MinRequirementsIds>1</MinRequirementsIds>") + Subcomponent(52, "", "") +
                            Subcomponent(53, "<DependsUponSubcomponentIds>51, 52 ,99</DependsUponSubcomponentIds><MinRequirementsIds>3,4</MinRequirementsIds>") +
                            "</Container>";
    // The application is written first but containers are read first.
    ASSERT_EQ(Load(Manifest(Application(1) + container)), 1);
    ASSERT_EQ(imp->items.size(), 4u);

    auto* c = dynamic_cast<ZvLib_CItemContainer*>(imp->items[0].get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->manifestId, 50);
    EXPECT_EQ(c->internalId, 1);
    EXPECT_EQ(c->category, 1);
    EXPECT_EQ(c->showSubcomponentsExpandedByDefault, 0);
    EXPECT_EQ(c->displayName, L"IDS_SUITE");
    EXPECT_EQ(c->a1, L"x");
    EXPECT_EQ(c->childIds, (std::vector<int>{2, 3}));
    EXPECT_EQ(c->childManifestIds, (std::vector<int>{51, 53}));

    auto* s51 = dynamic_cast<ZvLib_CItemInstallableSubcomponent*>(imp->items[1].get());
    auto* s53 = dynamic_cast<ZvLib_CItemInstallableSubcomponent*>(imp->items[2].get());
    ASSERT_NE(s51, nullptr);
    ASSERT_NE(s53, nullptr);
    EXPECT_EQ(s51->IsSubcomponent(), 1);
    EXPECT_EQ(s51->IsInstallableApp(), 0);
    EXPECT_EQ(s51->manifestId, 51);
    EXPECT_EQ(s51->containerId, 1);
    EXPECT_EQ(s51->containerManifestId, 50);
    EXPECT_EQ(s51->internalId, 2);
    EXPECT_EQ(s53->internalId, 3);
    // 52 was dropped (no address) and 99 is not in the container.
    EXPECT_EQ(s53->dependsUponManifestIds, (std::vector<int>{51, 52, 99}));
    EXPECT_EQ(s53->dependsUponIds, (std::vector<int>{2}));
    EXPECT_EQ(s53->minRequirementIds, (std::vector<int>{3, 4, 1}));
    EXPECT_EQ(s51->localPayloadPath, L"C:\\users\\user\\Temp\\zv\\TVK_51_s.exe");

    EXPECT_EQ(imp->items[3]->manifestId, 1);
    EXPECT_EQ(imp->items[3]->internalId, 4);
}

TEST_F(CoreTest, ContainerTextsTheLastOfEachNameAmongSubcomponents)
{
    const std::string strings = "<DisplayStrings><Entry id=\"IDS_SUITE\"><String lang=\"enu\">Suite</String></Entry>"
                                "<Entry id=\"IDS_DESC\"><String lang=\"enu\">Desc &amp; more</String></Entry></DisplayStrings>";
    const std::string container = "<Container id=\"7\"><E1>first</E1><DisplayNameId>IDS_OLD</DisplayNameId>" + Subcomponent(8, "") +
                                  "<DisplayNameId>IDS_SUITE</DisplayNameId><E1>e1 <b>raw</b></E1>" + Subcomponent(9, "") +
                                  "<E2/><DescriptionId>ids_desc</DescriptionId><Other>x</Other></Container>";
    ASSERT_EQ(Load(Manifest(container, strings)), 1);
    ASSERT_EQ(imp->items.size(), 3u);
    auto* c = dynamic_cast<ZvLib_CItemContainer*>(imp->items[0].get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->displayName, L"Suite");
    EXPECT_EQ(c->description, L"Desc &amp; more"); // raw content, looked up upper-cased
    EXPECT_EQ(c->e1, L"e1 <b>raw</b>");
    EXPECT_EQ(c->e2, L"");
    EXPECT_EQ(c->childManifestIds, (std::vector<int>{8, 9}));
    EXPECT_EQ(imp->items[1]->manifestId, 8);
    EXPECT_EQ(imp->items[2]->manifestId, 9);
}

TEST_F(CoreTest, AContainerWithoutValidSubcomponentsIsStillAdded)
{
    ASSERT_EQ(Load(Manifest("<Container id=\"5\">" + Subcomponent(6, "", "") + "</Container>")), 1);
    ASSERT_EQ(imp->items.size(), 1u);
    EXPECT_EQ(imp->items[0]->IsContainer(), 1);
    EXPECT_TRUE(static_cast<ZvLib_CItemContainer*>(imp->items[0].get())->childIds.empty());
}

// Containers, applications and dialog items interleaved over two "UiItems" sections, with
// elements of other names among them: all containers first (with their subcomponents),
// then all applications, then the dialog items, each kind in document order.
TEST_F(CoreTest, UiItemsAreTakenByKindInDocumentOrderAcrossSections)
{
    auto container = [](int id, const std::string& subs) { return "<Container id=\"" + std::to_string(id) + "\">" + subs + "</Container>"; };
    auto dialog = [](const std::string& id) { return "<DialogItem id=\"" + id + "\"/>"; };
    const std::string first = Application(1) + container(10, Subcomponent(11, "")) + dialog("d1") + Application(2) +
                              "<ApplicationX id=\"90\"/><Containers/>" + container(20, Subcomponent(21, "") + Subcomponent(22, ""));
    const std::string second = dialog("d2") + Application(3) + container(30, "") + dialog("d3");
    ASSERT_EQ(Load(Manifest(first + "</UiItems><Requirements/><UiItems>" + second)), 1);

    std::vector<int> manifestIds, internalIds;
    for (const auto& item : imp->items) {
        manifestIds.push_back(item->manifestId);
        internalIds.push_back(item->internalId);
    }
    EXPECT_EQ(manifestIds, (std::vector<int>{10, 11, 20, 21, 22, 30, 1, 2, 3}));
    EXPECT_EQ(internalIds, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(static_cast<ZvLib_CItemContainer*>(imp->items[2].get())->childIds, (std::vector<int>{4, 5}));
    std::vector<std::wstring> dialogIds;
    for (const auto& d : imp->dialogs) dialogIds.push_back(d->dialogId);
    EXPECT_EQ(dialogIds, (std::vector<std::wstring>{L"d1", L"d2", L"d3"}));

    // A second load appends in the same order after what is there.
    ASSERT_EQ(Load(Manifest(Application(4) + container(40, Subcomponent(41, "")))), 1);
    ASSERT_EQ(imp->items.size(), 12u);
    EXPECT_EQ(imp->items[9]->manifestId, 40);
    EXPECT_EQ(imp->items[10]->manifestId, 41);
    EXPECT_EQ(imp->items[11]->manifestId, 4);
    EXPECT_EQ(imp->items[11]->internalId, 12);
}

} // namespace
