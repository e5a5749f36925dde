// The progress window on the test display, driven by a scripted worker whose reports come
// from another thread, as the real worker's do.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "skin/belvarra_osk_wnd.h"
#include "skin/picture_path.h"
#include "skin_test_support.h"

namespace zv::skin {
namespace {

using zv::test::Argb;
using zv::test::PumpUntil;

class ScriptedWorker final : public IProgressWorker {
public:
    void RequestCheck() override { ++checks; }
    void RequestDownload() override { ++downloads; }
    void RequestInstall() override { ++installs; }
    void CancelWork() override { ++cancels; }
    int IsInternetConnected() override { return online ? 1 : 0; }
    void Stop() override { ++stops; }

    // Reports as the worker thread does: from a thread of its own.
    void Report(void (IKVCHUpdaterEvents::*event)(int), int value)
    {
        std::thread([&] { (sink->*event)(value); }).join();
    }

    IKVCHUpdaterEvents* sink = nullptr;
    bool online = true;
    std::atomic<int> checks{0}, downloads{0}, installs{0}, cancels{0}, stops{0};
};

class ScriptedHost final : public IProgressHost {
public:
    bool IsUtilityInstalled() override { return installed; }
    bool IsRegionalBrand() override { return regional; }
    void LaunchUtility() override { ++launches; }
    bool installed = false;
    bool regional = false;
    int launches = 0;
};

// Alpha-250 colours over the opaque background: opaque, within a few steps of the colour.
const Argb kBarBackground{255, 238, 238, 238};
const Argb kBarFill{255, 0, 133, 195};
constexpr int kBarTolerance = 6;

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgressWindowServices(&host, [this](IKVCHUpdaterEvents* sink, DWORD wait) -> IProgressWorker* {
            EXPECT_EQ(wait, kWorkerReadyWaitMs);
            worker.sink = sink;
            return &worker;
        });
    }
    void TearDown() override
    {
        // Whatever a test left open goes away before its worker does.
        delete CBelvarraOSKWnd::Current();
        SetProgressWindowServices(nullptr, nullptr);
    }

    CBelvarraOSKWnd* Show(UINT ms)
    {
        ShowProgressWindow(ms);
        return CBelvarraOSKWnd::Current();
    }
    bool Closes() { return PumpUntil([] { return CBelvarraOSKWnd::Current() == nullptr; }, 5000); }
    static Argb At(const CBelvarraOSKWnd* w, int x, int y)
    {
        return zv::test::Unpremultiply(w->Surface().PixelAt(x, y));
    }
    static void Shot(const CBelvarraOSKWnd* w, const std::wstring& name)
    {
        EXPECT_TRUE(zv::test::SaveSurfacePng(L"skin-" + name + L"-window.png", w->Surface().Canvas()));
        EXPECT_TRUE(zv::test::SaveScreenPng(L"skin-" + name + L"-screen.png"));
    }
    // What the screen shows at a point of the window, once the compositor has caught up.
    static bool ScreenShows(const CBelvarraOSKWnd* w, POINT pt, const Argb& want, Argb* got)
    {
        RECT rc;
        ::GetWindowRect(w->GetSafeHwnd(), &rc);
        return PumpUntil(
            [&] {
                HDC screen = ::GetDC(nullptr);
                COLORREF c = ::GetPixel(screen, rc.left + pt.x, rc.top + pt.y);
                ::ReleaseDC(nullptr, screen);
                *got = Argb{255, GetRValue(c), GetGValue(c), GetBValue(c)};
                return zv::test::Near(*got, want, kBarTolerance + 2);
            },
            1000);
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static void Mouse(CBelvarraOSKWnd* w, UINT msg, POINT pt)
    {
        ::SendMessageW(w->GetSafeHwnd(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(pt.x, pt.y));
    }
    static int ReddishPixels(const CBelvarraOSKWnd* w, const RECT& r)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                Argb c = At(w, x, y);
                n += c.a > 128 && c.r > c.g + 60 && c.r > c.b + 60;
            }
        return n;
    }

