#include "framework/win_app.h"
#include "framework/win_thread.h"
#include "framework/wnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

constexpr wchar_t kTestClass[] = L"ZvFrameworkTestWnd";
constexpr UINT kThrowingMessage = WM_APP + 1;
constexpr UINT kCountedMessage = WM_APP + 2;

class TestWnd : public zv::fw::CWnd {
public:
    bool Create()
    {
        return RegisterWndClass(::GetModuleHandleW(nullptr), kTestClass) &&
               CreateEx(0, kTestClass, L"test", WS_POPUP, 0, 0, 10, 10);
    }
    std::vector<UINT> seen;
    int ncDestroyed = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NCCREATE || message == WM_CREATE || message == kCountedMessage) seen.push_back(message);
        if (message == kThrowingMessage) throw std::runtime_error("handler failed");
        if (message == kCountedMessage) return 42;
        return Default(message, wParam, lParam);
    }
    void PostNcDestroy() noexcept override { ++ncDestroyed; }
};

TEST(CWnd, BindsAtCreationAndDispatchesToMembers)
{
    TestWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND hwnd = wnd.GetSafeHwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(zv::fw::CWnd::FromHandle(hwnd), &wnd);
    // The object already received the very first messages of its window.
    ASSERT_GE(wnd.seen.size(), 2u);
    EXPECT_EQ(wnd.seen[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(wnd.seen[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(::SendMessageW(hwnd, kCountedMessage, 0, 0), 42);
    // An exception in a handler stays inside the window procedure.
    EXPECT_EQ(::SendMessageW(hwnd, kThrowingMessage, 0, 0), 0);
    EXPECT_TRUE(::IsWindow(hwnd));

    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
    EXPECT_EQ(wnd.ncDestroyed, 1);
    EXPECT_EQ(zv::fw::CWnd::FromHandle(hwnd), nullptr);
}

TEST(CWnd, DestructorDestroysItsWindow)
{
    HWND hwnd = nullptr;
    {
        TestWnd wnd;
        ASSERT_TRUE(wnd.Create());
        hwnd = wnd.GetSafeHwnd();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

class LoopApp : public zv::fw::CWinApp {
public:
    TestWnd window;
    int threadMessages = 0;
    bool initResult = true;
    bool exited = false;

protected:
    bool InitInstance() override
    {
        if (!initResult) return false;
        if (!window.Create()) return false;
        m_pMainWnd = &window;
        // Delivered by the loop: a thread message, a window message, then the end.
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 7, 0, 0);
        ::PostMessageW(window.GetSafeHwnd(), kCountedMessage, 0, 0);
        ::PostMessageW(window.GetSafeHwnd(), WM_CLOSE, 0, 0);
        return true;
    }
    void OnThreadMessage(const MSG& msg) override
    {
        if (msg.message == WM_APP + 7) ++threadMessages;
        throw std::runtime_error("a failing thread-message handler must not end the loop");
    }
    int ExitInstance() override
    {
        exited = true;
        return 5;
    }
};

TEST(CWinApp, MainWindowDestructionEndsTheLoopAndExitInstanceRuns)
{
    LoopApp app;
    EXPECT_EQ(app.Run(), 5);
    EXPECT_TRUE(app.exited);
    EXPECT_EQ(app.threadMessages, 1);
    EXPECT_EQ(app.window.seen.back(), kCountedMessage);
    EXPECT_EQ(app.window.GetSafeHwnd(), nullptr);
}

TEST(CWinApp, FailedInitInstanceSkipsTheLoop)
{
    LoopApp app;
    app.initResult = false;
    EXPECT_EQ(app.Run(), 5);
    EXPECT_TRUE(app.exited);
    EXPECT_EQ(app.threadMessages, 0);
}

class WorkerThread : public zv::fw::CWinThread {
public:
    explicit WorkerThread(bool initOk, DWORD initDelayMs = 0) : m_initOk(initOk), m_initDelayMs(initDelayMs) {}
    ~WorkerThread() override { Stop(); }
    std::atomic<int> handled{0};
    std::atomic<bool> exited{false};
    std::atomic<bool> queueExistedAtReady{false};

protected:
    bool InitInstance() override
    {
        ::Sleep(m_initDelayMs);
        // A post from this very thread succeeds only when the queue exists.
        queueExistedAtReady = ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0) != FALSE;
        return m_initOk;
    }
    void OnThreadMessage(const MSG& msg) override
    {
        if (msg.message == WM_APP + 3) throw std::runtime_error("step failed");
        if (msg.message == WM_APP + 4) ++handled;
    }
    int ExitInstance() override
    {
        exited = true;
        return 9;
    }

private:
    bool m_initOk;
    DWORD m_initDelayMs;
};

TEST(CWinThread, ReadyAfterItsQueueExistsAndHandlesThreadMessagesInOrder)
{
    WorkerThread worker(true, 100);
    EXPECT_FALSE(worker.PostThreadMessage(WM_APP + 4)) << "no post before the thread exists";
    ASSERT_TRUE(worker.CreateThread());
    EXPECT_FALSE(worker.CreateThread());
    ASSERT_TRUE(worker.WaitReady(10000));
    EXPECT_TRUE(worker.queueExistedAtReady.load());
    EXPECT_TRUE(worker.PostThreadMessage(WM_APP + 3)); // its handler throws; the thread goes on
    EXPECT_TRUE(worker.PostThreadMessage(WM_APP + 4));
    EXPECT_TRUE(worker.PostThreadMessage(WM_APP + 4));
    ASSERT_TRUE(worker.Stop(10000));
    EXPECT_EQ(worker.handled.load(), 2) << "WM_QUIT comes after the messages posted before it";
    EXPECT_TRUE(worker.exited.load());
    EXPECT_EQ(worker.ExitCode(), 9);
    EXPECT_FALSE(worker.PostThreadMessage(WM_APP + 4)) << "no post after the end";
}

TEST(CWinThread, WaitReadyTimesOutWhileInitRunsAndFailsWhenInitFails)
{
    WorkerThread slow(true, 500);
    ASSERT_TRUE(slow.CreateThread());
    EXPECT_FALSE(slow.WaitReady(10));
    EXPECT_FALSE(slow.PostThreadMessage(WM_APP + 4)) << "nobody uses the thread before ready";
    EXPECT_TRUE(slow.WaitReady(10000));

    WorkerThread failing(false);
    ASSERT_TRUE(failing.CreateThread());
    EXPECT_FALSE(failing.WaitReady(10000));
    EXPECT_FALSE(failing.PostThreadMessage(WM_APP + 4));
    ASSERT_TRUE(failing.Stop(10000));
    EXPECT_TRUE(failing.exited.load());
}

} // namespace
