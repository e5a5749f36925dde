#include "framework/handle.h"
#include "framework/reg_key.h"
#include "support/child_process.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/base/win32/system_helpers.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(PathHelpers, SharedUpdaterDirIsUnderCommonAppData)
{
    // A fresh Wine prefix puts common application data in C:\ProgramData.
    EXPECT_EQ(GetCommonAppDataDir(), L"C:\\ProgramData\\");
    EXPECT_EQ(GetSharedUpdaterDir(), L"C:\\ProgramData\\QuorShrd\\Updater");
}

TEST(PathHelpers, ModuleDirectoryAndItsParent)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self);
    std::wstring dir = exe.substr(0, exe.rfind(L'\\'));
    EXPECT_EQ(GetModuleDirectory(), dir);
    EXPECT_EQ(GetParentOfModuleDirectory(), dir.substr(0, dir.rfind(L'\\')));
}

TEST(SystemHelpers, VistaOrLaterFollowsTheReportedVersion)
{
    // Wine reports the version of the registry's per-program setting to the probe.
    const std::wstring key = L"Software\\Wine\\AppDefaults\\version_probe.exe";
    const struct {
        const wchar_t* wineVersion;
        DWORD exitCode; // 60: IsVistaOrLater nonzero, 50: zero
    } rows[] = {{L"winxp", 50}, {L"win2003", 50}, {L"vista", 60}, {L"win7", 60}, {L"win10", 60}};
    for (const auto& row : rows) {
        {
            zv::fw::CRegKey appDefaults;
            ASSERT_EQ(appDefaults.Create(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
            ASSERT_EQ(appDefaults.SetString(L"Version", row.wineVersion), ERROR_SUCCESS);
        }
        zv::test::ChildProcess probe;
        ASSERT_TRUE(probe.Start(zv::test::SiblingProgram(L"version_probe.exe"), L""));
        EXPECT_EQ(probe.Wait(60000), row.exitCode) << row.wineVersion;
    }
    zv::fw::CRegKey::DeleteTree(HKEY_CURRENT_USER, key);
}

TEST(SystemHelpers, HandleTests)
{
    EXPECT_FALSE(IsValidHandle(nullptr));
    EXPECT_FALSE(IsValidHandle(INVALID_HANDLE_VALUE));
    zv::fw::CHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_TRUE(IsValidHandle(event.Get()));
}

} // namespace
