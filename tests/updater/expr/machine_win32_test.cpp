// The Win32 machine under Wine: real registry, files, windows, installer and versions.
#include "eval_helpers.h"

#include "support/child_process.h"
#include "support/test_paths.h"
#include "updater/expr/machine.h"
#include "updater/expr/os_info.h"
#include "updater/expr/seed_variables.h"

#include <windows.h>

#include <regex>

using namespace zv::exprtest;
using com_quorvane_value::CValue;

namespace {

Outcome Real(const std::wstring& text)
{
    return RunZv(zv::expr::ProcessMachine(), text);
}

void CheckAll(std::initializer_list<Case> cases)
{
    for (const auto& c : cases) EXPECT_EQ(Real(c.expression).Show(), c.expected) << zv::ToUtf8(c.expression);
}

TEST(Win32Machine, OperatingSystemAndHardware)
{
    CheckAll({
        {L"SysVer()", "text 6.1.7601"},
        {L"ServPackVer()", "text 1.0"},
        {L"UOs()", "text _w7"},
        {L"SystemEnum()", "int 12"},
        {L"IsNT()", "int 1"},
        {L"OSPlatformID()", "uint 2"},
        {L"OSProductType()", "int 1"},
        {L"VerCompare(2, 6, 0, 6, 1, 6, 1)", "int 1"},
        {L"MemorySize() > 0", "int 1"},
        {L"MemoryAvailable() <= MemorySize()", "int 1"},
        {L"ProcNumber() > 0", "int 1"},
        {L"ProcSpeed() == RegVal(\"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0\", \"~MHz\", 0)",
         "int 1"},
        {L"BatteryLevel()", "uint 100"},
        {L"VidCompare(640, 480, 24)", "int 1"},
        {L"VidCompare(100000, 1, 1)", "int 0"},
        {L"USBHubCount()", "uint 0"},
        {L"AvailableDiskSpace(\"C:\\\") > 0", "int 1"},
        {L"AvailableDiskSpace(\"C:\\no\\such\\folder\\file.bin\") > 0", "int 1"},
    });
    zv::expr::OsClassification c = zv::expr::ClassifyOs(zv::expr::ProcessMachine());
    EXPECT_EQ(c.is64, 1);
    EXPECT_EQ(c.build, 7601u);
}

// A key of this process's own under HKEY_CURRENT_USER, removed afterwards.
class TestKey {
public:
    TestKey() : m_path(L"Software\\ZvExprTest_" + std::to_wstring(GetCurrentProcessId()))
    {
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    ~TestKey()
    {
        RegCloseKey(m_key);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }
    void Set(const wchar_t* name, DWORD type, const void* data, size_t bytes)
    {
        EXPECT_EQ(RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes)), ERROR_SUCCESS);
    }
    std::wstring Full() const { return L"HKEY_CURRENT_USER\\" + m_path; }

private:
    std::wstring m_path;
    HKEY m_key = nullptr;
};

std::wstring Quoted(const std::wstring& s)
{
    return L"\"" + s + L"\"";
}

