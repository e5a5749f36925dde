#pragma once
// The installer progress window: shown for a display period, it drives the check, download
// and install through the updater worker, shows their progress and a close button, and
// closes itself (starting the utility) once the work is finished and the period has ticked.
#include <windows.h>

#include <functional>

#include "skin/belvarra_base_wnd.h"
#include "skin/deferred_picture.h"
#include "skin/progress_event_relay.h"
#include "skin/progress_layout.h"
#include "skin/updater_events.h"

namespace zv::skin {

inline constexpr UINT_PTR kDisplayTimerId = 100;
inline constexpr UINT_PTR kCreepTimerId = 200;
inline constexpr UINT kCreepPeriodMs = 500;
inline constexpr DWORD kWorkerReadyWaitMs = 10000;
// Posted to the window itself once its first frame is on screen: decode what that frame did
// not need while the user looks at it.
inline constexpr UINT kMsgDecodeDeferredPictures = WM_APP + 0x21;
inline constexpr wchar_t kNoConnectionCaption[] = L"No Internet Connection";
inline constexpr wchar_t kMainBrandDownloadUrl[] = L"https://support.quorvane.com/tandemix";
inline constexpr wchar_t kRegionalBrandDownloadUrl[] = L"https://support.tessaron.jp/tandemix";

// Starts the worker with the sink and waits for it at most waitMs; null when it failed.
using WorkerStarter = std::function<IProgressWorker*(IKVCHUpdaterEvents* sink, DWORD waitMs)>;

// The application's services and the worker's start; set once before the first show.
// A null host means there is no application object.
void SetProgressWindowServices(IProgressHost* host, WorkerStarter starter);
// Creates the window on the first call, otherwise restarts the display period. Main thread.
void ShowProgressWindow(UINT displayMs);
// Destroys the window, if any, and stops its worker; the utility is not started. Main thread.
void CloseProgressWindow();
// Called on the window's thread the moment the first frame of a new window is on screen
// (presented and shown, before the fade): the start-up probe's clock. Empty by default.
void SetFirstFrameObserver(std::function<void()> observer);
// The three lines of the no-connection box.
std::wstring NoConnectionText(bool regionalBrand);

class CBelvarraOSKWnd final : public CBelvarraBaseWnd {
public:
    // The one progress window, or null.
    static CBelvarraOSKWnd* Current() noexcept;

    ~CBelvarraOSKWnd() override;

    int Progress() const noexcept { return m_nProgress; }
    bool IsCloseButtonVisible() const noexcept { return m_bCloseButtonVisible != 0; }
    bool IsProgressBarVisible() const noexcept { return m_bProgressBarVisible != 0; }
    bool IsCloseButtonHover() const noexcept { return m_bCloseButtonHover != 0; }
    bool IsFinished() const noexcept { return m_bFinished != 0; }
    const ProgressLayout& Layout() const noexcept { return m_layout; }
    // Whether the pictures the first frame does not show have been decoded yet.
    bool IsHoverPictureDecoded() const noexcept { return m_picCloseHover.IsDecoded(); }
    bool IsRegionalLogoDecoded() const noexcept { return m_picRegionalBrand.IsDecoded(); }

private:
    friend void ShowProgressWindow(UINT displayMs);
    CBelvarraOSKWnd() noexcept = default;

    BOOL CreateProgress();
    void ComputeLayout();
    void StartWork();
    // The whole picture into the surface; the caller presents it.
    void DrawAll(const RECT& rect);
    // Everything over the background.
    void DrawForeground();
    void DrawCloseButton();
    void DrawProgressBar();
    // The bar into the surface only.
    void FillProgressBar();
    void RedrawCloseButton();
    void OnUpdaterEvent(UpdaterEvent event, int value);
    // True when the object deleted itself.
    bool OnTimer(UINT_PTR id);
    void OnMouseMove(POINT pt);
    void OnLButtonDown(POINT pt);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    int m_nProgress = 0;
    int m_bCloseButtonVisible = 0;
    int m_bProgressBarVisible = 0;
    UINT_PTR m_nDisplayTimer = 0;
    CSkinPicture m_picLogo;
    CSkinPicture m_picBrand;
    CDeferredPicture m_picRegionalBrand{L"logo_jpn.png"};
    CSkinPicture m_picByLine;
    CSkinPicture m_picClose;
    CDeferredPicture m_picCloseHover{L"close_button_red.png"};
    int m_bCloseButtonHover = 0;
    IProgressWorker* m_pWorker = nullptr;
    CProgressEventRelay* m_pRelay = nullptr;
    int m_bFinished = 0;
    ProgressLayout m_layout;
};

} // namespace zv::skin
