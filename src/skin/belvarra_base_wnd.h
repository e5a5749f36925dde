#pragma once
// The base of the skinned windows: a borderless, always-on-top, never-activated popup whose
// whole look is a per-pixel-alpha picture composed off-screen and pushed with
// UpdateLayeredWindow. It fades in on a worker thread and stays inside the work area.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "framework/handle.h"
#include "framework/wnd.h"
#include "skin/image_dc.h"
#include "skin/skin_picture.h"

namespace zv::skin {

inline constexpr wchar_t kBelvarraWndClass[] = L"QUOR_BELVARRA_WND_CLASS";
inline constexpr DWORD kBelvarraExStyle = WS_EX_TOPMOST | WS_EX_APPWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE;
inline constexpr DWORD kFadeWaitMs = 700;

// The adjustment of a proposed rectangle that keeps it inside the work area. A rectangle
// larger than the work area is aligned with its left or top edge, so it settles in one pass.
// Returns whether the rectangle changed.
bool ClampToWorkArea(RECT& proposed, const RECT& workArea) noexcept;
// SPI_GETWORKAREA, else the full-screen size at (0, 0).
RECT CurrentWorkArea() noexcept;

class CBelvarraBaseWnd : public zv::fw::CWnd {
public:
    CBelvarraBaseWnd() noexcept;
    ~CBelvarraBaseWnd() override;

    BOOL LoadBackground(const std::wstring& fileName);
    SIZE GetBackgroundSize() const noexcept { return m_sizeBackground; }
    BOOL CreateSkinned(HWND parent, const RECT& rect, BOOL showNow, BYTE initialAlpha);
    BOOL DrawBackground(const RECT& rect, BOOL copy);
    // Pushes the surface to the screen; an empty rect means the window's own rectangle.
    BOOL Present(const RECT& rect = RECT{});
    BOOL FadeIn(CWnd* target);

    BYTE CurrentAlpha() const noexcept { return m_alpha.load(); }
    const CMyImageDC& Surface() const noexcept { return m_dcSurface; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    RECT m_rcWindow{};
    std::wstring m_strBackgroundPath;
    CSkinPicture m_picBackground;
    SIZE m_sizeBackground{};
    CMyImageDC m_dcSurface;

private:
    static DWORD WINAPI FadeThreadProc(void* param) noexcept;
    // One step of the fade; true when it is complete.
    bool FadeStep() noexcept;
    void ApplyAlpha(BYTE alpha) noexcept;
    void StopFade() noexcept;

    std::mutex m_fadeLock;
    zv::fw::CHandle m_hFadeThread;
    zv::fw::CHandle m_hFadeDone;
    std::atomic<bool> m_bStopFade{false};
    HWND m_hFadeTarget = nullptr;
    RECT m_rcSavedClip{};
    std::atomic<BYTE> m_alpha{0};
};

} // namespace zv::skin