TEST(Win32Machine, RegistryReadsEveryType)
{
    TestKey key;
    DWORD five = 5;
    ULONGLONG big = 0x123456789ull;
    const wchar_t text[] = L"hello";
    const wchar_t expand[] = L"%WINDIR%\\x";
    const wchar_t multi[] = L"one\0two\0";
    const BYTE bin[] = {0x00, 0xff};
    key.Set(L"Five", REG_DWORD, &five, sizeof five);
    key.Set(L"Big", REG_QWORD, &big, sizeof big);
    key.Set(L"Text", REG_SZ, text, sizeof text);
    key.Set(L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
    key.Set(L"List", REG_MULTI_SZ, multi, sizeof multi);
    key.Set(L"Bin", REG_BINARY, bin, sizeof bin);
    std::wstring k = Quoted(key.Full());
    CheckAll({
        {L"RegVal(\"HKEY_CURRENT_USER\\Software\\NoSuchKeyZv\", \"x\", 7)", "int 7"},
        {(L"RegVal(" + k + L", \"Five\", 0)").c_str(), "int 5"},
        {(L"RegVal(" + k + L", \"Nope\", \"d\")").c_str(), "text d"},
        {(L"RegVal(" + k + L", \"Big\", 0)").c_str(), "int64 4886718345"},
        {(L"RegVal(" + k + L", \"Text\", 0)").c_str(), "text hello"},
        {(L"RegVal(" + k + L", \"Expand\", 0)").c_str(), "text %WINDIR%\\x"},
        {(L"RegVal(" + k + L", \"List\", 0)").c_str(), "textlist one"},
        {(L"RegVal(" + k + L", \"Bin\", 0)").c_str(), "blob "},
        {(L"RegValExists(" + k + L", \"Five\")").c_str(), "uint 1"},
        {(L"RegValExists(" + k + L", \"Nope\")").c_str(), "uint 0"},
        {(L"RegKeyExists(" + k + L")").c_str(), "uint 1"},
        {L"RegKeyExists(\"HKEY_CURRENT_USER\\Software\\NoSuchKeyZv\")", "uint 0"},
        {L"RegVal(\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\", \"ProgramFilesDir\", \"\")", "text C:\\Program Files"},
        {L"RegVal(\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\", \"ProgramFilesDir\", \"\", 64)",
         "text C:\\Program Files"},
    });
    zv::expr::RegData data;
    ASSERT_EQ(zv::expr::ProcessMachine().ReadRegValue(zv::expr::RegRoot::CurrentUser, key.Full().substr(18), L"Bin", data),
              zv::expr::RegQuery::Ok);
    EXPECT_EQ(data.type, static_cast<uint32_t>(REG_BINARY));
    EXPECT_EQ(data.bytes, (std::vector<uint8_t>{0x00, 0xff}));
}

TEST(Win32Machine, SetRegValWritesIntoTheExistingInstallKey)
{
    const wchar_t* installKey = L"Software\\Quorvane\\Install";
    HKEY h = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, installKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, &disposition), ERROR_SUCCESS);
    std::wstring name = L"ZvExprTest_" + std::to_wstring(GetCurrentProcessId());
    CheckAll({
        {(L"SetRegVal(\"" + name + L"\", \"yes\")").c_str(), "text "},
        {(L"RegVal(\"HKEY_CURRENT_USER\\Software\\Quorvane\\Install\", \"" + name + L"\", \"\")").c_str(), "text yes"},
    });
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(h, name.c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 8u); // "yes" and its terminating zero
    RegDeleteValueW(h, name.c_str());
    RegCloseKey(h);
    if (disposition == REG_CREATED_NEW_KEY) RegDeleteKeyW(HKEY_CURRENT_USER, installKey);
}

TEST(Win32Machine, FilesAndVersions)
{
    zv::test::ScratchDir dir(L"expr_files");
    std::wstring plain = dir.File(L"plain.txt");
    zv::test::WriteFileBytes(plain, "no version here");
    std::wstring probe = zv::test::SiblingProgram(L"expr_probe.exe");
    CheckAll({
        {(L"FileExists(" + Quoted(probe) + L")").c_str(), "int 1"},
        {(L"FileExists(" + Quoted(plain) + L")").c_str(), "int 1"},
        {(L"FileExists(" + Quoted(dir.Path()) + L")").c_str(), "int 0"},
        {(L"FileExists(" + Quoted(dir.File(L"missing.bin")) + L")").c_str(), "int 0"},
        {(L"FileVer(" + Quoted(probe) + L")").c_str(), "text 1.2.3.4"},
        {(L"FileVer(" + Quoted(plain) + L")").c_str(), "ERR_FUNCTION"},
        {(L"FileVer(" + Quoted(dir.File(L"missing.bin")) + L")").c_str(), "ERR_FUNCTION"},
    });
    Outcome msiVer = Real(L"MSIVer()");
    ASSERT_TRUE(msiVer.ok);
    EXPECT_TRUE(std::regex_match(zv::ToUtf8(msiVer.value.AsText()), std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << msiVer.Show();
}

// A hidden top-level window of this test's own.
class TestWindow {
public:
    static constexpr const wchar_t* kClass = L"ZvExprTestWindowClass";
    TestWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
        title = L"ZvExprTest window " + std::to_wstring(GetCurrentProcessId());
        hwnd = CreateWindowExW(0, kClass, title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd); }
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == WM_APP + 2) {
            sentWParam = w;
            sentLParam = l;
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }
    HWND hwnd = nullptr;
    std::wstring title;
    static inline WPARAM sentWParam = 0;
    static inline LPARAM sentLParam = 0;
};

