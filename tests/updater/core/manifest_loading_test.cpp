// Loading manifests: the document walk, display strings, application fields,
// requirements, event strings and dialog items.
#include "core_fixture.h"

#include "updater/config/xml_document.h"
#include "updater/core/manifest_text.h"

#include "support/log_capture.h"
#include "support/test_paths.h"

using namespace zvcoretest;

namespace {

const std::string kStrings =
    "<DisplayStrings>"
    "<Entry id=\" IDS_NAME \"><String lang=\"ENU\">Tandemix &amp; Co</String><String lang=\"deu\">Tandemix DE</String></Entry>"
    "<Entry id=\"ids_desc\"><String lang=\"enu\">The <b>utility</b></String></Entry>"
    "<Entry id=\"IDS_MORE\"><String lang=\"enu\">Read more</String></Entry>"
    "<Entry id=\"IDS_WARN\"><String lang=\"enu\">Too old</String></Entry>"
    "<Entry id=\"\"><String lang=\"enu\">nameless</String></Entry>"
    "<Entry id=\"IDS_NOLANG\"><String lang=\"-1\">unset</String></Entry>"
    "</DisplayStrings>";

std::string WithStrings(const std::string& uiItems, const std::string& rest = "")
{
    return "<ZV_Manifest name=\"tandemix\">" + kStrings + "<UiItems>" + uiItems + "</UiItems>" + rest + "</ZV_Manifest>";
}

TEST_F(CoreTest, LoadingLogsTheFileAndEachManifest)
{
    zv::test::LogLines log(2);
    ASSERT_EQ(Load(Manifest(Application(1) + Application(2))), 1);
    std::vector<std::wstring> expected = {
        L"[Info1] ZV: **** Manifest: Loaded manifest file 'inline.man.xml'\n",
        L"[Info1] ZV: **** Manifest info: name='tandemix' revision='7' internalName='tdx'\n",
    };
    EXPECT_EQ(log.All(), expected);
    ASSERT_EQ(imp->items.size(), 2u);
    EXPECT_EQ(imp->items[0]->internalId, 1);
    EXPECT_EQ(imp->items[1]->internalId, 2);

    // A second top-level element makes the document ill-formed for the reader: nothing loads.
    EXPECT_EQ(Load(Manifest(Application(3)) + "<ZV_Manifest name=\"second\"/>"), 0);
    EXPECT_EQ(imp->items.size(), 2u);
}

TEST_F(CoreTest, LoadManifestReadsAFileAndRefusesWhatDoesNotLoad)
{
    zv::test::ScratchDir dir(L"core_load_file");
    std::wstring path = dir.File(L"p.man.xml");
    zv::test::WriteFileBytes(path, Manifest(Application(3)));
    EXPECT_EQ(imp->LoadManifest(path, group->config), 1);
    ASSERT_EQ(imp->items.size(), 1u);

    zv::test::LogLines log(1);
    EXPECT_EQ(imp->LoadManifest(dir.File(L"missing.xml"), group->config), 0);
    EXPECT_EQ(log.Count(L"ZvLib ERROR: LoadManifest: cannot load manifest file '" + dir.File(L"missing.xml") + L"': "), 1);
    EXPECT_EQ(Load("<ZV_Manifest><UiItems>" + Application(4) + "</UiItems>"), 0); // unterminated
    EXPECT_EQ(imp->items.size(), 1u);
}

TEST_F(CoreTest, LoadingAgainAppendsWithNewInternalIds)
{
    ASSERT_EQ(Load(Manifest(Application(1))), 1);
    ASSERT_EQ(Load(Manifest(Application(1))), 1);
    ASSERT_EQ(imp->items.size(), 2u);
    EXPECT_EQ(imp->items[1]->internalId, 2);
}

TEST_F(CoreTest, ApplicationFields)
{
    ASSERT_EQ(Load(WithStrings(Application(7,
                                           "<DisplayNameId>ids_name</DisplayNameId><DescriptionId>IDS_DESC</DescriptionId>"
                                           "<UrlQs>a=1&amp;b=2</UrlQs><PackageInfo>pkg</PackageInfo><E1><x/>e1</E1><E2>e2</E2>"
                                           "<CommandLineArgs>\"/S /D=\" + tempdir</CommandLineArgs>"
                                           "<MinRequirementsIds> 1, 2,3\r\n</MinRequirementsIds>"
                                           "<EventExpressions><OnStart>1 + 1</OnStart><OnEnd>\"done\"</OnEnd></EventExpressions>",
                                           "productGUID=\"{G}\" note=\"n\" isBonusItem=\"1\" isVisible=\"0\" isSelected=\"1\" isUnselectable=\"0\" "
                                           "dlSizeMB=\"3\" dlSize=\"3000\" estInstallTimeSecs=\"50\" isRebootLikelyRequired=\"1\" "
                                           "isReplacementInstaller=\"1\" s1=\"S1\" s2=\"S2\" a1=\"A1\" a2=\"A2\""))),
              1);
    ZvLib_CItemInstallableApp* app = App(0);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->manifestId, 7);
    EXPECT_EQ(app->requestGroupId, 101);
    EXPECT_EQ(app->productAbbr, L"TVK");
    EXPECT_EQ(app->productGUID, L"{G}");
    EXPECT_EQ(app->componentName, L"app7");
    EXPECT_EQ(app->displayName, L"Tandemix &amp; Co"); // raw content
    EXPECT_EQ(app->description, L"The <b>utility</b>");
    EXPECT_EQ(app->urlQs, L"a=1&b=2");
    EXPECT_EQ(app->packageInfo, L"pkg");
    EXPECT_EQ(app->e1, L"<x/>e1");
    EXPECT_EQ(app->e2, L"e2");
    EXPECT_EQ(app->commandLineArgs, L"/S /D=C:\\users\\user\\Temp");
    EXPECT_EQ(app->minRequirementIds, (std::vector<int>{1, 2, 3}));
    std::wstring expression;
    EXPECT_TRUE(app->eventExpressions.Lookup(L"OnStart", expression));
    EXPECT_EQ(expression, L"1 + 1");
    EXPECT_TRUE(app->eventExpressions.Lookup(L"OnEnd", expression));
    EXPECT_EQ(expression, L"\"done\"");
    EXPECT_EQ(app->note, L"n");
    EXPECT_EQ(app->isBonusItem, 1);
    EXPECT_EQ(app->isVisible, 0);
    EXPECT_EQ(app->defaultSelected, 1);
    EXPECT_EQ(app->isUnselectable, 0);
    EXPECT_EQ(app->dlSizeMB, 3);
    EXPECT_EQ(app->dlSize, 3000);
    EXPECT_EQ(app->estInstallTimeSecs, 50);
    EXPECT_EQ(app->isRebootLikelyRequired, 1);
    EXPECT_EQ(app->GetIsReplacementInstaller(), 1);
    EXPECT_EQ(app->GetS1() + app->GetS2() + app->GetA1() + app->GetA2(), L"S1S2A1A2");
    EXPECT_EQ(app->publicKeyPath, L"C:\\Program Files\\Vesk\\quorkey.pub");
    EXPECT_EQ(app->internalId, 1);
    EXPECT_EQ(app->fromManifest, 1);
}

