#include "skin/belvarra_base_wnd.h"

#include "skin/picture_path.h"

namespace zv::skin {

namespace {
// Only one window moves at a time; the capture belongs to the whole process.
std::atomic<bool> g_moveCaptured{false};

BLENDFUNCTION BlendOf(BYTE alpha) noexcept
{
    return BLENDFUNCTION{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
}
} // namespace

bool ClampToWorkArea(RECT& r, const RECT& wa) noexcept
{
    bool changed = false;
    const LONG w = r.right - r.left;
    const LONG h = r.bottom - r.top;
    // Left before right and top before bottom: a window too large for the work area keeps
    // its left or top edge on the work area's and settles at once.
    if (r.left < wa.left || (r.right > wa.right && w > wa.right - wa.left)) {
        if (r.left != wa.left) {
            r.left = wa.left;
            r.right = wa.left + w;
            changed = true;
        }
    } else if (r.right > wa.right) {
        r.left -= r.right - wa.right;
        r.right = wa.right;
        changed = true;
    }
    if (r.top < wa.top || (r.bottom > wa.bottom && h > wa.bottom - wa.top)) {
        if (r.top != wa.top) {
            r.top = wa.top;
            r.bottom = wa.top + h;
            changed = true;
        }
    } else if (r.bottom > wa.bottom) {
        r.top -= r.bottom - wa.bottom;
        r.bottom = wa.bottom;
        changed = true;
    }
    return changed;
}

RECT CurrentWorkArea() noexcept
{
    RECT wa{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0))
        wa = RECT{0, 0, ::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
    return wa;
}

CBelvarraBaseWnd::CBelvarraBaseWnd() noexcept = default;

CBelvarraBaseWnd::~CBelvarraBaseWnd()
{
    StopFade();
    DestroyWindow();
}

BOOL CBelvarraBaseWnd::LoadBackground(const std::wstring& fileName)
{
    m_strBackgroundPath = PicturePath(fileName);
    m_picBackground.Load(m_strBackgroundPath);
    m_sizeBackground = m_picBackground.GetSize();
    return TRUE;
}

BOOL CBelvarraBaseWnd::CreateSkinned(HWND, const RECT& rect, BOOL showNow, BYTE initialAlpha)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    m_rcWindow = rect;
    if (HWND hwnd = GetSafeHwnd()) {
        ::MoveWindow(hwnd, rect.left, rect.top, width, height, TRUE);
    } else {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        if (!RegisterWndClass(instance, kBelvarraWndClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW)) return FALSE;
        // No parent, whatever the caller passes: the window stands on its own above all others.
        if (!CreateEx(kBelvarraExStyle, kBelvarraWndClass, L"", WS_POPUP, rect.left, rect.top, width, height))
            return FALSE;
    }
    zv::fw::CScreenDc screen(::GetDC(nullptr));
    if (!m_dcSurface.Create(screen.Get(), width, height)) return FALSE;
    if (!DrawBackground(RECT{0, 0, width, height}, TRUE)) return FALSE;
    m_alpha = initialAlpha;
    return showNow ? Present() : TRUE;
}

BOOL CBelvarraBaseWnd::DrawBackground(const RECT& rect, BOOL copy)
{
    return m_picBackground.Draw(m_dcSurface, rect, copy != FALSE) != 0;
}

BOOL CBelvarraBaseWnd::Present(const RECT& rectIn)
{
    HWND hwnd = GetSafeHwnd();
    if (!hwnd || !m_dcSurface.GetSafeHdc()) return FALSE;
    RECT rect = rectIn;
    if (::IsRectEmpty(&rect)) ::GetWindowRect(hwnd, &rect);
    POINT pos{rect.left, rect.top};
    SIZE size{rect.right - rect.left, rect.bottom - rect.top};
    POINT src{0, 0};
    BLENDFUNCTION blend = BlendOf(m_alpha.load());
    return ::UpdateLayeredWindow(hwnd, nullptr, &pos, &size, m_dcSurface.GetSafeHdc(), &src, 0, &blend, ULW_ALPHA);
}

void CBelvarraBaseWnd::ApplyAlpha(BYTE alpha) noexcept
{
    m_alpha = alpha;
    BLENDFUNCTION blend = BlendOf(alpha);
    ::UpdateLayeredWindow(m_hFadeTarget, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &blend, ULW_ALPHA);
}

bool CBelvarraBaseWnd::FadeStep() noexcept
{
    const BYTE alpha = m_alpha.load();
    if (alpha < 240) {
        ApplyAlpha(static_cast<BYTE>(alpha + 15));
        ::Sleep(0);
        return false;
    }
    ApplyAlpha(255);
    return true;
}

DWORD WINAPI CBelvarraBaseWnd::FadeThreadProc(void* param) noexcept
{
    auto* self = static_cast<CBelvarraBaseWnd*>(param);
    while (!self->m_bStopFade.load()) {
        if (self->FadeStep()) {
            ::SetEvent(self->m_hFadeDone.Get());
            break;
        }
    }
    return 0;
}

BOOL CBelvarraBaseWnd::FadeIn(CWnd* target)
{
    if (!target || !target->GetSafeHwnd()) return FALSE;
    std::lock_guard<std::mutex> lock(m_fadeLock);
    m_hFadeTarget = target->GetSafeHwnd();
    m_alpha = 0;
    m_bStopFade = false;
    m_hFadeDone.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (m_hFadeDone) m_hFadeThread.Reset(::CreateThread(nullptr, 0, &FadeThreadProc, this, 0, nullptr));
    const bool finished =
        m_hFadeThread && ::WaitForSingleObject(m_hFadeDone.Get(), kFadeWaitMs) == WAIT_OBJECT_0;
    // A late or missing fade is stopped by its flag (never terminated) and the window made opaque.
    StopFade();
    if (!finished) ApplyAlpha(255);
    m_hFadeDone.Reset();
    return TRUE;
}

void CBelvarraBaseWnd::StopFade() noexcept
{
    m_bStopFade = true;
    if (m_hFadeThread) ::WaitForSingleObject(m_hFadeThread.Get(), INFINITE);
    m_hFadeThread.Reset();
}

LRESULT CBelvarraBaseWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ENTERSIZEMOVE:
        if (!g_moveCaptured.exchange(true)) ::SetCapture(GetSafeHwnd());
        ::GetClipCursor(&m_rcSavedClip);
        return 0;
    case WM_EXITSIZEMOVE:
        if (g_moveCaptured.exchange(false)) ::ReleaseCapture();
        ::ClipCursor(&m_rcSavedClip);
        return 0;
    case WM_MOVING:
        return ClampToWorkArea(*reinterpret_cast<RECT*>(lParam), CurrentWorkArea()) ? TRUE : FALSE;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

} // namespace zv::skin
