// Start-up cost probe: starts GDI+, shows the progress window (no worker) and reports the
// milliseconds from process creation to the first visible frame of the fade and to the
// window at full alpha.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "skin/belvarra_osk_wnd.h"
#include "skin/gdiplus_include.h"
#include "first_frame_clock.h"

int wmain()
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;
    // The fade runs inside the show call: a watcher notes its first visible step.
    std::atomic<bool> done{false};
    std::atomic<double> firstFrame{0};
    std::thread watcher([&] {
        while (!done) {
            HWND hwnd = ::FindWindowW(zv::skin::kBelvarraWndClass, nullptr);
            // Shown right after its first present; the fade's first step follows at once.
            if (hwnd && ::IsWindowVisible(hwnd)) {
                firstFrame = zv::test::MsSinceProcessStart();
                return;
            }
            ::Sleep(1);
        }
    });
    zv::skin::ShowProgressWindow(60000);
    const double opaque = zv::test::MsSinceProcessStart();
    done = true;
    watcher.join();
    auto* wnd = zv::skin::CBelvarraOSKWnd::Current();
    if (!wnd || wnd->CurrentAlpha() != 255) return 3;
    // A watcher starved past the whole fade saw no frame: no figure rather than a zero.
    if (firstFrame.load() <= 0) return 4;
    std::printf("first-frame-ms=%.2f\nopaque-ms=%.2f\n", firstFrame.load(), opaque);
    std::fflush(stdout);
    delete wnd;
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
