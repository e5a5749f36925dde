#pragma once
// The sink the worker calls on its own thread. It only posts a message to the window, so
// nothing of the window is touched off its thread; the window detaches it under the lock
// before it goes away, after which the calls do nothing. Relays live until the process
// ends because a worker may call one after its window is gone.
#include <windows.h>

#include <mutex>

#include "skin/updater_events.h"

namespace zv::skin {

// Messages the relay posts: wParam is the event, lParam its argument.
inline constexpr UINT kMsgUpdaterEvent = WM_APP + 0x20;
enum class UpdaterEvent : WPARAM { CheckStarted, CheckFinished, DownloadStarted, DownloadFinished, InstallStarted, InstallFinished };

class CProgressEventRelay final : public IKVCHUpdaterEvents {
public:
    // A relay that posts to target until Detach.
    static CProgressEventRelay* Attach(HWND target);
    void Detach() noexcept;

    void OnCheckStarted(int v) override { Post(UpdaterEvent::CheckStarted, v); }
    void OnCheckFinished(int v) override { Post(UpdaterEvent::CheckFinished, v); }
    void OnDownloadStarted(int v) override { Post(UpdaterEvent::DownloadStarted, v); }
    void OnDownloadFinished(int v) override { Post(UpdaterEvent::DownloadFinished, v); }
    void OnInstallStarted(int v) override { Post(UpdaterEvent::InstallStarted, v); }
    void OnInstallFinished(int v) override { Post(UpdaterEvent::InstallFinished, v); }

private:
    explicit CProgressEventRelay(HWND target) noexcept : m_hTarget(target) {}
    void Post(UpdaterEvent event, int value) noexcept;

    std::mutex m_lock;
    HWND m_hTarget;
};

} // namespace zv::skin
