// The machine-profile reader: good lines change the machine, bad ones name their line.
#include "support/fake_machine/fake_machine.h"

#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(FakeMachineProfile, RejectsBadLinesWithTheirNumber)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* error;
    } cases[] = {
        {L"# ok\n\nbogus = 1\n", L"line 3: unknown setting: bogus = 1"},
        {L"os.version = six\n", L"line 1: expected major.minor.build: os.version = six"},
        {L"cpu.count = 4x\n", L"line 1: expected a number: cpu.count = 4x"},
        {L"power.ac_line = 256\n", L"line 1: expected a number up to 255: power.ac_line = 256"},
        {L"display = 1x2\n", L"line 1: expected WIDTHxHEIGHTxBITS: display = 1x2"},
        {L"reg HKEY_CURRENT_USER\\x | v = word:1\n", L"line 1: expected reg KEY | NAME = TYPE:DATA: reg HKEY_CURRENT_USER\\x | v = word:1"},
        {L"reg HKEY_CURRENT_USER\\x | v = dword:4294967296\n",
         L"line 1: expected reg KEY | NAME = TYPE:DATA: reg HKEY_CURRENT_USER\\x | v = dword:4294967296"},
        {L"file C:\\a.exe = 1.2.3\n", L"line 1: expected file PATH = a.b.c.d: file C:\\a.exe = 1.2.3"},
        {L"file C:\\a.exe = 1.2.3.70000\n", L"line 1: expected file PATH = a.b.c.d: file C:\\a.exe = 1.2.3.70000"},
        {L"window zz = A | B\n", L"line 1: expected window HANDLE = CLASS | TITLE: window zz = A | B"},
        {L"language = ENU\n", L"line 1: expected ABBREVIATION ID: language = ENU"},
    };
    for (const auto& c : cases) {
        zv::expr::FakeMachine m;
        std::wstring error;
        EXPECT_FALSE(m.LoadProfile(c.text, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(FakeMachineProfile, MissingFileIsAnError)
{
    zv::expr::FakeMachine m;
    std::wstring error;
    EXPECT_FALSE(m.LoadProfileFile(L"/nonexistent/zv.profile", error));
    EXPECT_NE(error.find(L"cannot read"), std::wstring::npos);
}

TEST(FakeMachineProfile, ValuesReachTheMachine)
{
    zv::expr::FakeMachine m;
    std::wstring error;
    ASSERT_TRUE(m.LoadProfile(L"os.version = 10.0.19045\r\n"
                              L"cpu.architecture = 0\r\n"
                              L"reg HKEY_USERS\\.DEFAULT\\X | B = binary:0aFF\r\n"
                              L"reg HKEY_USERS\\.DEFAULT\\X | M = multi_sz:a|b\r\n"
                              L"reg HKEY_USERS\\.DEFAULT\\X | E = multi_sz:\r\n"
                              L"env Path = C:\\bin\r\n"
                              L"disk c:\\ = 3\r\n",
                              error))
        << zv::ToUtf8(error);
    zv::expr::OsVersion v;
    ASSERT_TRUE(m.GetOsVersion(v));
    EXPECT_EQ(v.major, 10u);
    EXPECT_EQ(v.build, 19045u);
    EXPECT_EQ(m.NativeArchitecture(), 0);
    zv::expr::RegData d;
    ASSERT_EQ(m.ReadRegValue(zv::expr::RegRoot::Users, L".default\\x", L"b", d), zv::expr::RegQuery::Ok);
    EXPECT_EQ(d.type, zv::expr::ZV_REG_BINARY);
    EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0x0a, 0xff}));
    // Each item with its terminator, then the empty string that ends the list.
    ASSERT_EQ(m.ReadRegValue(zv::expr::RegRoot::Users, L".default\\x", L"m", d), zv::expr::RegQuery::Ok);
    EXPECT_EQ(d.type, zv::expr::ZV_REG_MULTI_SZ);
    EXPECT_EQ(d.bytes, (std::vector<uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    ASSERT_EQ(m.ReadRegValue(zv::expr::RegRoot::Users, L".default\\x", L"e", d), zv::expr::RegQuery::Ok);
    EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0, 0}));
    std::wstring path;
    ASSERT_TRUE(m.GetEnvironment(L"PATH", path));
    EXPECT_EQ(path, L"C:\\bin");
    uint64_t bytes = 0;
    ASSERT_TRUE(m.GetAvailableDiskBytes(L"C:\\x", bytes));
    EXPECT_EQ(bytes, 3ull << 20);
}

} // namespace
