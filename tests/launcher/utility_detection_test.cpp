#include "launcher/utility_detection.h"

#include "utility_registry_fixture.h"

#include <objbase.h>

#include <fstream>
#include <sstream>

namespace {

using zv::launcher::CUtilityLauncher;
using zv::test::UtilityRegistryTest;

struct DetectionCase {
    const char* name;
    std::wstring value; // "$D" stands for the scratch folder
    DWORD type;
    bool installed;
    std::wstring arguments; // expected, "$D" likewise
};

std::wstring Substitute(std::wstring text, const std::wstring& dir)
{
    for (size_t at; (at = text.find(L"$D")) != std::wstring::npos;) text.replace(at, 2, dir);
    return text;
}

TEST_F(UtilityRegistryTest, DetectsTheRegisteredProgramFromRealValues)
{
    const DetectionCase cases[] = {
        {"quoted with argument", LR"("$D\Quor Vane\KVCHHost.exe" -tray)", REG_SZ, true, L"-tray"},
        {"quoted alone", LR"("$D\Quor Vane\KVCHHost.exe")", REG_SZ, true, L""},
        {"unquoted, space in folder, argument", LR"($D\Quor Vane\KVCHHost.exe -tray -x)", REG_SZ, true, L"-tray -x"},
        {"unquoted alone", LR"($D\Quor Vane\KVCHHost.exe)", REG_SZ, true, L""},
        {"upper-case extension", LR"($D\Quor Vane\KVCHHost.EXE -tray)", REG_SZ, true, L"-tray"},
        {"mixed-case extension is not cut", LR"($D\Quor Vane\KVCHHost.Exe -tray)", REG_SZ, false, L""},
        {"environment variables", LR"(%ZVTEST_UTIL_DIR%\Quor Vane\KVCHHost.exe -in=%ZVTEST_UTIL_DIR%)",
         REG_EXPAND_SZ, true, L"-in=$D"},
        {"trailing backslash names a folder", LR"($D\Quor Vane\)", REG_SZ, false, L""},
        {"missing program", LR"("$D\Quor Vane\Missing.exe" -tray)", REG_SZ, false, L""},
        {"empty", L"", REG_SZ, false, L""},
        {"relative name in the current folder", L"KVCHHost.exe", REG_SZ, false, L""},
        {"relative folder", LR"(Quor Vane\KVCHHost.exe)", REG_SZ, false, L""},
        {"drive-relative", LR"(C:KVCHHost.exe)", REG_SZ, false, L""},
        {"too long once expanded", LR"(%ZVTEST_LONG%\KVCHHost.exe)", REG_EXPAND_SZ, false, L""},
    };
    ::SetEnvironmentVariableW(L"ZVTEST_LONG", (m_dir->Path() + L"\\" + std::wstring(520, L'a')).c_str());
    // A relative value must not be found in the current folder, where the program is.
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(m_programDir.c_str()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring value = Substitute(c.value, m_dir->Path());
        Register(value, c.type);
        CUtilityLauncher app;
        std::wstring version = L"unset";
        EXPECT_EQ(app.IsUtilityInstalled(&version), c.installed);
        auto found = zv::launcher::FindInstalledUtility();
        ASSERT_EQ(found.has_value(), c.installed);
        if (c.installed) {
            EXPECT_EQ(app.m_strUtilityPath, value) << "the command is kept as read";
            EXPECT_EQ(::CompareStringOrdinal(found->resolved.program.c_str(), -1, m_program.c_str(), -1, TRUE),
                      CSTR_EQUAL);
            EXPECT_EQ(found->resolved.arguments, Substitute(c.arguments, m_dir->Path()));
            EXPECT_EQ(version, L"0.00.00");
        } else {
            EXPECT_TRUE(app.m_strUtilityPath.empty());
            EXPECT_EQ(version, L"unset");
        }
        EXPECT_TRUE(zv::launcher::CommandPathExists(value, true) == c.installed);
    }
    ::SetCurrentDirectoryW(previous);
}

TEST_F(UtilityRegistryTest, ReadsTheVersionAndFallsBackToThe32BitView)
{
    CUtilityLauncher app;
    EXPECT_FALSE(app.IsUtilityInstalled());

    Register(L"\"" + m_program + L"\"", REG_SZ, KEY_WOW64_32KEY);
    std::wstring version;
    EXPECT_TRUE(app.IsUtilityInstalled(&version));
    EXPECT_EQ(version, L"0.00.00");
    SetProduct(L"Version", L"2.31.07");
    EXPECT_TRUE(app.IsUtilityInstalled(&version));
    EXPECT_EQ(version, L"2.31.07");

    // A value of another type is no registration.
    Clear();
    DWORD number = 1;
    zv::fw::CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, zv::launcher::kUtilityAppPathsKey), ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
    EXPECT_FALSE(zv::launcher::FindInstalledUtility().has_value());
}

