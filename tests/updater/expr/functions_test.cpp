// The built-in function library over machine profiles.
#include "eval_helpers.h"

#include "support/test_paths.h"

using namespace zv::exprtest;

namespace {

zv::expr::FakeMachine Rich()
{
    zv::expr::FakeMachine m;
    std::wstring error;
    EXPECT_TRUE(m.LoadProfileFile(zv::test::SourcePath(L"tests/data/expr/machines/rich.profile"), error)) << zv::ToUtf8(error);
    return m;
}

void CheckAll(zv::expr::IMachine& m, std::initializer_list<Case> cases)
{
    for (const auto& c : cases) EXPECT_EQ(RunZv(m, c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);
}

TEST(Functions, OperatingSystem)
{
    zv::expr::FakeMachine m = Rich();
    CheckAll(m, {
                    {L"SysVer()", "text 6.1.7601"},
                    {L"ServPackVer()", "text 1.0"},
                    {L"VerCompare(2, 5, 1, 6, 0, 6, 1)", "int 1"},
                    {L"VerCompare(1, 5, 1, 6, 0, 6, 1)", "int 0"},
                    {L"VerCompare(2, 6, 2, 6, 1, 7, 0)", "int 0"},
                    {L"VerCompare(2, \"6.1\", 0, \"6.1\", 0, \"6.1\", 0)", "int 1"},
                    {L"VerCompare(2, 5, 0, \"6.1\", 0, 6, 1)", "int 0"},
                    {L"VerCompare(2, 5, 1, 6, 0, 6)", "ERR_PARAMLIST"},
                    {L"IsNT()", "int 1"},
                    {L"OSPlatformID()", "uint 2"},
                    {L"OSProductType()", "int 1"},
                    {L"OSBitSize()", "int 64"},
                    {L"UBit()", "int 64"},
                });
    zv::expr::FakeMachine blind;
    blind.osReadable = false;
    CheckAll(blind, {
                        {L"SysVer()", "ERR_FUNCTION"},
                        {L"ServPackVer()", "text 0.0"},
                        {L"IsNT()", "ERR_FUNCTION"},
                        {L"OSPlatformID()", "ERR_FUNCTION"},
                        {L"OSProductType()", "int 0"},
                        {L"VerCompare(2, 5, 1, 6, 0, 6, 1)", "int 0"},
                    });
}

TEST(Functions, Registry)
{
    zv::expr::FakeMachine m = Rich();
    CheckAll(m, {
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\NoSuchKey\", \"x\", 7)", "int 7"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Five\", 0)", "int 5"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Nope\", \"d\")", "text d"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Nope\", 1.5)", "real 1.500000"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Text\", 0)", "text hello"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Expand\", 0)", "text %WINDIR%\\x"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Big\", 0)", "int64 4886718345"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"List\", 0)", "textlist one"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Bin\", 0)", "blob "},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Odd\", 0)", "empty "},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Five\", 0, 64)", "int 5"},
                    {L"RegVal(\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\", \"ProgramFilesDir\", \"\")", "text C:\\Program Files"},
                    {L"RegVal(\"HKEY_BOGUS\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\", \"ProgramFilesDir\", \"\")",
                     "text C:\\Program Files"},
                    // Root names compare case-sensitively: this is a subkey of HKEY_LOCAL_MACHINE.
                    {L"RegVal(\"hkey_current_user\\Software\\ZvTest\", \"Five\", 0)", "int 0"},
                    {L"RegVal(\"HKEY_LOCAL_MACHINE\\SECURITY\\Locked\", \"x\", 1)", "ERR_FUNCTION"},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Five\")", "ERR_PARAMLIST"},
                    {L"RegValExists(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Five\")", "uint 1"},
                    {L"RegValExists(\"HKEY_CURRENT_USER\\Software\\ZvTest\", \"Nope\")", "uint 0"},
                    {L"RegKeyExists(\"HKEY_CURRENT_USER\\Software\")", "uint 1"},
                    {L"RegKeyExists(\"HKEY_CURRENT_USER\\Software\\NoSuchKey\")", "uint 0"},
                    {L"DirectXVer()", "text 4.09.00.0904"},
                    {L"IEVer()", "ERR_FUNCTION"},
                    {L"ProcSpeed()", "uint 3200"},
                });
    CheckAll(m, {
                    {L"SetRegVal(\"Installed\", \"yes\")", "text "},
                    {L"RegVal(\"HKEY_CURRENT_USER\\Software\\Quorvane\\Install\", \"Installed\", \"\")", "text yes"},
                });
    zv::expr::FakeMachine bare;
    CheckAll(bare, {{L"SetRegVal(\"Installed\", \"yes\")", "ERR_FUNCTION"}});
}