TEST_F(CoreTest, MissingOptionalTextsAreEmptyNotThePlaceholder)
{
    ASSERT_EQ(Load(Manifest(Application(1))), 1);
    ZvLib_CItemInstallableApp* app = App(0);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->urlQs, L"");
    EXPECT_EQ(app->desiredMsiFilename, L"");
    EXPECT_EQ(app->packageInfo, L"");
    EXPECT_EQ(app->commandLineArgs, L"");
    EXPECT_FALSE(app->descriptionMore.has_value());
}

TEST_F(CoreTest, DisplayStringIdsFollowTheGroupsLanguage)
{
    group->config.language = L"DEU";
    ASSERT_EQ(Load(WithStrings(Application(1, "<DisplayNameId>IDS_NAME</DisplayNameId><DescriptionId>IDS_DESC</DescriptionId>"))), 1);
    EXPECT_EQ(App(0)->displayName, L"Tandemix DE");
    EXPECT_EQ(App(0)->description, L"IDS_DESC"); // no German entry: the id itself

    std::wstring id = L"IDS_NAME";
    imp->LookupDisplayString(L"fra", id);
    EXPECT_EQ(id, L"IDS_NAME");
    id = L" IDS_NAME"; // looked up upper-cased, not trimmed
    imp->LookupDisplayString(L"enu", id);
    EXPECT_EQ(id, L" IDS_NAME");
    // Entries without id or with the unset language are not added.
    EXPECT_EQ(imp->langStrings.count(L"-1"), 0u);
    EXPECT_EQ(imp->langStrings.at(L"enu")->strings.size(), 4u);
    EXPECT_EQ(imp->langStrings.at(L"enu")->productAbbr, L"TVK");
}