TEST_F(UtilityRegistryTest, RegionalBrandByFlavorThenLanguageWhenInstalled)
{
    struct BrandCase {
        const wchar_t* flavor;   // null: absent
        const wchar_t* language; // null: absent
        bool regional;
    };
    const BrandCase cases[] = {
        {L"Tessaron", nullptr, true}, {L"tessaron", nullptr, false}, {nullptr, L"JPN", true},
        {nullptr, L"jpn", false},     {L"Other", L"JPN", false},     {L"Tessaron", L"ENU", true},
        {nullptr, nullptr, false},
    };
    Register(L"\"" + m_program + L"\"");
    for (const auto& c : cases) {
        Clear();
        Register(L"\"" + m_program + L"\"");
        if (c.flavor) SetProduct(L"Flavor", c.flavor);
        if (c.language) SetProduct(L"Language", c.language);
        EXPECT_EQ(zv::launcher::IsRegionalBrand(), c.regional)
            << (c.flavor ? "flavor " : "") << (c.language ? "language" : "");
    }
}

// Run twice by the build: as is, and with LC_ALL=ja_JP.UTF-8 and ZVTEST_EXPECT_JAPANESE=1.
TEST_F(UtilityRegistryTest, NotInstalledFollowsTheSystemLanguage)
{
    wchar_t expect[8] = {};
    bool japanese = ::GetEnvironmentVariableW(L"ZVTEST_EXPECT_JAPANESE", expect, 8) && expect[0] == L'1';
    ASSERT_EQ(::GetSystemDefaultLangID() == 0x0411, japanese) << "the run's locale is not the one expected";
    // Product values do not count while the utility is not installed.
    SetProduct(L"Flavor", japanese ? L"Other" : L"Tessaron");
    EXPECT_EQ(zv::launcher::IsRegionalBrand(), japanese);
}

std::string WaitForFile(const std::wstring& path)
{
    std::string content = "<not started>";
    for (int i = 0; i < 1000; ++i) {
        if (zv::test::FileExists(path)) {
            content = zv::test::ReadFileBytes(path);
            if (!content.empty()) break;
        }
        ::Sleep(10);
    }
    return content;
}

TEST_F(UtilityRegistryTest, LaunchStartsTheTestedProgramWithItsArgumentsThenTheLaunchParameters)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)));
    const std::wstring out = m_dir->File(L"stub-args.txt");
    ::SetEnvironmentVariableW(L"ZVTEST_STUB_OUT", out.c_str());
    Register(LR"("%ZVTEST_UTIL_DIR%\Quor Vane\KVCHHost.exe" --from "%ZVTEST_UTIL_DIR%")", REG_EXPAND_SZ);

    CUtilityLauncher app;
    app.m_strLaunchParams = L"-p";
    EXPECT_TRUE(app.LaunchUtility());
    EXPECT_TRUE(app.m_strLaunchParams.empty());
    std::string dir(m_dir->Path().begin(), m_dir->Path().end());
    EXPECT_EQ(WaitForFile(out), "--from|" + dir + "|-p");

    ::DeleteFileW(out.c_str());
    EXPECT_TRUE(app.LaunchUtility());
    EXPECT_EQ(WaitForFile(out), "--from|" + dir) << "the parameters served one start only";

    // A registration that no longer passes: nothing starts, and "-p" is still cleared.
    Register(L"KVCHHost.exe");
    CUtilityLauncher stale;
    stale.m_strLaunchParams = L"-p";
    EXPECT_FALSE(stale.LaunchUtility());
    EXPECT_TRUE(stale.m_strLaunchParams.empty());
    ::CoUninitialize();
}

} // namespace