TEST(Functions, FilesAndInstaller)
{
    zv::expr::FakeMachine m = Rich();
    CheckAll(m, {
                    {L"FileVer(\"C:\\Program Files\\App\\app.exe\")", "text 2.40.40.7"},
                    {L"FileVer(\"C:\\data\\plain.txt\")", "ERR_FUNCTION"},
                    {L"FileVer(\"C:\\nothing.exe\")", "ERR_FUNCTION"},
                    {L"MSIVer()", "text 5.0.7601.17514"},
                    {L"FileExists(\"C:\\data\\plain.txt\")", "int 1"},
                    {L"FileExists(\"C:\\Program Files\\App\")", "int 0"},
                    {L"FileExists(\"C:\\nothing.exe\")", "int 0"},
                    {L"AvailableDiskSpace(\"C:\\temp\")", "uint 2048"},
                    {L"AvailableDiskSpace(\"D:\\\")", "uint 4294967295"},
                    {L"AvailableDiskSpace(\"E:\\\")", "uint 0"},
                    {L"MSIProductInstalled(\"{11111111-2222-3333-4444-555555555555}\")", "int 1"},
                    {L"MSIProductInstalled(\"{99999999-2222-3333-4444-555555555555}\")", "int 0"},
                    {L"MSIPackageInstalled(\"C:\\pkgs\\same.msi\")", "int 1"},
                    {L"MSIPackageInstalled(\"C:\\pkgs\\newer.msi\")", "int 0"},
                    {L"MSIPackageInstalled(\"C:\\pkgs\\other.msi\")", "int 0"},
                    {L"MSIPackageInstalled(\"C:\\pkgs\\missing.msi\")", "int 0"},
                });
    m.systemDir.clear();
    CheckAll(m, {{L"MSIVer()", "ERR_FUNCTION"}});
}

TEST(Functions, TextsAndPaths)
{
    zv::expr::FakeMachine m;
    CheckAll(m, {
                    {L"SubStr(\"abcdef\", 2, 3)", "text bcd"},
                    {L"SubStr(\"abc\", 3, 10)", "text c"},
                    {L"SubStr(\"abc\", 2, -1)", "text bc"},
                    {L"SubStr(\"abc\", 4, 1)", "ERR_FUNCTION"},
                    {L"SubStr(\"abc\", 0, 1)", "ERR_FUNCTION"},
                    {L"SubStr(\"abc\", 1, 0)", "ERR_FUNCTION"},
                    {L"SubStr(\"\", 1, 1)", "ERR_FUNCTION"},
                    {L"CrackPath(\"C:\\dir\\file.txt\", 1)", "text C:"},
                    {L"CrackPath(\"C:\\dir\\file.txt\", 2)", "text \\dir\\"},
                    {L"CrackPath(\"C:\\dir\\file.txt\", 3)", "text file"},
                    {L"CrackPath(\"C:\\dir\\file.txt\", 4)", "text .txt"},
                    {L"CrackPath(\"C:\\dir\\file.txt\", 5)", "text "},
                    {L"CrackPath(\"\\\\server\\share\\a.b.c\", 3)", "text a.b"},
                    {L"CrackPath(\"noext\", 4)", "text "},
                    {L"CrackPath(\"C:file.txt\", 2)", "text "},
                });
}

TEST(Functions, MemoryPowerDisplayDevices)
{
    zv::expr::FakeMachine m = Rich();
    CheckAll(m, {
                    {L"MemorySize()", "uint 16384"},
                    {L"MemoryAvailable()", "uint 9000"},
                    {L"ProcNumber()", "uint 8"},
                    {L"BatteryLevel()", "uint 42"},
                    {L"USBHubCount()", "uint 3"},
                    {L"VidCompare(1920, 1080, 32)", "int 1"},
                    {L"VidCompare(800, 600, 16)", "int 1"},
                    {L"VidCompare(1920, 1200, 32)", "int 0"},
                    {L"VidCompare(-1, -1, -1)", "int 1"},
                });
    m.power.acLineStatus = 255;
    m.memoryReadable = false;
    CheckAll(m, {{L"BatteryLevel()", "uint 100"}, {L"MemorySize()", "uint 0"}, {L"MemoryAvailable()", "uint 0"}});
    m.powerReadable = false;
    m.displayReadable = false;
    CheckAll(m, {{L"BatteryLevel()", "empty "}, {L"VidCompare(1, 1, 1)", "int 0"}});
}