// Every "DisplayStrings" section counts, an empty one included; a later text for an id
// replaces the earlier one, and a language first seen in a later section is kept whole.
TEST_F(CoreTest, DisplayStringsFromEverySection)
{
    std::string manifest = "<ZV_Manifest name=\"tandemix\">" + kStrings + "<DisplayStrings/>" +
                           "<DisplayStrings><Entry id=\"IDS_NAME\"><String lang=\"enu\">Renamed</String></Entry>";
    for (int i = 0; i < 300; ++i)
        manifest += "<Entry id=\"IDS_F" + std::to_string(i) + "\"><String lang=\"fra\">texte " + std::to_string(i) + "</String></Entry>";
    manifest += "</DisplayStrings><UiItems>" + Application(1) + "</UiItems></ZV_Manifest>";
    ASSERT_EQ(Load(manifest), 1);
    EXPECT_EQ(imp->langStrings.at(L"enu")->strings.size(), 4u);
    EXPECT_EQ(imp->langStrings.at(L"deu")->strings.size(), 1u);
    ASSERT_EQ(imp->langStrings.at(L"fra")->strings.size(), 300u);
    for (int i : {0, 150, 299}) {
        std::wstring id = L"IDS_F" + std::to_wstring(i);
        imp->LookupDisplayString(L"fra", id);
        EXPECT_EQ(id, L"texte " + std::to_wstring(i));
    }
    std::wstring name = L"IDS_NAME";
    imp->LookupDisplayString(L"enu", name);
    EXPECT_EQ(name, L"Renamed");
}

// Display-string ids and language codes in every way a start tag can write them come out
// as the reader's own attribute lookup reads them: plain forms, references, blanks around
// "=", other and repeated attributes, empty-element tags, broken quotes.
TEST_F(CoreTest, DisplayStringAttributesOfEveryTagFormReadAsTheReaderReadsThem)
{
    const std::string entries[] = {"<Entry id=\"ids_a\">", "<Entry  id='Ids_B' >", "<Entry\tid=\" ids_c \"\r\n>", "<Entry id=\"x&amp;y\">",
                                   "<Entry id = \"spaced\">", "<Entry n=\"1\" id=\"second\">", "<Entry id=\"one\" id=\"two\">",
                                   "<Entry id=\"q\"n=\"z\">", "<Entry idx=\"no\">", "<Entry id=\"\">", "<Entry id>"};
    const std::string strings[] = {"<String lang=\"enu\">", "<String  lang='DEU' >", "<String\tlang=\"jpn\"\r\n>", "<String lang=\"a&amp;b\">",
                                   "<String lang = \"spc\">", "<String xlang=\"x\" lang=\"two\">", "<String lang=\"first\" lang=\"second\">",
                                   "<String lang=\"q\"other=\"z\">", "<String lang>", "<String lang=unquoted>", "<String lang=\"\">",
                                   "<String lang=\"-1\">", "<String langx=\"no\">", "<String LANG=\"no\">", "<String lang='mixed\">",
                                   "<String lang=\"fra\"/>"};
    auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
    for (const std::string& entry : entries) {
        for (const std::string& string : strings) {
            const std::string element = entry + string + (string.ends_with("/>") ? "" : "text</String>") + "</Entry>";
            SCOPED_TRACE(element);
            // What the reader itself gives for the same element.
            CXmlDocument reference(wide("<r>" + element + "</r>"));
            ASSERT_TRUE(reference.FindElement(L"r") && reference.FindChildElement(L"Entry") && reference.EnterElement());
            std::wstring id = zv::core::ToUpperAscii(reference.GetAttribute(L"id"));
            id.erase(0, id.find_first_not_of(L" \t\r\n"));
            id.erase(id.find_last_not_of(L" \t\r\n") + 1);
            std::wstring language, text;
            if (reference.FindChildElement(L"String") && reference.EnterElement()) {
                language = zv::core::ToLowerAscii(reference.GetAttribute(L"lang"));
                text = reference.GetInnerMarkup();
            }

            imp->langStrings.clear();
            // A tag the reader finds ill-formed fails the whole load instead.
            ASSERT_EQ(Load(Manifest("", "<DisplayStrings>" + element + "</DisplayStrings>")), reference.IsWellFormed() ? 1 : 0);
            if (id.empty() || language.empty() || language == L"-1") {
                EXPECT_TRUE(imp->langStrings.empty());
                continue;
            }
            ASSERT_EQ(imp->langStrings.size(), 1u);
            ASSERT_EQ(imp->langStrings.begin()->first, language);
            std::wstring found;
            EXPECT_TRUE(imp->langStrings.begin()->second->Lookup(id, found));
            EXPECT_EQ(found, text);
        }
    }
}

