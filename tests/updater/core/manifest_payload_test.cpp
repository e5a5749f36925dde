// Where payloads are stored: local paths, the apply action, and names from the
// manifest that would leave the download folder.
#include "core_fixture.h"

#include "support/log_capture.h"
#include "updater/core/payload_paths.h"

using namespace zvcoretest;

namespace {

const std::wstring kZv = L"C:\\users\\user\\Temp\\zv\\";

TEST(PayloadPaths, UrlFileNameCutsQueryAndFragmentFirst)
{
    struct {
        const wchar_t* url;
        const wchar_t* name;
    } cases[] = {
        {L"http://h/pkg/installer.exe", L"installer.exe"},
        {L"http://h/pkg/installer.exe?v=2", L"installer.exe"},
        {L"http://h/pkg/installer.exe#top", L"installer.exe"},
        {L"http://h/get?file=a/b.exe", L"get"},
        {L"installer.exe", L"installer.exe"},
        {L"http://h/dir/", L""},
        {L"", L""},
        {L"a/b#c/d?e", L"b"},
        {L"#x/y", L""},
        {L"h/a?b#c/d", L"a"},
        {L"/", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(zv::core::UrlFileName(c.url), c.name) << zv::ToUtf8(c.url);
}

TEST(PayloadPaths, PlainFileNames)
{
    for (const wchar_t* good : {L"setup.msi", L"a b.exe", L"x", L"", L".hidden", L"a.", L"a.b.c"}) EXPECT_TRUE(zv::core::IsPlainFileName(good)) << zv::ToUtf8(good);
    for (const wchar_t* bad : {L"..", L".", L"..\\evil.exe", L"a/b.exe", L"C:evil.exe", L"sub\\x.exe", L"x..exe", L"tail..", L"a:", L"dir\\", L"/", L"..."})
        EXPECT_FALSE(zv::core::IsPlainFileName(bad)) << zv::ToUtf8(bad);
}

TEST_F(CoreTest, LocalPayloadPaths)
{
    struct Case {
        const char* extra;
        const char* url;
        std::wstring payload;
    } cases[] = {
        {"<DesiredMsiFilename>setup</DesiredMsiFilename>", "http://h/x.exe", kZv + L"TVK\\1\\setup.msi"},
        {"<DesiredMsiFilename> tool.exe </DesiredMsiFilename>", "http://h/x.exe", kZv + L"TVK\\2\\tool.exe"},
        {"", "http://h/pkg/installer.exe", kZv + L"TVK_3_installer.exe"},
        {"", "http://h/pkg/installer.exe?x=1#f", kZv + L"TVK_4_installer.exe"},
        {"", "http://h/pkg/readme", kZv + L"TVK_5_readme."},
        {"<ApplyAction><CopyCommand><DestFilename>\"dest\" + \".dll\"</DestFilename></CopyCommand></ApplyAction>"
         "<DesiredMsiFilename>setup</DesiredMsiFilename>",
         "http://h/x.exe", kZv + L"TVK\\6\\dest.dll"},
    };
    std::string apps;
    int id = 1;
    for (const auto& c : cases) apps += Application(id++, c.extra, "", c.url);
    ASSERT_EQ(Load(Manifest(apps)), 1);
    ASSERT_EQ(imp->items.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(std::wstring(App(i)->localPayloadPath), cases[i].payload) << i;
        EXPECT_EQ(std::wstring(App(i)->localSigPath), cases[i].payload + L".sig") << i;
        EXPECT_EQ(App(i)->sigUrl, App(i)->url + L".sig") << i;
    }
}

TEST_F(CoreTest, UrlIsQuotedAndEvaluated)
{
    ASSERT_EQ(Load(Manifest(Application(1, "", "", "http://h/&lt;lang&gt;/setup.exe") + Application(2, "", "", "\"http://h/\" + bitness + \"/s.exe\""))), 1);
    EXPECT_EQ(App(0)->url, L"http://h/ENU/setup.exe");
    // Already quoted at both ends: left as written, so the expression inside still counts.
    EXPECT_EQ(App(1)->url, L"http://h/64/s.exe");
}

TEST_F(CoreTest, NamesThatWouldLeaveTheDownloadFolderMakeTheItemInvalid)
{
    struct {
        const char* extra;
        const char* url;
        const wchar_t* logged;
    } cases[] = {
        {"<DesiredMsiFilename>..\\..\\evil</DesiredMsiFilename>", "http://h/x.exe", L"'..\\..\\evil'"},
        {"<DesiredMsiFilename>sub/evil.msi</DesiredMsiFilename>", "http://h/x.exe", L"'sub/evil.msi'"},
        {"<DesiredMsiFilename>C:evil.msi</DesiredMsiFilename>", "http://h/x.exe", L"'C:evil.msi'"},
        {"", "http://h/..\\..\\evil.exe", L"'..\\..\\evil.exe'"},
        {"<ApplyAction><RunCommand><DestFilename>..\\up.exe</DestFilename></RunCommand></ApplyAction>", "http://h/x.exe", L"'..\\up.exe'"},
        {"<ApplyAction><CopyCommand><DestFilename>C:\\Windows\\x.dll</DestFilename></CopyCommand></ApplyAction>", "http://h/x.exe",
         L"'C:\\Windows\\x.dll'"},
    };
    zv::test::LogLines log(1);
    std::string apps;
    int id = 1;
    for (const auto& c : cases) apps += Application(id++, c.extra, "", c.url);
    apps += Application(99); // a sound one still loads
    ASSERT_EQ(Load(Manifest(apps)), 1);
    ASSERT_EQ(imp->items.size(), 1u);
    EXPECT_EQ(imp->items[0]->manifestId, 99);
    id = 1;
    for (const auto& c : cases) {
        std::wstring line = zv::Format(512, L"ZvLib ERROR: Item %d: file name %s would leave the download folder, item dropped.", id++, c.logged);
        EXPECT_EQ(log.Count(line), 1) << zv::ToUtf8(line);
    }
}

TEST_F(CoreTest, DestPathIsADestinationByDesignAndStays)
{
    ASSERT_EQ(Load(Manifest(Application(1, "<ApplyAction><RequiresElevation>1</RequiresElevation><CopyCommand>"
                                           "<DestPath>\"C:\\Program Files\\Vesk\"</DestPath></CopyCommand></ApplyAction>"))),
              1);
    ASSERT_EQ(imp->items.size(), 1u);
    EXPECT_EQ(App(0)->destPath, L"C:\\Program Files\\Vesk");
    EXPECT_EQ(App(0)->destFilename, L"installer.exe");
    EXPECT_EQ(App(0)->isRunCommand, 0);
    EXPECT_EQ(App(0)->requiresElevation, 1);
    EXPECT_EQ(App(0)->hasApplyAction, 1);
}

TEST_F(CoreTest, ApplyActions)
{
    zv::test::LogLines log(1);
    ASSERT_EQ(Load(Manifest(
                  Application(1, "<ApplyAction><RequiresElevation>yes</RequiresElevation><RunCommand><DestFilename>run.exe</DestFilename>"
                                 "<CommandLine>\"/quiet \" + lang</CommandLine></RunCommand></ApplyAction>") +
                  Application(2, "<ApplyAction><CopyCommand><DestPath>p</DestPath></CopyCommand><RunCommand><CommandLine>c</CommandLine></RunCommand></ApplyAction>") +
                  Application(3, "<ApplyAction><RequiresElevation>1</RequiresElevation></ApplyAction>"))),
              1);
    ASSERT_EQ(imp->items.size(), 3u);
    ZvLib_CItemInstallableApp* run = App(0);
    EXPECT_EQ(run->isRunCommand, 1);
    EXPECT_EQ(run->requiresElevation, 0); // only "1" means elevation for the action
    EXPECT_EQ(run->commandLine, L"/quiet ENU");
    EXPECT_EQ(run->destFilename, L"run.exe");
    EXPECT_EQ(std::wstring(run->localPayloadPath), kZv + L"TVK\\1\\run.exe");
    // Both commands: logged and treated as a copy ("p" is no expression: left as written).
    EXPECT_EQ(App(1)->isRunCommand, 0);
    EXPECT_EQ(App(1)->destPath, L"p");
    EXPECT_EQ(App(1)->commandLine, L"");
    EXPECT_EQ(log.Count(L"[Error] ZV: Error, manifest specifies both a CopyCommand and a RunCommand.\n"), 1);
    // Neither: logged, the item keeps its own elevation and run flag.
    EXPECT_EQ(App(2)->hasApplyAction, 1);
    EXPECT_EQ(App(2)->requiresElevation, 1);
    EXPECT_EQ(App(2)->isRunCommand, 1);
    EXPECT_EQ(log.Count(L"[Error] ZV: Error, manifest specifies ApplyAction but neither CopyCommand nor RunCommand.\n"), 1);
}

} // namespace
