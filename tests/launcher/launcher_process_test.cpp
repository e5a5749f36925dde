// The launcher executable started as separate processes under one session.
#include "launcher/instance_check.h"
#include "launcher/launcher_messages.h"

#include "framework/wnd.h"
#include "support/child_process.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using zv::fw::CHandle;
using zv::test::ChildProcess;

const wchar_t kApp[] = L"VeskLaunchTandemixApp.exe";

std::vector<HWND> ControllerWindows(DWORD pid = 0)
{
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t cls[64] = {};
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (::GetClassNameW(hwnd, cls, 64) && wcscmp(cls, zv::launcher::kControllerWndClass) == 0 &&
                (s->pid == 0 || s->pid == owner))
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool AwaitController(DWORD pid)
{
    for (int i = 0; i < 200; ++i) {
        if (!ControllerWindows(pid).empty()) return true;
        ::Sleep(50);
    }
    return false;
}

int VisibleWindowsOf(DWORD pid)
{
    std::pair<DWORD, int> tally{pid, 0};
    ::EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<std::pair<DWORD, int>*>(p);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->first && ::IsWindowVisible(hwnd)) ++s->second;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tally));
    return tally.second;
}

void CloseAllLaunchers()
{
    for (HWND hwnd : ControllerWindows()) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool MappingExists(const std::wstring& appName)
{
    CHandle m(::OpenFileMappingW(FILE_MAP_READ, FALSE, zv::launcher::CQuorInstanceCheck(appName).MappingName().c_str()));
    return static_cast<bool>(m);
}

// The test process plays the running instance: it holds the mapping and a controller window
// and records what later starts post to it.
class FakeRunningInstance : public zv::fw::CWnd {
public:
    bool Create()
    {
        m_mapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                             zv::launcher::CQuorInstanceCheck(L"VeskLaunchTandemixApp").MappingName().c_str()));
        return m_mapping && ::GetLastError() != ERROR_ALREADY_EXISTS &&
               RegisterWndClass(::GetModuleHandleW(nullptr), zv::launcher::kControllerWndClass) &&
               CreateEx(WS_EX_TOOLWINDOW, zv::launcher::kControllerWndClass, nullptr, WS_POPUP, 0, 0, 1, 1);
    }
    void Drain()
    {
        MSG msg;
        while (::PeekMessageW(&msg, GetSafeHwnd(), 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    std::vector<std::pair<UINT, WPARAM>> received;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CLOSE || message == zv::launcher::WM_ZV_SHOW_SPLASH) {
            received.emplace_back(message, wParam);
            return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    CHandle m_mapping;
};

TEST(LauncherProcess, ALaterStartForwardsItsRequestAndExits)
{
    struct Case {
        const wchar_t* args;
        std::vector<std::pair<UINT, WPARAM>> expected;
    };
    const Case cases[] = {
        {L"", {{zv::launcher::WM_ZV_SHOW_SPLASH, 2000}}},
        {L"-SPLASH_DURATION:7000", {{zv::launcher::WM_ZV_SHOW_SPLASH, 7000}}},
        {L"/s", {}},
        {L"/x /s", {{WM_CLOSE, 0}}},
        {L"/X", {{WM_CLOSE, 0}, {zv::launcher::WM_ZV_SHOW_SPLASH, 2000}}},
    };
    FakeRunningInstance running;
    ASSERT_TRUE(running.Create());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "args: " << std::string(c.args, c.args + wcslen(c.args)));
        running.received.clear();
        ChildProcess later;
        ASSERT_TRUE(later.Start(zv::test::SiblingProgram(kApp), c.args));
        EXPECT_EQ(later.Wait(10000), 0u);
        running.Drain();
        EXPECT_EQ(running.received, c.expected);
    }
}

TEST(LauncherProcess, CloseWithNothingRunningExitsAtOnceAndLeavesNoMapping)
{
    ASSERT_FALSE(MappingExists(L"VeskLaunchTandemixApp"));
    ChildProcess app;
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(app.Start(zv::test::SiblingProgram(kApp), L"/x"));
    EXPECT_EQ(app.Wait(10000), 0u);
    // No window look-ups with their one-second pauses.
    EXPECT_LT(::GetTickCount64() - start, 2500u);
    EXPECT_FALSE(MappingExists(L"VeskLaunchTandemixApp"));
}

TEST(LauncherProcess, SilentRunsWithoutVisibleWindowsAndCloseEndsIt)
{
    ChildProcess first;
    ASSERT_TRUE(first.Start(zv::test::SiblingProgram(kApp), L"/s"));
    ASSERT_TRUE(AwaitController(first.Pid()));
    EXPECT_TRUE(MappingExists(L"VeskLaunchTandemixApp"));
    EXPECT_EQ(first.Wait(500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(VisibleWindowsOf(first.Pid()), 0);

    ChildProcess closer;
    ASSERT_TRUE(closer.Start(zv::test::SiblingProgram(kApp), L"/x"));
    EXPECT_EQ(closer.Wait(10000), 0u);
    EXPECT_EQ(first.Wait(10000), 0u);
    EXPECT_FALSE(MappingExists(L"VeskLaunchTandemixApp"));
}

TEST(LauncherProcess, ACopyUnderAnotherNameIsNotBlocked)
{
    zv::test::ScratchDir dir(L"launcher_copy");
    const std::wstring copy = dir.File(L"OtherLauncher.exe");
    ASSERT_TRUE(::CopyFileW(zv::test::SiblingProgram(kApp).c_str(), copy.c_str(), FALSE));
    ChildProcess original, renamed;
    ASSERT_TRUE(original.Start(zv::test::SiblingProgram(kApp), L"/s"));
    ASSERT_TRUE(AwaitController(original.Pid()));
    ASSERT_TRUE(renamed.Start(copy, L"/s"));
    ASSERT_TRUE(AwaitController(renamed.Pid()));
    EXPECT_TRUE(MappingExists(L"OtherLauncher"));
    EXPECT_EQ(original.Wait(0), static_cast<DWORD>(STILL_ACTIVE));
    CloseAllLaunchers();
    EXPECT_EQ(original.Wait(10000), 0u);
    EXPECT_EQ(renamed.Wait(10000), 0u);
}

TEST(LauncherProcess, TwentySimultaneousStartsLeaveExactlyOne)
{
    const int kStarts = 20;
    std::vector<std::unique_ptr<ChildProcess>> apps;
    for (int i = 0; i < kStarts; ++i) {
        apps.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(apps.back()->Start(zv::test::SiblingProgram(kApp), L"/s"));
    }
    // The later starts look for the winner's window for up to three seconds, then exit.
    int running = 0;
    DWORD survivor = 0;
    for (auto& app : apps) {
        if (app->Wait(15000) == STILL_ACTIVE) {
            ++running;
            survivor = app->Pid();
        }
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(ControllerWindows().size(), 1u);
    EXPECT_EQ(ControllerWindows(survivor).size(), 1u);
    CloseAllLaunchers();
    for (auto& app : apps) EXPECT_NE(app->Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
}

} // namespace
