#include "launcher/controller_wnd.h"

#include "framework/reg_key.h"
#include "launcher/launcher_messages.h"
#include "launcher/receiver_watcher.h"
#include "launcher/utility_detection.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zv::launcher::CMainWnd;

struct RecordingHost : zv::launcher::IControllerHost {
    void ShowProgressWindow(int periodMs) override { shown.push_back(periodMs); }
    void SetLaunchParams(const std::wstring& params) override { launchParams = params; }
    std::vector<int> shown;
    std::wstring launchParams = L"unset";
};

void Pump(HWND hwnd)
{
    MSG msg;
    while (::PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        zv::fw::CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, zv::launcher::kProductKey, KEY_ALL_ACCESS) == ERROR_SUCCESS)
            key.DeleteValue(L"DisablePopupMode");
    }
    static void SetDisable(DWORD type, const void* data, DWORD size)
    {
        zv::fw::CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, zv::launcher::kProductKey), ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.Get(), L"DisablePopupMode", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
};

TEST_F(ControllerTest, SecondArrivalBringsThePopupWithLaunchParameters)
{
    RecordingHost host;
    CMainWnd wnd(host);
    ASSERT_TRUE(wnd.CreateHidden());
    EXPECT_EQ(::FindWindowW(zv::launcher::kControllerWndClass, nullptr), wnd.GetSafeHwnd());
    EXPECT_FALSE(::IsWindowVisible(wnd.GetSafeHwnd()));
    Pump(wnd.GetSafeHwnd()); // Wine's virtual devices post nothing
    EXPECT_EQ(wnd.m_nReceiverCount, 0);

    ::PostMessageW(wnd.GetSafeHwnd(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
    Pump(wnd.GetSafeHwnd());
    EXPECT_TRUE(host.shown.empty()) << "one receiver is the one present at start";
    ::PostMessageW(wnd.GetSafeHwnd(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
    Pump(wnd.GetSafeHwnd());
    EXPECT_EQ(host.shown, std::vector<int>{2000});
    EXPECT_EQ(host.launchParams, L"-p");

    ::PostMessageW(wnd.GetSafeHwnd(), zv::launcher::WM_ZV_RECEIVER_REMOVED, 0, 0);
    ::PostMessageW(wnd.GetSafeHwnd(), zv::launcher::WM_ZV_SHOW_SPLASH, 5000, 0);
    Pump(wnd.GetSafeHwnd());
    EXPECT_EQ(wnd.m_nReceiverCount, 1);
    EXPECT_EQ(host.shown, (std::vector<int>{2000, 5000}));

    HWND hwnd = wnd.GetSafeHwnd();
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    Pump(hwnd);
    EXPECT_FALSE(::IsWindow(hwnd));
    zv::launcher::StopReceiverWatcher();
}

TEST_F(ControllerTest, PopupModeIsOffOnlyForANonZeroFourByteNumber)
{
    EXPECT_TRUE(CMainWnd::IsPopupModeOn()) << "missing value";
    const DWORD one = 1, zero = 0;
    const unsigned long long wide = 1;
    SetDisable(REG_DWORD, &one, 4);
    EXPECT_FALSE(CMainWnd::IsPopupModeOn());
    SetDisable(REG_DWORD, &zero, 4);
    EXPECT_TRUE(CMainWnd::IsPopupModeOn());
    SetDisable(REG_SZ, L"1", 4);
    EXPECT_TRUE(CMainWnd::IsPopupModeOn()) << "text";
    SetDisable(REG_QWORD, &wide, 8);
    EXPECT_TRUE(CMainWnd::IsPopupModeOn()) << "eight bytes";
    SetDisable(REG_BINARY, &one, 4);
    EXPECT_TRUE(CMainWnd::IsPopupModeOn()) << "four bytes of another type";

    SetDisable(REG_DWORD, &one, 4);
    RecordingHost host;
    CMainWnd wnd(host, false);
    ASSERT_TRUE(wnd.CreateHidden());
    for (int i = 0; i < 3; ++i) ::PostMessageW(wnd.GetSafeHwnd(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
    Pump(wnd.GetSafeHwnd());
    EXPECT_EQ(wnd.m_nReceiverCount, 3);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(host.launchParams, L"") << "no start of the utility is prepared";
}

} // namespace