TEST(Functions, WindowsAndMessages)
{
    zv::expr::FakeMachine m = Rich();
    LogLines log(3);
    CheckAll(m, {
                    {L"FindWindow(\"VeskWndClass\", \"Vesk Tandemix\")", "uint 65552"},
                    {L"FindWindowClass(\"veskwndclass\")", "uint 65552"},
                    {L"FindWindowName(\"Vesk Tandemix\")", "uint 65552"},
                    {L"FindWindowName(\"vesk tandemix\")", "uint 0"},
                    {L"FindWindow(\"VeskWndClass\", \"Other\")", "uint 0"},
                    {L"FindWindowClass(\"WideHandleClass\")", "uint 878082192"},
                    {L"PostMessage(FindWindowClass(\"VeskWndClass\"), 16, 2, -1)", "int 1"},
                    {L"SendMessage(65552, 17, 0, 0)", "int 1"},
                    {L"RegisterWindowMessage(\"ZvMsg\")", "int 49152"},
                    {L"RegisterWindowMessage(\"Other\")", "int 49153"},
                    {L"RegisterWindowMessage(\"zvmsg\")", "int 49152"},
                    {L"PostMessage(\"1\", 2, 3, 4)", "ERR_PARAM_TYPE"},
                });
    ASSERT_EQ(m.messages.size(), 2u);
    EXPECT_EQ(m.messages[0].window, 65552u);
    EXPECT_EQ(m.messages[0].message, 16u);
    EXPECT_EQ(m.messages[0].wParam, 2u);
    EXPECT_EQ(m.messages[0].lParam, -1);
    EXPECT_FALSE(m.messages[0].sent);
    EXPECT_TRUE(m.messages[1].sent);
    EXPECT_EQ(log.Count(L"ZVExpr::FindWindowClass, WARNING: cast from HWND to DWORD was a lossy conversion! original: 78187493520, "
                        L"result: 878082192"),
              1);
}

TEST(Functions, BrandAndOptionOfTheLastLoadedGroup)
{
    zv::expr::FakeMachine m;
    zv::expr::SetLoadedGroupInfo(L"VeSK", L"0");
    CheckAll(m, {{L"brand()", "text vesk"}, {L"UBrand()", "text vesk"}, {L"UPo()", "text 0"}});
    zv::expr::SetLoadedGroupInfo(L"", L"");
    CheckAll(m, {{L"brand()", "text "}});
}

TEST(Functions, TableOrderAndSignatures)
{
    const ExprFunctionEntry* t = ZVExpr::Functions();
    const wchar_t* names[] = {L"SysVer",       L"ServPackVer",  L"VerCompare",   L"IsNT",         L"OSPlatformID",
                              L"OSProductType", L"OSBitSize",   L"SystemEnum",   L"RegVal",       L"RegValExists",
                              L"RegKeyExists", L"DirectXVer",   L"IEVer",        L"FileVer",      L"MSIVer",
                              L"SubStr",       L"VidCompare",   L"CrackPath",    L"SetVar",       L"MemorySize",
                              L"ProcSpeed",    L"ProcNumber",   L"SetRegVal",    L"MSIProductInstalled",
                              L"MSIPackageInstalled", L"FileExists", L"BatteryLevel", L"AvailableDiskSpace",
                              L"MemoryAvailable", L"USBHubCount", L"FindWindow", L"FindWindowClass", L"FindWindowName",
                              L"PostMessage",  L"SendMessage",  L"RegisterWindowMessage", L"brand", L"UBrand", L"UBit",
                              L"UOs",          L"UPo"};
    size_t i = 0;
    for (; t[i].name; ++i) {
        ASSERT_LT(i, std::size(names));
        EXPECT_STREQ(zv::ToUtf8(t[i].name).c_str(), zv::ToUtf8(names[i]).c_str());
    }
    EXPECT_EQ(i, std::size(names));
    EXPECT_EQ(std::wstring(ZVExpr::FindFunction(t, L"VerCompare")->signature), L"???????");
    EXPECT_EQ(std::wstring(ZVExpr::FindFunction(t, L"RegVal")->signature), L"SS*");
    EXPECT_EQ(std::wstring(ZVExpr::FindFunction(t, L"SetVar")->signature), L"V?");
    EXPECT_EQ(std::wstring(ZVExpr::FindFunction(t, L"PostMessage")->signature), L"IIII");
}

} // namespace
