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

TEST(SystemHelpers, VersionAndHandleTests)
{
    // The test prefix reports Windows 7.
    EXPECT_NE(IsVistaOrLater(), FALSE);
    EXPECT_FALSE(IsValidHandle(nullptr));
    EXPECT_FALSE(IsValidHandle(INVALID_HANDLE_VALUE));
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(IsValidHandle(event));
    ::CloseHandle(event);
}

} // namespace
