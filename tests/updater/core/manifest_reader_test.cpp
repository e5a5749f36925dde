// An element's attributes read from one table give what reading each from the document
// gives: the first of a name, entities replaced, absent ones empty or 0.
#include "updater/core/manifest_reader.h"
#include "updater/core/manifest_text.h"
#include "core_fixture.h"

#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <memory_resource>
#include <string>

namespace {

TEST(ElementAttributes, ReadAsTheDocumentReadsThem)
{
    // The last element has more attributes than the table holds inline.
    std::wstring many = L"<a";
    for (int i = 0; i < 40; ++i) many += L" n" + std::to_wstring(i) + L"=\"" + std::to_wstring(i * 7) + L"\"";
    many += L" id=\"late\"/>";
    const std::wstring tags[] = {
        L"<a id=\"12\" note=\"x &amp; y\" id=\"13\" isSelected=' 1' dlSize=\"-4\" big=\"99999999999\" word=\"abc\" e=''/>",
        L"<a ID=\"1\" Id=\"2\" isVisible=\"&#x33;4\" note=\"&lt;b&gt;\" bare lone=v/>",
        L"<a/>",
        many,
    };
    const wchar_t* const names[] = {L"id",  L"ID",   L"note", L"isSelected", L"isVisible", L"dlSize", L"big", L"word", L"e", L"bare",
                                    L"lone", L"n0",  L"n23",  L"n24",        L"n39",       L"missing", L"i",  L""};
    std::pmr::monotonic_buffer_resource arena;
    for (const std::wstring& tag : tags) {
        CXmlDocument doc(tag);
        ASSERT_TRUE(doc.FindElement(L"a"));
        const zv::core::ElementAttributes attributes(doc);
        for (const wchar_t* name : names) {
            std::wstring text = L"stale";
            attributes.Text(name, text);
            EXPECT_EQ(text, doc.GetAttribute(name)) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
            EXPECT_EQ(attributes.Text(name), text) << zv::ToUtf8(name);
            // An item text: written straight from the document when nothing needs decoding.
            std::pmr::wstring itemText(L"stale", &arena);
            attributes.Text(name, itemText);
            EXPECT_EQ(std::wstring(itemText), text) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
            EXPECT_EQ(attributes.Int(name), zv::core::IntAttribute(doc, name)) << zv::ToUtf8(tag) << " " << zv::ToUtf8(name);
        }
    }
    CXmlDocument doc(many);
    ASSERT_TRUE(doc.FindElement(L"a"));
    const zv::core::ElementAttributes attributes(doc);
    EXPECT_EQ(attributes.Int(L"n39"), 273);
    EXPECT_EQ(attributes.Text(L"id"), L"late");
}

TEST(ElementAttributes, NoElementGivesNothing)
{
    CXmlDocument doc(L"<a id=\"1\"/>");
    const zv::core::ElementAttributes attributes(doc); // the cursor is before the element
    EXPECT_EQ(attributes.Text(L"id"), L"");
    EXPECT_EQ(attributes.Int(L"id"), 0);
}

TEST(ManifestReader, DecimalFromAViewAsFromAString)
{
    const wchar_t* const texts[] = {L"",          L"0",          L"12",          L" 12",        L"\v\f\t 7x",    L"+5",
                                    L"-5",        L"-",          L"+",           L"x1",         L"1 2",          L"007",
                                    L"2147483647", L"2147483648", L"-2147483648", L"-2147483649", L"99999999999999999999999",
                                    L"-99999999999999999999999", L"18446744073709551616", L"-0", L"\u0661"};
    for (const wchar_t* text : texts) EXPECT_EQ(zv::core::ReadDecimalView(text), zv::ReadDecimal(text)) << zv::ToUtf8(text);
}

TEST(ManifestReader, TextAndNameViewsAsTheDocumentGivesThem)
{
    const std::wstring elements[] = {
        L"<a>plain text</a>", L"<a>x &amp; y</a>", L"<a><![CDATA[<z>]]></a>", L"<a>t<!--c-->u</a>", L"<a></a>", L"<a/>",
        L"<a>  </a>",         L"<a><b>x</b></a>",  L"<a>&lt;lang&gt;</a>",     L"<a>line\r\nend</a>", L"<LongerName>v</LongerName>",
    };
    std::pmr::monotonic_buffer_resource arena;
    for (const std::wstring& element : elements) {
        CXmlDocument doc(L"<r>" + element + L"</r>");
        ASSERT_TRUE(doc.FindChildElement(nullptr)) << zv::ToUtf8(element);
        ASSERT_TRUE(doc.EnterElement());
        EXPECT_EQ(std::wstring(doc.GetNameView()), doc.GetName()) << zv::ToUtf8(element);
        EXPECT_EQ(std::wstring(doc.GetInnerMarkupView()), doc.GetInnerMarkup()) << zv::ToUtf8(element);
        std::wstring text = L"stale";
        zv::core::ReadText(doc, text);
        EXPECT_EQ(text, doc.GetText()) << zv::ToUtf8(element);
        std::pmr::wstring itemText(L"stale", &arena);
        zv::core::ReadText(doc, itemText);
        EXPECT_EQ(std::wstring(itemText), doc.GetText()) << zv::ToUtf8(element);
        std::wstring_view plain;
        if (zv::core::PlainText(doc, plain)) {
            EXPECT_EQ(std::wstring(plain), doc.GetText()) << zv::ToUtf8(element);
        }
    }
    // Where the cursor is on no element, the views are empty.
    CXmlDocument empty(L"<r/>");
    EXPECT_TRUE(empty.GetNameView().empty());
    EXPECT_TRUE(empty.GetInnerMarkupView().empty());
}

using ApplicationAttributes = zvcoretest::CoreTest;

TEST_F(ApplicationAttributes, FirstOfANameCountsAbsentOnesAreEmpty)
{
    // The fixture's own attributes come after these: the first of each name counts.
    ASSERT_EQ(Load(zvcoretest::Manifest(
                  zvcoretest::Application(5, "", "id=\"7\" id=\"8\" note=\"a &amp; b\" note=\"later\" dlSize=\" 12\" isVisible=\"&#x31;\" "
                                                 "category=\"RECOMMENDED\" isSelected=\"0\" s1=\"\" a2=\"&lt;x&gt;\" estInstallTimeSecs=\"-3\" "
                                                 "isRebootLikelyRequired=\"99999999999\" Id=\"9\"") +
                  zvcoretest::Application(6, "", "category=\"Required\" category=\"Recommended\""))),
              1);
    ASSERT_NE(App(1), nullptr);
    const ZvLib_CItemInstallableApp* a = App(0);
    EXPECT_EQ(a->manifestId, 7);
    EXPECT_EQ(std::wstring(a->note), L"a & b");
    EXPECT_EQ(a->dlSize, 12);
    EXPECT_EQ(a->isVisible, 1);
    EXPECT_EQ(a->category, 1);
    EXPECT_EQ(a->isSelected, 0);
    EXPECT_EQ(a->defaultSelected, 0);
    EXPECT_EQ(std::wstring(a->a2), L"<x>");
    EXPECT_EQ(a->estInstallTimeSecs, -3);
    EXPECT_EQ(a->isRebootLikelyRequired, 2147483647);
    EXPECT_EQ(std::wstring(a->componentName), L"app5");
    // Absent: empty and 0.
    EXPECT_EQ(std::wstring(a->productGUID), L"");
    EXPECT_EQ(std::wstring(a->s2), L"");
    EXPECT_EQ(a->isBonusItem, 0);
    EXPECT_EQ(a->dlSizeMB, 0);
    EXPECT_EQ(App(1)->manifestId, 6);
    EXPECT_EQ(App(1)->category, 0);
}

TEST_F(ApplicationAttributes, NameAndDescriptionResolvedAlikeOrApart)
{
    const std::string strings = "<DisplayStrings><Entry id=\"IDS_A\"><String lang=\"enu\">Alpha</String></Entry>"
                                "<Entry id=\"IDS_B\"><String lang=\"enu\">Beta</String></Entry></DisplayStrings>";
    const struct {
        const char* name;
        const char* description;
        const wchar_t* wantName;
        const wchar_t* wantDescription;
    } cases[] = {
        {"IDS_A", "IDS_A", L"Alpha", L"Alpha"},
        {"IDS_A", "IDS_B", L"Alpha", L"Beta"},
        {"IDS_B", "ids_a", L"Beta", L"Alpha"},
        {"IDS_NONE", "IDS_NONE", L"IDS_NONE", L"IDS_NONE"},
        {"IDS_A", "IDS_NONE", L"Alpha", L"IDS_NONE"},
    };
    std::string items;
    int id = 1;
    for (const auto& c : cases)
        items += zvcoretest::Application(id++, std::string("<DisplayNameId>") + c.name + "</DisplayNameId><DescriptionId>" + c.description +
                                                   "</DescriptionId>");
    ASSERT_EQ(Load("<ZV_Manifest name=\"m\">" + strings + "<UiItems>" + items + "</UiItems></ZV_Manifest>"), 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_NE(App(i), nullptr) << i;
        EXPECT_EQ(std::wstring(App(i)->displayName), cases[i].wantName) << i;
        EXPECT_EQ(std::wstring(App(i)->description), cases[i].wantDescription) << i;
    }
}

TEST_F(ApplicationAttributes, ApplyActionTheFirstCommandOfItsKindAndTheLastOfEachText)
{
    const struct {
        const char* action;
        int isRun, elevation;
        const wchar_t *destFilename, *destPath, *commandLine;
    } cases[] = {
        // A copy wins over a run before it; its own texts count, not the run's.
        {"<RunCommand><DestFilename>r.exe</DestFilename><CommandLine>\"/r\"</CommandLine></RunCommand>"
         "<CopyCommand><DestPath>p</DestPath></CopyCommand>",
         0, 0, L"", L"p", L""},
        // The first run counts; within it the last of each text.
        {"<RunCommand><DestFilename>a.exe</DestFilename><DestFilename>b.exe</DestFilename><CommandLine>\"/1\"</CommandLine>"
         "<CommandLine>\"/2\"</CommandLine></RunCommand><RunCommand><DestFilename>c.exe</DestFilename></RunCommand>",
         1, 0, L"b.exe", L"", L"/2"},
        // The last RequiresElevation decides, before or after the command.
        {"<RequiresElevation>1</RequiresElevation><CopyCommand><DestFilename>d.exe</DestFilename><DestPath>q</DestPath></CopyCommand>"
         "<RequiresElevation>0</RequiresElevation>",
         0, 0, L"d.exe", L"q", L""},
        {"<RequiresElevation>0</RequiresElevation><RunCommand><CommandLine>x</CommandLine></RunCommand><RequiresElevation>1</RequiresElevation>",
         1, 1, L"", L"", L"x"},
        // A command's texts are its own children's, not deeper ones'.
        {"<CopyCommand><Inner><DestPath>deep</DestPath></Inner><DestPath>&lt;p&gt;</DestPath></CopyCommand>", 0, 0, L"", L"<p>", L""},
    };
    std::string items;
    int id = 1;
    for (const auto& c : cases) items += zvcoretest::Application(id++, std::string("<ApplyAction>") + c.action + "</ApplyAction>");
    ASSERT_EQ(Load(zvcoretest::Manifest(items)), 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ZvLib_CItemInstallableApp* app = App(i);
        ASSERT_NE(app, nullptr) << i;
        EXPECT_EQ(app->isRunCommand, cases[i].isRun) << i;
        EXPECT_EQ(app->requiresElevation, cases[i].elevation) << i;
        // Without its own name the command's file keeps the URL's.
        EXPECT_EQ(std::wstring(app->destFilename), *cases[i].destFilename ? cases[i].destFilename : L"installer.exe") << i;
        EXPECT_EQ(std::wstring(app->destPath), cases[i].destPath) << i;
        EXPECT_EQ(std::wstring(app->commandLine), cases[i].commandLine) << i;
    }
}

} // namespace
