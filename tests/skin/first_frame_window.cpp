// Start-up cost probe: starts GDI+, shows the progress window (no worker) and reports the
// milliseconds from process creation to the first frame on screen (presented and shown, as
// the bare program notes it) and to the window at full alpha.
#include <windows.h>

#include <cstdio>

#include "skin/belvarra_osk_wnd.h"
#include "skin/gdiplus_include.h"
#include "first_frame_clock.h"

int wmain()
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;
    // Taken on the window's own thread at the first frame: no watcher thread competes with
    // the window for the processor, and the moment is the bare program's.
    double firstFrame = 0;
    zv::skin::SetFirstFrameObserver([&] { firstFrame = zv::test::MsSinceProcessStart(); });
    const double showCalled = zv::test::MsSinceProcessStart();
    zv::skin::ShowProgressWindow(60000);
    const double opaque = zv::test::MsSinceProcessStart();
    zv::skin::SetFirstFrameObserver(nullptr);
    auto* wnd = zv::skin::CBelvarraOSKWnd::Current();
    if (!wnd || wnd->CurrentAlpha() != 255) return 3;
    if (firstFrame <= 0) return 4;
    // The window's own share, from the show call to the first frame: less exposed to the
    // process start's noise on a busy machine.
    std::printf("first-frame-ms=%.2f\nopaque-ms=%.2f\nshow-to-first-frame-ms=%.2f\n", firstFrame, opaque,
                firstFrame - showCalled);
    std::fflush(stdout);
    delete wnd;
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