TEST(Win32Machine, WindowsAndMessages)
{
    TestWindow w;
    ASSERT_NE(w.hwnd, nullptr);
    std::string handle = "uint " + std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w.hwnd)));
    std::wstring t = Quoted(w.title);
    CheckAll({
        {(L"FindWindow(\"ZvExprTestWindowClass\", " + t + L")").c_str(), handle.c_str()},
        {L"FindWindowClass(\"ZvExprTestWindowClass\")", handle.c_str()},
        {(L"FindWindowName(" + t + L")").c_str(), handle.c_str()},
        {L"FindWindowName(\"No such window title ZvExpr\")", "uint 0"},
        {L"PostMessage(FindWindowClass(\"ZvExprTestWindowClass\"), 32769, 7, 9)", "int 1"},
        {L"SendMessage(FindWindowClass(\"ZvExprTestWindowClass\"), 32770, 3, -4)", "int 1"},
    });
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, w.hwnd, WM_APP + 1, WM_APP + 1, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.lParam, 9);
    EXPECT_EQ(TestWindow::sentWParam, 3u);
    EXPECT_EQ(TestWindow::sentLParam, -4);
    UINT registered = RegisterWindowMessageW(L"ZvExprTestMessage");
    EXPECT_EQ(Real(L"RegisterWindowMessage(\"ZvExprTestMessage\")").Show(), "int " + std::to_string(registered));
}

TEST(Win32Machine, EnvironmentFoldersAndLanguage)
{
    SetEnvironmentVariableW(L"ZVEXPR_TEST_ENV", L"C:\\env");
    CheckAll({
        {L"%ZVEXPR_TEST_ENV%", "text C:\\env"},
        {L"\"%ZVEXPR_TEST_ENV%\\x\"", "text C:\\env\\x"},
        {L"%ZVEXPR_NO_SUCH_ENV%", "text "},
    });
    SetEnvironmentVariableW(L"ZVEXPR_TEST_ENV", nullptr);

    zv::expr::IMachine& m = zv::expr::ProcessMachine();
    bool ok = false;
    std::wstring temp = zv::expr::TempDirectory(m, ok);
    EXPECT_TRUE(ok);
    com_quorvane_value::VariableTable vars;
    zv::expr::SeedUpdaterVariables(m, temp, vars);
    struct Expect {
        const wchar_t* name;
        const wchar_t* text;
    } expected[] = {
        {L"windir", L"C:\\windows"},         {L"sysdir", L"C:\\windows\\system32"}, {L"programfiles", L"C:\\Program Files"},
        {L"commonappdata", L"C:\\ProgramData"}, {L"os", L"_w7"},                   {L"bitness", L"64"},
        {L"lang", L"ENU"},                   {L"langhexid", L"0409"},               {L"rebootrequired", L"0"},
    };
    for (const auto& e : expected) {
        ASSERT_TRUE(vars.count(e.name)) << zv::ToUtf8(e.name);
        EXPECT_EQ(vars.at(e.name)->AsText(), e.text) << zv::ToUtf8(e.name);
    }
    EXPECT_EQ(vars.at(L"langid")->AsInt(), 0x0409);
    EXPECT_FALSE(vars.at(L"tempdir")->AsText().empty());
    EXPECT_NE(vars.at(L"tempdir")->AsText().back(), L'\\');
    ZVExpr e;
    e.CopyVariables(vars);
    EXPECT_EQ(Eval(e, L"\"<windir>\\notepad.exe\"").Show(), "text C:\\windows\\notepad.exe");
    EXPECT_EQ(Eval(e, L"FileExists(\"<sysdir>\\msi.dll\") && (MSIVer() == FileVer(\"<sysdir>\\msi.dll\"))").Show(), "int 1");
}

