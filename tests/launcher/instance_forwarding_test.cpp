#include "launcher/instance_forwarding.h"

#include "framework/wnd.h"
#include "launcher/launcher_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zv::launcher::ForwardToRunningInstance;
using zv::launcher::KECommandLineInfo;

// Stands in for the running instance's controller window and records what reaches it.
class RecordingController : public zv::fw::CWnd {
public:
    bool Create()
    {
        return RegisterWndClass(::GetModuleHandleW(nullptr), zv::launcher::kControllerWndClass) &&
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
};

TEST(ForwardToRunningInstance, PostsCloseAndShowAsTheSwitchesAsk)
{
    struct Case {
        std::vector<std::wstring> args;
        std::vector<std::pair<UINT, WPARAM>> expected;
    };
    const Case cases[] = {
        {{}, {{zv::launcher::WM_ZV_SHOW_SPLASH, 2000}}},
        {{L"/splash_duration:5000"}, {{zv::launcher::WM_ZV_SHOW_SPLASH, 5000}}},
        {{L"/s"}, {}},
        {{L"/x", L"/s"}, {{WM_CLOSE, 0}}},
        {{L"-X"}, {{WM_CLOSE, 0}, {zv::launcher::WM_ZV_SHOW_SPLASH, 2000}}},
    };
    RecordingController controller;
    ASSERT_TRUE(controller.Create());
    for (const auto& c : cases) {
        KECommandLineInfo info;
        info.ParseArguments(c.args);
        controller.received.clear();
        auto result = ForwardToRunningInstance(info, {4, 10});
        EXPECT_EQ(result.controller, controller.GetSafeHwnd());
        EXPECT_EQ(result.lookupsMade, 1);
        controller.Drain();
        EXPECT_EQ(controller.received, c.expected) << c.args.size() << " argument(s)";
    }
}

TEST(ForwardToRunningInstance, GivesUpAfterItsLookupsWhenNoControllerExists)
{
    KECommandLineInfo info;
    DWORD before = ::GetTickCount();
    auto result = ForwardToRunningInstance(info, {4, 50});
    DWORD elapsed = ::GetTickCount() - before;
    EXPECT_EQ(result.controller, nullptr);
    EXPECT_EQ(result.lookupsMade, 4);
    EXPECT_FALSE(result.postedClose);
    EXPECT_FALSE(result.postedShow);
    EXPECT_GE(elapsed, 140u) << "three pauses between four look-ups";
}

} // namespace
