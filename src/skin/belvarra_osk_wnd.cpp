#include "skin/belvarra_osk_wnd.h"

#include <windowsx.h>

#include "skin/gdiplus_include.h"
#include "skin/picture_path.h"

namespace zv::skin {

namespace {
IProgressHost* g_host = nullptr;
WorkerStarter g_startWorker;
CBelvarraOSKWnd* g_progressWnd = nullptr;
std::function<void()> g_firstFrameObserver;

const Gdiplus::Color kBarBackground(250, 238, 238, 238);
const Gdiplus::Color kBarFill(250, 0, 133, 195);

void FillOnSurface(const CMyImageDC& dc, const RECT& r, const Gdiplus::Color& colour)
{
    if (!dc.Canvas() || r.right <= r.left || r.bottom <= r.top) return;
    Gdiplus::Graphics g(dc.Canvas());
    g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    Gdiplus::SolidBrush brush(colour);
    g.FillRectangle(&brush, Gdiplus::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top));
}
} // namespace

void SetProgressWindowServices(IProgressHost* host, WorkerStarter starter)
{
    g_host = host;
    g_startWorker = std::move(starter);
}

void SetFirstFrameObserver(std::function<void()> observer)
{
    g_firstFrameObserver = std::move(observer);
}

std::wstring NoConnectionText(bool regionalBrand)
{
    return std::wstring(L"Internet connectivity is not available.\n"
                        L"A network connection is required to complete the installation of this software.\n"
                        L"Alternatively, download the software here: ") +
           (regionalBrand ? kRegionalBrandDownloadUrl : kMainBrandDownloadUrl);
}

CBelvarraOSKWnd* CBelvarraOSKWnd::Current() noexcept
{
    return g_progressWnd;
}

void ShowProgressWindow(UINT displayMs)
{
    if (!g_progressWnd) {
        g_progressWnd = new CBelvarraOSKWnd();
        if (!g_progressWnd->CreateProgress()) {
            // No half-made always-on-top window stays behind, and the next show starts afresh.
            delete g_progressWnd;
            g_progressWnd = nullptr;
            return;
        }
        g_progressWnd->StartWork();
    }
    CBelvarraOSKWnd* wnd = g_progressWnd;
    // The no-connection box may have let the window close while it was up.
    if (!wnd || !wnd->GetSafeHwnd()) return;
    if (wnd->m_nDisplayTimer) ::KillTimer(wnd->GetSafeHwnd(), wnd->m_nDisplayTimer);
    wnd->m_nDisplayTimer = ::SetTimer(wnd->GetSafeHwnd(), kDisplayTimerId, displayMs, nullptr);
    ::ShowWindow(wnd->GetSafeHwnd(), SW_SHOWNOACTIVATE);
}

void CloseProgressWindow()
{
    delete g_progressWnd; // the destructor clears the pointer
}

CBelvarraOSKWnd::~CBelvarraOSKWnd()
{
    // The worker may still report; from here on its reports go nowhere.
    if (m_pRelay) m_pRelay->Detach();
    if (m_pWorker) m_pWorker->Stop();
    if (g_progressWnd == this) g_progressWnd = nullptr;
}