    ScriptedWorker worker;
    ScriptedHost host;
};

TEST_F(ProgressWindowTest, AppearsCentredTopmostLayeredUnactivatedAndOpaqueAfterTheFade)
{
    CBelvarraOSKWnd* w = Show(60000);
    ASSERT_NE(w, nullptr);
    HWND hwnd = w->GetSafeHwnd();
    ASSERT_TRUE(::IsWindowVisible(hwnd));
    const LONG_PTR ex = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    const LONG_PTR want = WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_NOACTIVATE;
    EXPECT_EQ(ex & want, want);
    EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_BORDER, 0);
    wchar_t cls[64];
    ::GetClassNameW(hwnd, cls, 64);
    EXPECT_STREQ(cls, L"QUOR_BELVARRA_WND_CLASS");
    EXPECT_EQ(w->CurrentAlpha(), 255);

    RECT wa;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0));
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, w->GetBackgroundSize().cx);
    EXPECT_EQ(rc.bottom - rc.top, w->GetBackgroundSize().cy);
    EXPECT_GT(w->GetBackgroundSize().cx, 100);
    EXPECT_LE(std::abs((rc.left - wa.left) - (wa.right - rc.right)), 1);
    EXPECT_LE(std::abs((rc.top - wa.top) - (wa.bottom - rc.bottom)), 1);
    EXPECT_NE(::GetForegroundWindow(), hwnd);

    // Online, not installed: bar and button from the start, and the check asked for.
    EXPECT_TRUE(w->IsProgressBarVisible());
    EXPECT_TRUE(w->IsCloseButtonVisible());
    EXPECT_EQ(worker.checks, 1);
    EXPECT_FALSE(w->IsFinished());
    Shot(w, L"shown");

    // A second show restarts the period on the same window.
    EXPECT_EQ(Show(5000), w);
}

TEST_F(ProgressWindowTest, BarColoursFollowTheFlow)
{
    CBelvarraOSKWnd* w = Show(60000);
    ASSERT_NE(w, nullptr);
    const RECT bar = w->Layout().bar;
    const int y = (bar.top + bar.bottom) / 2;
    ASSERT_GT(bar.right - bar.left, 100);

    struct Step {
        const wchar_t* name;
        void (IKVCHUpdaterEvents::*event)(int);
        int value;
        int progress;
    } steps[] = {
        {L"check-finished", &IKVCHUpdaterEvents::OnCheckFinished, 1, 0},
        {L"download-started", &IKVCHUpdaterEvents::OnDownloadStarted, 0, 10},
        {L"download-finished", &IKVCHUpdaterEvents::OnDownloadFinished, 1, 50},
        {L"install-started", &IKVCHUpdaterEvents::OnInstallStarted, 0, 60},
        {L"install-finished", &IKVCHUpdaterEvents::OnInstallFinished, 1, 100},
    };
    for (const auto& s : steps) {
        worker.Report(s.event, s.value);
        ASSERT_TRUE(PumpUntil([&] { return w->Progress() == s.progress; }, 2000)) << w->Progress();
        const int edge = bar.left + (bar.right - bar.left) * s.progress / 100;
        if (s.progress > 0) {
            Argb c = At(w, edge - 1, y);
            EXPECT_TRUE(zv::test::Near(c, kBarFill, kBarTolerance)) << s.progress << "% fill " << zv::test::Describe(c);
            c = At(w, bar.left, y);
            EXPECT_TRUE(zv::test::Near(c, kBarFill, kBarTolerance)) << s.progress << "% start " << zv::test::Describe(c);
            EXPECT_TRUE(ScreenShows(w, POINT{edge - 1, y}, kBarFill, &c)) << s.progress << "% screen " << zv::test::Describe(c);
        }
        if (s.progress < 100) {
            Argb c = At(w, edge, y);
            EXPECT_TRUE(zv::test::Near(c, kBarBackground, kBarTolerance)) << s.progress << "% rest " << zv::test::Describe(c);
            c = At(w, bar.right - 1, y);
            EXPECT_TRUE(zv::test::Near(c, kBarBackground, kBarTolerance)) << s.progress << "% end " << zv::test::Describe(c);
            EXPECT_TRUE(ScreenShows(w, POINT{edge, y}, kBarBackground, &c)) << s.progress << "% screen " << zv::test::Describe(c);
        }
        // Above the bar is background, not bar colour.
        EXPECT_FALSE(zv::test::Near(At(w, bar.left + 2, bar.top - 4), kBarFill, kBarTolerance));
        Shot(w, s.name);
    }
    EXPECT_EQ(worker.downloads, 1);
    EXPECT_EQ(worker.installs, 1);
    EXPECT_FALSE(w->IsCloseButtonVisible());
    ASSERT_TRUE(w->IsFinished());
    // The next display tick closes the window and starts the utility.
    ShowProgressWindow(10);
    ASSERT_TRUE(Closes());
    EXPECT_EQ(host.launches, 1);
    EXPECT_EQ(worker.stops, 1);
}

