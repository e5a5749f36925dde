// OS classification of every row, from machine profiles.
#include "eval_helpers.h"

#include "support/test_paths.h"
#include "updater/expr/os_info.h"

using namespace zv::exprtest;

namespace {

std::wstring ProfilePath(const std::wstring& name)
{
    return zv::test::SourcePath(L"tests/data/expr/machines/" + name + L".profile");
}

void Load(zv::expr::FakeMachine& m, const std::wstring& name)
{
    std::wstring error;
    ASSERT_TRUE(m.LoadProfileFile(ProfilePath(name), error)) << zv::ToUtf8(error);
}

TEST(OSInfo, EveryClassificationRow)
{
    struct Row {
        const wchar_t* profile;
        int code;
        const wchar_t* text;
        const wchar_t* padded;
        const wchar_t* bitness;
        int server;
        const char* systemEnum;
    } rows[] = {
        {L"win98", 1, L"unk", L"unk", L"32", 0, "int 3"},
        {L"nt4", 1, L"unk", L"unk", L"32", 0, "int 5"},
        {L"win2000", 2, L"2k", L"_2k", L"32", 0, "int 6"},
        {L"xp", 3, L"xp", L"_xp", L"32", 0, "int 8"},
        {L"xp64", 3, L"xp", L"_xp", L"64", 0, "int 8"},
        {L"2003", 4, L"2k3", L"2k3", L"64", 1, "int 8"},
        {L"vista", 5, L"vi", L"_vi", L"64", 0, "int 10"},
        {L"2008", 6, L"2k8", L"2k8", L"64", 1, "int 10"},
        {L"win7", 7, L"_w7", L"_w7", L"64", 0, "int 12"},
        {L"2008r2", 8, L"8r2", L"8r2", L"64", 1, "int 12"},
        {L"win8", 9, L"_w8", L"_w8", L"64", 0, "int 0"},
        {L"2012", 10, L"s12", L"s12", L"64", 1, "int 0"},
        {L"win81", 11, L"unk", L"unk", L"64", 0, "int 0"},
        {L"win10", 11, L"unk", L"unk", L"64", 0, "int 0"},
        {L"unreadable", 0, L"unk", L"unk", L"32", 0, "ERR_FUNCTION"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(zv::ToUtf8(r.profile));
        zv::expr::FakeMachine m;
        Load(m, r.profile);
        zv::expr::OsClassification c = zv::expr::ClassifyOs(m);
        EXPECT_EQ(c.osCode, r.code);
        EXPECT_EQ(zv::expr::OsText(c.osCode), r.text);
        EXPECT_EQ(zv::expr::PaddedOsCode(c.osCode), r.padded);
        EXPECT_EQ(zv::expr::BitnessText(c.is64), r.bitness);
        EXPECT_EQ(c.isServer, r.server);
        EXPECT_EQ(RunZv(m, L"UOs()").Show(), "text " + zv::ToUtf8(r.padded));
        EXPECT_EQ(RunZv(m, L"SystemEnum()").Show(), r.systemEnum);
    }
}

TEST(OSInfo, Windows9xVariantsOfSystemEnum)
{
    struct Row {
        uint32_t minor, build;
        const char* expected;
    } rows[] = {{0, 950, "int 1"}, {10, 1998, "int 2"}, {10, 2183, "int 3"}, {90, 3000, "int 4"}, {50, 1, "int 0"}};
    for (const auto& r : rows) {
        zv::expr::FakeMachine m;
        m.SetOs(4, r.minor, r.build, 1, 0);
        m.os.platformId = 1;
        EXPECT_EQ(RunZv(m, L"SystemEnum()").Show(), r.expected) << r.minor;
        EXPECT_EQ(RunZv(m, L"IsNT()").Show(), "int 0");
    }
    zv::expr::FakeMachine win32s;
    win32s.os.platformId = 0;
    EXPECT_EQ(RunZv(win32s, L"SystemEnum()").Show(), "int 0");
}

TEST(OSInfo, ArchitectureDecidesTheBitnessFlag)
{
    struct Row {
        int arch;
        int flag;
    } rows[] = {{9, 1}, {0, 0}, {6, 2}, {12, 2}};
    for (const auto& r : rows) {
        zv::expr::FakeMachine m;
        m.architecture = r.arch;
        EXPECT_EQ(zv::expr::ClassifyOs(m).is64, r.flag) << r.arch;
    }
    // 5.2 workstation on x86 is not XP x64: it classifies as 2003, with the server flag.
    zv::expr::FakeMachine x86;
    x86.SetOs(5, 2, 3790, 1, 0);
    EXPECT_EQ(zv::expr::ClassifyOs(x86).osCode, zv::expr::OS_2003);
    EXPECT_EQ(zv::expr::ClassifyOs(x86).isServer, 1);
}

TEST(OSInfo, ProcessWideStateClassifiesOnceAndRetriesWhileUnclassified)
{
    zv::expr::FakeMachine m;
    Load(m, L"unreadable");
    zv::expr::ScopedProcessMachine useIt(m);
    OSInfo::Reset();
    { OSInfo first; }
    EXPECT_EQ(OSInfo::OsCode(), 0);
    Load(m, L"xp64");
    m.osReadable = true;
    { OSInfo second; }
    EXPECT_EQ(OSInfo::OsCode(), zv::expr::OS_XP);
    EXPECT_EQ(OSInfo::PaddedOsCode(), L"_xp");
    EXPECT_EQ(OSInfo::BitnessText(), L"64");
    Load(m, L"win8");
    { OSInfo third; }
    EXPECT_EQ(OSInfo::OsCode(), zv::expr::OS_XP); // classified once per process
    OSInfo::Reset();
}

} // namespace
