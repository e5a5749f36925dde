// Where a loaded item's texts live: copies of loaded items own their texts, so they stay
// whole after the updater that loaded them is reset or gone, and every text of a large
// load reads back as written.
#include "core_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using zvcoretest::Application;
using zvcoretest::Manifest;

// Item texts compared with texts built here.
std::wstring Text(const std::pmr::wstring& text)
{
    return std::wstring(text);
}

const std::string kContainer =
    "<Container id=\"50\" componentName=\"suite\" componentVersion=\"2.0\" isSelected=\"1\" a1=\"container a1\">"
    "<Subcomponent id=\"51\" componentName=\"part\" componentVersion=\"2.1\" isSelected=\"1\" isUnselectable=\"1\" requiredSpaceMB=\"1\" "
    "estInstallTimeMins=\"1\"><Url>http://dl.example.invalid/pkg/part.exe</Url></Subcomponent></Container>";

struct Loaded {
    std::unique_ptr<zv::expr::FakeMachine> machine = std::make_unique<zv::expr::FakeMachine>();
    std::unique_ptr<ZvLib_CUpdater> updater = std::make_unique<ZvLib_CUpdater>(*machine);
    CUpdaterImp* imp = nullptr;

    explicit Loaded(const std::string& manifest)
    {
        machine->programDir = L"C:\\Program Files\\Vesk";
        EXPECT_EQ(updater->Initialize(), 1);
        imp = updater->Imp();
        ZvLib_CRequestGroupInfo* group = nullptr;
        EXPECT_EQ(updater->CreateRequestGroupInfo(&group), 1);
        group->config.productAbbr = L"TVK";
        group->config.language = L"ENU";
        EXPECT_EQ(imp->LoadManifestUtf8(manifest.data(), manifest.size(), L"inline.man.xml", group->config), 1);
    }
    template <class T>
    T& Item(int manifestId)
    {
        for (auto& item : imp->items)
            if (item->manifestId == manifestId) return dynamic_cast<T&>(*item);
        ADD_FAILURE() << "no item " << manifestId;
        throw std::runtime_error("no item");
    }
};

TEST(ItemStorage, CopiesOutliveTheUpdaterAndItsReset)
{
    const std::string manifest = Manifest(Application(7, "<DesiredMsiFilename>setup</DesiredMsiFilename>", "productGUID=\"{G-7}\" note=\"the note\"") + kContainer);
    for (bool resetFirst : {true, false}) {
        Loaded loaded(manifest);
        ZvLib_CItemInstallableApp app = loaded.Item<ZvLib_CItemInstallableApp>(7);
        // A move leaves the source's storage behind as a copy does.
        ZvLib_CItemInstallableSubcomponent sub = std::move(loaded.Item<ZvLib_CItemInstallableSubcomponent>(51));
        ZvLib_CItemContainer container = loaded.Item<ZvLib_CItemContainer>(50);
        ZvLib_CItemInstallableApp assigned;
        assigned = loaded.Item<ZvLib_CItemInstallableApp>(7);
        if (resetFirst) loaded.imp->Reset();
        loaded.updater.reset();
        loaded.machine.reset();

        for (const ZvLib_CItemInstallableApp* a : {&app, &assigned}) {
            EXPECT_EQ(a->componentName, L"app7");
            EXPECT_EQ(a->GetComponentVersion(), L"1.0.0.0");
            EXPECT_EQ(a->productGUID, L"{G-7}");
            EXPECT_EQ(a->note, L"the note");
            EXPECT_EQ(a->productAbbr, L"TVK");
            EXPECT_EQ(a->url, L"http://dl.example.invalid/pkg/installer.exe");
            EXPECT_EQ(a->sigUrl, L"http://dl.example.invalid/pkg/installer.exe.sig");
            EXPECT_EQ(a->localPayloadPath, L"C:\\users\\user\\Temp\\zv\\TVK\\7\\setup.msi");
            EXPECT_EQ(a->localSigPath, L"C:\\users\\user\\Temp\\zv\\TVK\\7\\setup.msi.sig");
            EXPECT_EQ(a->publicKeyPath, L"C:\\Program Files\\Vesk\\quorkey.pub");
            EXPECT_EQ(a->IsValid(), 1);
        }
        EXPECT_EQ(sub.componentName, L"part");
        EXPECT_EQ(sub.localPayloadPath, L"C:\\users\\user\\Temp\\zv\\TVK_51_part.exe");
        EXPECT_EQ(sub.IsValid(), 1);
        EXPECT_EQ(container.componentName, L"suite");
        EXPECT_EQ(container.GetA1(), L"container a1");
        // The copies' texts are theirs to change.
        app.url += L"?x";
        sub.componentName.assign(100, L'p');
        EXPECT_EQ(app.url, L"http://dl.example.invalid/pkg/installer.exe?x");
        EXPECT_EQ(sub.componentName.size(), 100u);
    }
}