BOOL CBelvarraOSKWnd::CreateProgress()
{
    // Only what the first frame shows is decoded before it: the regional logo is decoded
    // when it is drawn, the hover picture after the first frame or at the first hover.
    LoadBackground(L"VeskBackground.png");
    m_picLogo.Load(PicturePath(L"tandemLogo.png"));
    m_picBrand.Load(PicturePath(L"logo_enu.png"));
    m_picByLine.Load(PicturePath(L"by.png"));
    m_picClose.Load(PicturePath(L"close_button_grey.png"));

    const SIZE size = GetBackgroundSize();
    const RECT wa = CurrentWorkArea();
    // Centred in the work area, its own origin included, so a task bar on the left or top
    // does not push the window off centre.
    const LONG left = wa.left + (wa.right - wa.left - size.cx) / 2;
    const LONG top = wa.top + (wa.bottom - wa.top - size.cy) / 2;
    if (!CreateSkinned(nullptr, RECT{left, top, left + size.cx, top + size.cy}, FALSE, 0)) return FALSE;
    ComputeLayout();

    const bool installed = g_host && g_host->IsUtilityInstalled();
    m_bProgressBarVisible = m_bCloseButtonVisible = installed ? 0 : 1;

    // CreateSkinned has just put the background into the surface: the rest goes over it.
    DrawForeground();
    if (!Present()) return FALSE;
    ::ShowWindow(GetSafeHwnd(), SW_SHOWNOACTIVATE);
    if (g_firstFrameObserver) g_firstFrameObserver();
    FadeIn(this);
    ::PostMessageW(GetSafeHwnd(), kMsgDecodeDeferredPictures, 0, 0);
    // The worker's start (the library's set-up, waited for) follows the first frame rather
    // than delaying it; nothing is asked of the worker before StartWork.
    m_pRelay = CProgressEventRelay::Attach(GetSafeHwnd());
    if (g_startWorker) m_pWorker = g_startWorker(m_pRelay, kWorkerReadyWaitMs);
    return TRUE;
}

void CBelvarraOSKWnd::ComputeLayout()
{
    ProgressPictureSizes sizes;
    sizes.window = GetBackgroundSize();
    sizes.logo = m_picLogo.GetSize();
    sizes.brand = m_picBrand.GetSize();
    sizes.byLine = m_picByLine.GetSize();
    sizes.close = m_picClose.GetSize();
    m_layout = ComputeProgressLayout(sizes);
}

void CBelvarraOSKWnd::StartWork()
{
    if (!m_pWorker) {
        // Nothing will ever report: let the window close at its first tick.
        m_bFinished = 1;
        return;
    }
    if (!g_host || g_host->IsUtilityInstalled() || m_pWorker->IsInternetConnected()) {
        // Finished stays clear until the check has started: a zero display period must not
        // close the window before the worker has reported anything.
        m_bFinished = 0;
        m_pWorker->RequestCheck();
        return;
    }
    m_bFinished = 0;
    const std::wstring text = NoConnectionText(g_host->IsRegionalBrand());
    ::MessageBoxW(GetSafeHwnd(), text.c_str(), kNoConnectionCaption, MB_OK | MB_ICONERROR);
    m_bFinished = 1;
}

void CBelvarraOSKWnd::DrawAll(const RECT& rect)
{
    m_picBackground.Draw(m_dcSurface, rect, true);
    DrawForeground();
}

void CBelvarraOSKWnd::DrawForeground()
{
    m_picLogo.Draw(m_dcSurface, m_layout.logo);
    const bool regional = g_host && g_host->IsRegionalBrand();
    (regional ? m_picRegionalBrand.Get() : m_picBrand).Draw(m_dcSurface, m_layout.brand);
    m_picByLine.Draw(m_dcSurface, m_layout.byLine);
    DrawCloseButton();
    FillProgressBar();
}

void CBelvarraOSKWnd::DrawCloseButton()
{
    if (!m_bCloseButtonVisible) return;
    (m_bCloseButtonHover ? m_picCloseHover.Get() : m_picClose).Draw(m_dcSurface, m_layout.close);
}

void CBelvarraOSKWnd::FillProgressBar()
{
    if (!m_bProgressBarVisible) return;
    FillOnSurface(m_dcSurface, m_layout.bar, kBarBackground);
    FillOnSurface(m_dcSurface, BarFillRect(m_layout.bar, m_nProgress), kBarFill);
}

void CBelvarraOSKWnd::DrawProgressBar()
{
    if (!m_bProgressBarVisible) return;
    FillProgressBar();
    Present();
}

void CBelvarraOSKWnd::RedrawCloseButton()
{
    ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
    // The whole picture again, so the soft edges of the two button states never pile up.
    DrawAll(RECT{0, 0, GetBackgroundSize().cx, GetBackgroundSize().cy});
    Present();
}