TEST_F(ProgressWindowTest, DownloadCreepsInStepsOfThreeAndStopsAt46)
{
    CBelvarraOSKWnd* w = Show(60000);
    ASSERT_NE(w, nullptr);
    worker.Report(&IKVCHUpdaterEvents::OnCheckFinished, 1);
    worker.Report(&IKVCHUpdaterEvents::OnDownloadStarted, 0);
    ASSERT_TRUE(PumpUntil([&] { return w->Progress() == 10; }, 2000));
    ASSERT_TRUE(PumpUntil([&] { return w->Progress() == 13; }, 2000));
    ASSERT_TRUE(PumpUntil([&] { return w->Progress() == 46; }, 9000)) << w->Progress();
    zv::test::PumpFor(1200);
    EXPECT_EQ(w->Progress(), 46);
}

TEST_F(ProgressWindowTest, HoverPictureReplacesTheCloseButtonAndAClickCancels)
{
    CBelvarraOSKWnd* w = Show(60000);
    ASSERT_NE(w, nullptr);
    worker.Report(&IKVCHUpdaterEvents::OnCheckFinished, 1);
    worker.Report(&IKVCHUpdaterEvents::OnDownloadStarted, 0);
    ASSERT_TRUE(PumpUntil([&] { return w->Progress() >= 10; }, 2000));

    const RECT close = w->Layout().close;
    ASSERT_GT(close.right - close.left, 4);
    const int redBefore = ReddishPixels(w, close);
    Mouse(w, WM_MOUSEMOVE, Centre(close));
    EXPECT_TRUE(w->IsCloseButtonHover());
    const int redHover = ReddishPixels(w, close);
    EXPECT_GT(redHover, redBefore + 10) << redBefore << " -> " << redHover;
    Shot(w, L"hover");
    Mouse(w, WM_MOUSEMOVE, POINT{close.left - 20, close.top});
    EXPECT_FALSE(w->IsCloseButtonHover());
    EXPECT_EQ(ReddishPixels(w, close), redBefore);

    // Just outside the button: nothing.
    Mouse(w, WM_LBUTTONDOWN, POINT{close.left - 1, close.top});
    EXPECT_EQ(worker.cancels, 0);
    EXPECT_FALSE(w->IsFinished());
    Mouse(w, WM_LBUTTONDOWN, Centre(close));
    EXPECT_EQ(worker.cancels, 1);
    EXPECT_TRUE(w->IsFinished());
    ShowProgressWindow(10);
    ASSERT_TRUE(Closes());
    EXPECT_EQ(host.launches, 1);
}