TEST(ItemStorage, AnItemGivenACopyKeepsItAfterTheSourceGoes)
{
    Loaded loaded(Manifest(Application(1) + Application(2, "", "", "http://dl.example.invalid/other/two.exe")));
    auto& first = loaded.Item<ZvLib_CItemInstallableApp>(1);
    {
        auto source = std::make_unique<ZvLib_CItemInstallableApp>(loaded.Item<ZvLib_CItemInstallableApp>(2));
        source->componentName = std::wstring(300, L'n');
        first = *source;
    }
    EXPECT_EQ(Text(first.componentName), std::wstring(300, L'n'));
    EXPECT_EQ(first.url, L"http://dl.example.invalid/other/two.exe");
    // The source's own item is untouched (the copy took its manifest id too).
    ASSERT_EQ(loaded.imp->items.size(), 2u);
    EXPECT_EQ(loaded.imp->items[1]->componentName, L"app2");
}

TEST(ItemStorage, EveryTextOfALargeLoadReadsBackAsWritten)
{
    // Enough text for the arena to take many blocks, in two loads into one updater.
    const int kApps = 600;
    std::string first, second;
    for (int i = 1; i <= kApps; ++i) {
        const std::string url = "http://dl.example.invalid/" + std::string(40 + i % 50, 'd') + "/pkg" + std::to_string(i) + ".exe";
        (i <= kApps / 2 ? first : second) += Application(i, "", "productGUID=\"{" + std::to_string(i * 7) + "}\"", url);
    }
    Loaded loaded(Manifest(first));
    const std::string more = Manifest(second);
    ZvLib_CRequestGroupInfo* group = loaded.imp->requestGroups.front().get();
    ASSERT_EQ(loaded.imp->LoadManifestUtf8(more.data(), more.size(), L"second.man.xml", group->config), 1);
    ASSERT_EQ(loaded.imp->items.size(), size_t(kApps));
    for (int i = 1; i <= kApps; ++i) {
        const auto& app = loaded.Item<ZvLib_CItemInstallableApp>(i);
        const std::wstring url = L"http://dl.example.invalid/" + std::wstring(40 + i % 50, L'd') + L"/pkg" + std::to_wstring(i) + L".exe";
        EXPECT_EQ(Text(app.componentName), L"app" + std::to_wstring(i)) << i;
        EXPECT_EQ(Text(app.productGUID), L"{" + std::to_wstring(i * 7) + L"}") << i;
        EXPECT_EQ(Text(app.url), url) << i;
        EXPECT_EQ(Text(app.sigUrl), url + L".sig") << i;
        EXPECT_EQ(Text(app.localPayloadPath), L"C:\\users\\user\\Temp\\zv\\TVK_" + std::to_wstring(i) + L"_pkg" + std::to_wstring(i) + L".exe") << i;
    }
}

} // namespace