void CBelvarraOSKWnd::OnUpdaterEvent(UpdaterEvent event, int value)
{
    switch (event) {
    case UpdaterEvent::CheckStarted:
        m_bFinished = 0;
        break;
    case UpdaterEvent::CheckFinished:
        if (!m_pWorker) break;
        if (value) {
            m_pWorker->RequestDownload();
            m_bProgressBarVisible = m_bCloseButtonVisible = 1;
            DrawCloseButton();
            DrawProgressBar();
        } else {
            m_bFinished = 1;
        }
        break;
    case UpdaterEvent::DownloadStarted:
        m_bFinished = 0;
        m_nProgress = 10;
        DrawProgressBar();
        ::SetTimer(GetSafeHwnd(), kCreepTimerId, kCreepPeriodMs, nullptr);
        break;
    case UpdaterEvent::DownloadFinished:
        if (!m_pWorker) break;
        if (value)
            m_pWorker->RequestInstall();
        else
            m_bFinished = 1;
        m_nProgress = 50;
        DrawProgressBar();
        break;
    case UpdaterEvent::InstallStarted:
        m_bFinished = 0;
        m_nProgress = 60;
        // An install cannot be cancelled: the button goes away for its whole length.
        m_bCloseButtonVisible = 0;
        m_bCloseButtonHover = 0;
        DrawAll(RECT{0, 0, GetBackgroundSize().cx, GetBackgroundSize().cy});
        Present();
        break;
    case UpdaterEvent::InstallFinished:
        m_bFinished = 1;
        m_bCloseButtonVisible = 0;
        m_nProgress = 100;
        DrawProgressBar();
        break;
    }
}

bool CBelvarraOSKWnd::OnTimer(UINT_PTR id)
{
    if (id == kDisplayTimerId) {
        if (!m_bFinished) return false;
        ::KillTimer(GetSafeHwnd(), kDisplayTimerId);
        IProgressHost* host = g_host;
        delete this; // destroys the window and clears the process-wide pointer
        if (host) host->LaunchUtility();
        return true;
    }
    if (id == kCreepTimerId) {
        if (m_nProgress < 10 || m_nProgress > 43) {
            ::KillTimer(GetSafeHwnd(), kCreepTimerId);
            ::OutputDebugStringW(L"Killing Download timer since the value range reached");
        } else {
            m_nProgress += 3;
            DrawProgressBar();
        }
    }
    return false;
}

void CBelvarraOSKWnd::OnMouseMove(POINT pt)
{
    if (::PtInRect(&m_layout.close, pt)) {
        m_bCloseButtonHover = 1;
        RedrawCloseButton();
    } else if (m_bCloseButtonHover) {
        m_bCloseButtonHover = 0;
        RedrawCloseButton();
    }
}

void CBelvarraOSKWnd::OnLButtonDown(POINT pt)
{
    if (!m_bCloseButtonVisible || !::PtInRect(&m_layout.close, pt)) return;
    if (m_pWorker) m_pWorker->CancelWork();
    m_bFinished = 1;
}

LRESULT CBelvarraOSKWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kMsgUpdaterEvent:
        OnUpdaterEvent(static_cast<UpdaterEvent>(wParam), static_cast<int>(lParam));
        return 0;
    case kMsgDecodeDeferredPictures:
        // The first hover then redraws at once instead of decoding first.
        m_picCloseHover.Get();
        return 0;
    case WM_TIMER:
        OnTimer(wParam); // may delete this: touch nothing after it
        return 0;
    case WM_MOUSEMOVE: {
        LRESULT r = Default(message, wParam, lParam);
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return r;
    }
    case WM_LBUTTONDOWN: {
        LRESULT r = Default(message, wParam, lParam);
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return r;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSELEAVE:
    case WM_USER + 0x11:
    case WM_USER + 0xEE:
        return 0;
    case WM_DISPLAYCHANGE:
        return 1;
    default:
        return CBelvarraBaseWnd::WindowProc(message, wParam, lParam);
    }
}

} // namespace zv::skin