TEST_F(ProgressWindowTest, FirstFrameIsOnScreenTransparentBeforeTheFadeAndReportedOnce)
{
    struct Seen {
        int calls = 0;
        bool visible = false;
        int alpha = -1;
        bool hoverDecoded = true;
    } seen;
    SetFirstFrameObserver([&] {
        ++seen.calls;
        CBelvarraOSKWnd* w = CBelvarraOSKWnd::Current();
        seen.visible = w && ::IsWindowVisible(w->GetSafeHwnd());
        seen.alpha = w ? w->CurrentAlpha() : -1;
        seen.hoverDecoded = w && w->IsHoverPictureDecoded();
    });
    CBelvarraOSKWnd* w = Show(60000);
    Show(5000);
    SetFirstFrameObserver(nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.alpha, 0);
    // The hover picture is not on the first frame, so it was not decoded before it ...
    EXPECT_FALSE(seen.hoverDecoded);
    // ... but as soon as the window's thread is free, ahead of the first hover.
    EXPECT_TRUE(PumpUntil([&] { return w->IsHoverPictureDecoded(); }, 2000));
}

TEST_F(ProgressWindowTest, OnlyTheBrandLogoThatIsDrawnIsDecoded)
{
    struct Case {
        bool regional;
        bool regionalDecoded;
    };
    const Case cases[] = {{false, false}, {true, true}};
    std::vector<Argb> logos[2];
    for (const Case& c : cases) {
        host.regional = c.regional;
        CBelvarraOSKWnd* w = Show(60000);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->IsRegionalLogoDecoded(), c.regionalDecoded) << "regional " << c.regional;
        const RECT b = w->Layout().brand;
        ASSERT_GT(b.right - b.left, 10);
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left; x < b.right; ++x) logos[c.regional].push_back(At(w, x, y));
        delete w;
    }
    // The regional brand shows its own logo in the main logo's place.
    int differing = 0;
    for (size_t i = 0; i < logos[0].size() && i < logos[1].size(); ++i)
        differing += !zv::test::Near(logos[0][i], logos[1][i], 8);
    EXPECT_GT(differing, 50);
}

TEST_F(ProgressWindowTest, ClicksOnAHiddenButtonDoNothing)
{
    struct Case {
        const char* what;
        bool installed;
        bool installing;
    } cases[] = {{"utility installed", true, false}, {"install running", false, true}};
    for (const auto& c : cases) {
        host.installed = c.installed;
        CBelvarraOSKWnd* w = Show(60000);
        ASSERT_NE(w, nullptr) << c.what;
        if (c.installing) {
            worker.Report(&IKVCHUpdaterEvents::OnCheckFinished, 1);
            worker.Report(&IKVCHUpdaterEvents::OnDownloadFinished, 1);
            worker.Report(&IKVCHUpdaterEvents::OnInstallStarted, 0);
            ASSERT_TRUE(PumpUntil([&] { return w->Progress() == 60; }, 2000)) << c.what;
        }
        EXPECT_FALSE(w->IsCloseButtonVisible()) << c.what;
        EXPECT_EQ(w->IsProgressBarVisible(), c.installing) << c.what;
        const RECT close = w->Layout().close;
        EXPECT_EQ(ReddishPixels(w, close), 0) << c.what;
        Mouse(w, WM_MOUSEMOVE, Centre(close));
        EXPECT_EQ(ReddishPixels(w, close), 0) << c.what;
        Mouse(w, WM_LBUTTONDOWN, Centre(close));
        EXPECT_EQ(worker.cancels, 0) << c.what;
        EXPECT_FALSE(w->IsFinished()) << c.what;
        Shot(w, c.installed ? L"installed" : L"installing");
        // A zero period ticks at once but the window waits for the worker's report.
        ShowProgressWindow(0);
        zv::test::PumpFor(200);
        ASSERT_EQ(CBelvarraOSKWnd::Current(), w) << c.what;
        worker.Report(&IKVCHUpdaterEvents::OnCheckFinished, 0);
        if (c.installing) worker.Report(&IKVCHUpdaterEvents::OnInstallFinished, 1);
        ASSERT_TRUE(Closes()) << c.what;
    }
}

struct BoxSeen {
    std::wstring caption, text;
    bool dismissed = false;
};