TEST_F(CoreTest, CategoryAndElevation)
{
    struct {
        const char* category;
        int expected;
    } categories[] = {{"Required", 0}, {"required", 0}, {"recommended", 1}, {"Recommended", 1}, {"Optional", 2}, {"other", 2}, {"", 2}};
    struct {
        const char* element;
        int expected;
    } elevations[] = {{"", 1}, {"<RequiresElevation/>", 1}, {"<RequiresElevation>NO</RequiresElevation>", 0},
                      {"<RequiresElevation>no</RequiresElevation>", 0}, {"<RequiresElevation>yes</RequiresElevation>", 1}};
    std::string apps;
    int id = 1;
    for (const auto& c : categories) apps += Application(id++, "", std::string("category=\"") + c.category + "\"");
    for (const auto& e : elevations) apps += Application(id++, e.element);
    ASSERT_EQ(Load(Manifest(apps)), 1);
    ASSERT_EQ(imp->items.size(), std::size(categories) + std::size(elevations));
    size_t i = 0;
    for (const auto& c : categories) EXPECT_EQ(App(i++)->category, c.expected) << c.category;
    for (const auto& e : elevations) EXPECT_EQ(App(i++)->requiresElevation, e.expected) << e.element;
}

TEST_F(CoreTest, ApplicationWithoutUrlIsDroppedAndLogged)
{
    zv::test::LogLines log(1);
    std::string noUrl = "<Application id=\"1\" requiredSpaceMB=\"1\" estInstallTimeMins=\"1\"/>";
    ASSERT_EQ(Load(Manifest(noUrl + Application(2, "", "", ""))), 1);
    EXPECT_TRUE(imp->items.empty());
    EXPECT_EQ(log.Count(L"[Error] ZV: ZvLib: <Url> tag expression is empty.\n"), 2);
}

TEST_F(CoreTest, InvalidApplicationsAreDroppedOthersKept)
{
    std::string apps = "<Application id=\"1\" requiredSpaceMB=\"-1\" estInstallTimeMins=\"1\"><Url>http://h/a.exe</Url></Application>" +
                       Application(2) + "<Application id=\"3\" requiredSpaceMB=\"1\" estInstallTimeMins=\"-1\"><Url>http://h/a.exe</Url></Application>" +
                       Application(4, "<CommandLineArgs>dummy</CommandLineArgs>");
    ASSERT_EQ(Load(Manifest(apps)), 1);
    ASSERT_EQ(imp->items.size(), 1u);
    EXPECT_EQ(imp->items[0]->manifestId, 2);
}

TEST_F(CoreTest, DescriptionMoreWithAnAddressOrADialog)
{
    ASSERT_EQ(Load(WithStrings(Application(1, "<DescriptionMore><MoreTextId>IDS_MORE</MoreTextId><Url>\"http://h/\" + lang</Url></DescriptionMore>") +
                               Application(2, "<DescriptionMore><MoreTextId>IDS_NONE</MoreTextId><DialogId>DLG1</DialogId></DescriptionMore>") +
                               Application(3, "<DescriptionMore><MoreTextId>IDS_MORE</MoreTextId></DescriptionMore>"))),
              1);
    ASSERT_EQ(imp->items.size(), 3u);
    ASSERT_TRUE(App(0)->descriptionMore.has_value());
    EXPECT_EQ(App(0)->descriptionMore->moreText, L"Read more");
    EXPECT_EQ(App(0)->descriptionMore->url, L"http://h/ENU");
    ASSERT_TRUE(App(1)->descriptionMore.has_value());
    EXPECT_EQ(App(1)->descriptionMore->moreText, L"IDS_NONE");
    EXPECT_EQ(App(1)->descriptionMore->dialogId, L"DLG1");
    EXPECT_FALSE(App(2)->descriptionMore.has_value());
}

TEST_F(CoreTest, RepeatedChildrenLastOneWins)
{
    ASSERT_EQ(Load(Manifest(Application(1, "<UrlQs>first</UrlQs><UrlQs>second</UrlQs><Url>http://h/later.exe</Url>"))), 1);
    EXPECT_EQ(App(0)->urlQs, L"second");
    EXPECT_EQ(App(0)->url, L"http://h/later.exe");
}

