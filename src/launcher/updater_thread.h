#pragma once
// The worker thread that runs the update library's steps one message at a time, so the
// progress window stays responsive. Only one worker exists in the process at a time.
#include "framework/win_thread.h"
#include "launcher/update_steps.h"
#include "launcher/updater_events.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace zv::launcher {

// Thread messages of the worker.
inline constexpr UINT WM_ZV_UPDATER_CHECK = WM_USER + 1;
inline constexpr UINT WM_ZV_UPDATER_DOWNLOAD = WM_USER + 2;
inline constexpr UINT WM_ZV_UPDATER_INSTALL = WM_USER + 3;

inline constexpr wchar_t kCancelEventName[] = L"Local\\CancelEvent";

// Where the worker's pieces come from; tests put scripted ones in place.
struct UpdaterThreadSetup {
    std::function<std::unique_ptr<IUpdateSteps>()> makeSteps;  // run on the worker thread
    std::function<std::wstring()> installedVersion;             // "0.00.00" when not installed
    std::function<bool()> regionalBrand;
    std::wstring productFile;                                   // empty: beside the executable
    static UpdaterThreadSetup ForThisProcess();
};

class CKVCHUpdaterThread : public fw::CWinThread {
public:
    ~CKVCHUpdaterThread() override;

    // Starts the process's worker and waits for it to be ready at most waitMs. Null when
    // it could not start, was not ready in time (it is then stopped), or another worker
    // still runs: there is never more than one update flow.
    static std::unique_ptr<CKVCHUpdaterThread> StartUpdaterThread(IKVCHUpdaterEvents* sink, DWORD waitMs,
                                                                  UpdaterThreadSetup setup = UpdaterThreadSetup::ForThisProcess());
    // Whether a worker of this process is alive now.
    static bool IsWorkerRunning() noexcept;

    // Each false when the post did not reach the thread.
    bool RequestCheck() noexcept { return PostThreadMessage(WM_ZV_UPDATER_CHECK); }
    bool RequestDownload() noexcept { return PostThreadMessage(WM_ZV_UPDATER_DOWNLOAD); }
    bool RequestInstall() noexcept { return PostThreadMessage(WM_ZV_UPDATER_INSTALL); }
    void CancelWork() noexcept;
    int IsInternetConnected();
    // Stops calling the sink (its owner is going away); waits for a callback in progress.
    void DetachSink() noexcept;
    const std::wstring& ProductFile() const noexcept { return m_productFile; }

protected:
    bool InitInstance() override;
    int ExitInstance() override;
    void OnThreadMessage(const MSG& msg) override;

private:
    CKVCHUpdaterThread(IKVCHUpdaterEvents* sink, UpdaterThreadSetup setup);
    void RunCheck();
    void RunDownload();
    void RunInstall();
    template <class F> void Notify(F call);

    UpdaterThreadSetup m_setup;
    std::wstring m_productFile;
    std::unique_ptr<IUpdateSteps> m_steps;
    std::mutex m_stepsLock; // IsInternetConnected comes from another thread
    std::mutex m_sinkLock;
    IKVCHUpdaterEvents* m_sink;
    fw::CHandle m_cancelEvent;
};

// The product configuration file's path beside the given module path.
std::wstring ProductFileBeside(const std::wstring& modulePath);

} // namespace zv::launcher