// Finds the message box of this process by its caption, reads it and presses OK.
void DismissNoConnectionBox(BoxSeen* seen)
{
    HWND box = nullptr;
    const ULONGLONG end = ::GetTickCount64() + 10000;
    while (::GetTickCount64() < end) {
        box = ::FindWindowW(L"#32770", kNoConnectionCaption);
        if (box && ::IsWindowVisible(box)) break;
        ::Sleep(20);
    }
    if (!box) return;
    wchar_t buf[1024] = {};
    ::GetWindowTextW(box, buf, 1024);
    seen->caption = buf;
    ::GetDlgItemTextW(box, 0xFFFF, buf, 1024);
    seen->text = buf;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    seen->dismissed = true;
}

TEST_F(ProgressWindowTest, OfflineShowsTheNoConnectionBoxThenClosesWithoutChecking)
{
    for (bool regional : {false, true}) {
        worker.online = false;
        host.regional = regional;
        BoxSeen seen;
        std::thread dismisser(DismissNoConnectionBox, &seen);
        CBelvarraOSKWnd* w = Show(50);
        dismisser.join();
        ASSERT_TRUE(seen.dismissed) << regional;
        EXPECT_EQ(seen.caption, L"No Internet Connection");
        const std::wstring want =
            std::wstring(L"Internet connectivity is not available.\n"
                         L"A network connection is required to complete the installation of this software.\n"
                         L"Alternatively, download the software here: ") +
            (regional ? L"https://support.tessaron.jp/tandemix" : L"https://support.quorvane.com/tandemix");
        EXPECT_EQ(seen.text, want);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->IsFinished());
        ASSERT_TRUE(Closes());
        EXPECT_EQ(worker.checks, 0);
    }
}

TEST_F(ProgressWindowTest, ReportsAfterTheWindowIsGoneReachNothing)
{
    CBelvarraOSKWnd* w = Show(10);
    ASSERT_NE(w, nullptr);
    IKVCHUpdaterEvents* sink = worker.sink;
    worker.Report(&IKVCHUpdaterEvents::OnCheckFinished, 0);
    ASSERT_TRUE(Closes());
    EXPECT_EQ(worker.stops, 1);
    // The worker may still be busy: its late reports are dropped.
    std::thread([sink] {
        sink->OnDownloadStarted(0);
        sink->OnInstallFinished(1);
    }).join();
    zv::test::PumpFor(100);
    EXPECT_EQ(CBelvarraOSKWnd::Current(), nullptr);
}

int g_relayed = 0;
LRESULT CALLBACK CountRelayed(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kMsgUpdaterEvent && wParam == static_cast<WPARAM>(UpdaterEvent::DownloadFinished) && lParam == 7)
        ++g_relayed;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(ProgressEventRelay, PostsFromTheWorkerThreadUntilDetached)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountRelayed;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RelayTarget";
    ::RegisterClassW(&wc);
    HWND target = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(target, nullptr);
    CProgressEventRelay* relay = CProgressEventRelay::Attach(target);
    g_relayed = 0;
    std::thread([relay] { relay->OnDownloadFinished(7); }).join();
    EXPECT_TRUE(PumpUntil([] { return g_relayed == 1; }, 1000));
    relay->Detach();
    std::thread([relay] { relay->OnDownloadFinished(7); }).join();
    zv::test::PumpFor(100);
    EXPECT_EQ(g_relayed, 1);
    ::DestroyWindow(target);
}

TEST_F(ProgressWindowTest, WithoutPicturesNoWindowStaysAndTheNextShowStartsAfresh)
{
    const std::wstring images = PicturePath(L"");
    const std::wstring folder = images.substr(0, images.size() - 1);
    const std::wstring aside = folder + L"-aside";
    ASSERT_TRUE(::MoveFileW(folder.c_str(), aside.c_str()));
    ShowProgressWindow(60000);
    const bool absent = CBelvarraOSKWnd::Current() == nullptr;
    const HWND stray = ::FindWindowW(L"QUOR_BELVARRA_WND_CLASS", nullptr);
    ASSERT_TRUE(::MoveFileW(aside.c_str(), folder.c_str()));
    EXPECT_TRUE(absent);
    EXPECT_EQ(stray, nullptr);
    EXPECT_EQ(worker.checks, 0);
    ASSERT_NE(Show(60000), nullptr);
}

} // namespace
} // namespace zv::skin