// Runs the probe with Wine told to report another Windows version to it.
std::vector<std::string> ProbeAs(const wchar_t* wineVersion, const std::wstring& expressions)
{
    const std::wstring key = L"Software\\Wine\\AppDefaults\\expr_probe.exe";
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(wineVersion),
                   static_cast<DWORD>((wcslen(wineVersion) + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    zv::test::ScratchDir dir(L"expr_probe");
    std::wstring out = dir.File(L"out.txt");
    zv::test::ChildProcess child;
    EXPECT_TRUE(child.Start(zv::test::SiblingProgram(L"expr_probe.exe"), Quoted(out) + L" " + expressions));
    EXPECT_EQ(child.Wait(60000), 0u);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    std::vector<std::string> lines;
    std::string text = zv::test::ReadFileBytes(out);
    for (size_t pos = 0, nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1) lines.push_back(text.substr(pos, nl - pos));
    return lines;
}

TEST(Win32Machine, ClassifiesTheVersionsWineReports)
{
    // Wine 8 reports its "win7" setting as a server (product type 3) and "win2008r2" as a
    // workstation; a fresh prefix's default is the workstation. The classification
    // follows what the system reports.
    struct Row {
        const wchar_t* wine;
        const char* uos;
        const char* sysver;
        const char* productType;
        const char* systemEnum;
    } rows[] = {
        {L"winxp64", "text _xp", "text 5.2.3790", "int 1", "int 8"},
        {L"win2003", "text 2k3", "text 5.2.3790", "int 3", "int 8"},
        {L"vista", "text _vi", "text 6.0.6002", "int 1", "int 10"},
        {L"win2008", "text 2k8", "text 6.0.6002", "int 3", "int 10"},
        {L"win7", "text 8r2", "text 6.1.7601", "int 3", "int 12"},
        {L"win2008r2", "text _w7", "text 6.1.7601", "int 1", "int 12"},
        {L"win8", "text _w8", "text 6.2.9200", "int 1", "int 0"},
        {L"win81", "text unk", "text 6.3.9600", "int 1", "int 0"},
        {L"win10", "text unk", "text 10.0.", "int 1", "int 0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(zv::ToUtf8(r.wine));
        std::vector<std::string> lines = ProbeAs(r.wine, L"UOs() SysVer() OSProductType() SystemEnum()");
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], r.uos);
        EXPECT_EQ(lines[1].compare(0, strlen(r.sysver), r.sysver), 0) << lines[1];
        EXPECT_EQ(lines[2], r.productType);
        EXPECT_EQ(lines[3], r.systemEnum);
    }
}

// Windows Installer against a real package built by wixl and installed with msiexec.
const wchar_t kProductCode[] = L"{6B1C8A1E-3D1F-4C55-9E07-5A1B2C3D4E01}";

DWORD Msiexec(const std::wstring& arguments)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    zv::test::ChildProcess child;
    if (!child.Start(std::wstring(system) + L"\\msiexec.exe", arguments)) return GetLastError();
    return child.Wait(120000);
}

TEST(Win32Machine, WindowsInstallerProductsAndPackages)
{
    std::wstring v1 = zv::test::BuildPath(L"tests/updater/expr/zvexprtest-1.2.3.msi");
    std::wstring v2 = zv::test::BuildPath(L"tests/updater/expr/zvexprtest-1.2.4.msi");
    ASSERT_TRUE(zv::test::FileExists(v1) && zv::test::FileExists(v2)) << "packages are built by wixl";
    std::wstring product = L"MSIProductInstalled(\"" + std::wstring(kProductCode) + L"\")";
    Msiexec(L"/x " + std::wstring(kProductCode) + L" /qn"); // a leftover of an interrupted run
    EXPECT_EQ(Real(product).Show(), "int 0");
    EXPECT_EQ(Real(L"MSIPackageInstalled(" + Quoted(v1) + L")").Show(), "int 0");

    ASSERT_EQ(Msiexec(L"/i " + Quoted(v1) + L" /qn"), 0u);
    CheckAll({
        {product.c_str(), "int 1"},
        {(L"MSIPackageInstalled(" + Quoted(v1) + L")").c_str(), "int 1"},
        {(L"MSIPackageInstalled(" + Quoted(v2) + L")").c_str(), "int 0"},
        {L"MSIPackageInstalled(\"C:\\no\\such\\package.msi\")", "int 0"},
        {L"MSIProductInstalled(\"{00000000-0000-0000-0000-000000000000}\")", "int 0"},
        {L"MSIProductInstalled(\"not a product code\")", "int 0"},
    });
    std::wstring installedVersion;
    EXPECT_TRUE(zv::expr::ProcessMachine().OpenInstalledProduct(kProductCode, installedVersion));
    EXPECT_EQ(installedVersion, L"1.2.3");

    EXPECT_EQ(Msiexec(L"/x " + std::wstring(kProductCode) + L" /qn"), 0u);
    EXPECT_EQ(Real(product).Show(), "int 0");
}

} // namespace