TEST_F(CoreTest, RequirementsAndEventStrings)
{
    std::string rest =
        "<Requirements><Requirement id=\"5\" isHardLimit=\"1\" note=\"n\" name=\"os\"><ValueExpression>OSVer() &gt;= 601</ValueExpression>"
        "<WarningStringId>IDS_WARN</WarningStringId></Requirement><Requirement id=\"x\"/>"
        "<Requirement id=\"6\"><WarningStringId>IDS_NONE</WarningStringId><ValueExpression>a</ValueExpression><Note/>"
        "<ValueExpression>b &amp; c</ValueExpression><WarningStringId>IDS_WARN</WarningStringId></Requirement></Requirements>"
        "<EventStrings><EventString id=\"E1\"><ValueExpression note=\"nt\">1</ValueExpression></EventString>"
        "<EventString id=\"dummy\"><ValueExpression>1</ValueExpression></EventString></EventStrings>";
    ASSERT_EQ(Load(WithStrings("", rest)), 1);
    ASSERT_EQ(imp->requirements.size(), 3u);
    const ZvLib_CItemRequirement& r = *imp->requirements[0];
    EXPECT_EQ(r.id, 5);
    EXPECT_EQ(r.isHardLimit, 1);
    EXPECT_EQ(r.note, L"n");
    EXPECT_EQ(r.name, L"os");
    EXPECT_EQ(r.valueExpression, L"OSVer() >= 601");
    EXPECT_EQ(r.warningText, L"Too old");
    EXPECT_EQ(r.manifestName, L"tandemix");
    EXPECT_EQ(r.requestGroupId, 101);
    EXPECT_EQ(imp->requirements[1]->id, 0);
    EXPECT_EQ(imp->requirements[1]->valueExpression, L"");
    EXPECT_EQ(imp->requirements[1]->warningText, L"");
    // Repeated children: the last of each name wins.
    EXPECT_EQ(imp->requirements[2]->valueExpression, L"b & c");
    EXPECT_EQ(imp->requirements[2]->warningText, L"Too old");
    ASSERT_EQ(imp->eventStrings.size(), 1u);
    EXPECT_EQ(imp->eventStrings[0]->id, L"E1");
    EXPECT_EQ(imp->eventStrings[0]->note, L"nt");
    EXPECT_EQ(imp->eventStrings[0]->valueExpression, L"1");
    EXPECT_EQ(imp->eventStrings[0]->manifestName, L"tandemix");
}

TEST_F(CoreTest, DialogItems)
{
    std::string dialog =
        "<DialogItem id=\"DLG1\"><TitleId>IDS_NAME</TitleId><SubTitleId>IDS_UNKNOWN</SubTitleId>"
        "<MessageHTMLBody>&lt;p&gt;&lt;span string=\"ids_more\"/&gt;&lt;A href=\"x\"&gt;go&lt;/A&gt;&lt;A href=\"y\" target=\"t\"/&gt;&lt;/p&gt;</MessageHTMLBody>"
        "<Buttons><Button><ButtonId>OK</ButtonId><ButtonValue>1</ButtonValue></Button>"
        "<Button><ButtonId></ButtonId><ButtonValue>2</ButtonValue></Button><Button><ButtonId>NOVALUE</ButtonId></Button></Buttons></DialogItem>";
    ASSERT_EQ(Load(WithStrings(dialog)), 1);
    ASSERT_EQ(imp->dialogs.size(), 1u);
    const ZvLib_CItemDialogItem& d = *imp->dialogs[0];
    EXPECT_EQ(d.dialogId, L"DLG1");
    EXPECT_EQ(d.title, L"Tandemix &amp; Co");
    EXPECT_EQ(d.subtitle, L"IDS_UNKNOWN");
    EXPECT_EQ(d.buttons, (std::map<std::wstring, int>{{L"OK", 1}}));
    EXPECT_EQ(d.productAbbr, L"TVK");
    // The string is put into its element; a link without target is aimed at the updater.
    EXPECT_NE(d.htmlBody.find(L"Read more"), std::wstring::npos) << zv::ToUtf8(d.htmlBody);
    EXPECT_NE(d.htmlBody.find(L"target=\"ZvUpdater\""), std::wstring::npos) << zv::ToUtf8(d.htmlBody);
    EXPECT_NE(d.htmlBody.find(L"target=\"t\""), std::wstring::npos) << zv::ToUtf8(d.htmlBody);
}

} // namespace
