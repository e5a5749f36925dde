#include "launcher/progress_window_host.h"

#include "launcher/updater_thread.h"
#include "skin/belvarra_osk_wnd.h"

namespace zv::launcher {

namespace {

// The worker thread as the window drives it. Owning the thread object here means the
// worker ends with the window: no flow outlives its window, so a later window never meets
// a worker that still runs.
class CUpdaterWorkerAdapter final : public skin::IProgressWorker {
public:
    explicit CUpdaterWorkerAdapter(std::unique_ptr<CKVCHUpdaterThread> thread) noexcept : m_thread(std::move(thread)) {}

    void RequestCheck() override { m_thread->RequestCheck(); }
    void RequestDownload() override { m_thread->RequestDownload(); }
    void RequestInstall() override { m_thread->RequestInstall(); }
    void CancelWork() override { m_thread->CancelWork(); }
    int IsInternetConnected() override { return m_thread->IsInternetConnected(); }
    void Stop() override
    {
        // No more callbacks, a running download ends at the cancel, then the thread's end.
        m_thread->DetachSink();
        m_thread->CancelWork();
        m_thread->Stop();
        delete this;
    }

private:
    std::unique_ptr<CKVCHUpdaterThread> m_thread;
};

} // namespace

CSkinProgressWindowHost::CSkinProgressWindowHost(CUtilityLauncher& app) : m_app(app)
{
    skin::SetProgressWindowServices(this, [](IKVCHUpdaterEvents* sink, DWORD waitMs) -> skin::IProgressWorker* {
        std::unique_ptr<CKVCHUpdaterThread> thread = CKVCHUpdaterThread::StartUpdaterThread(sink, waitMs);
        if (!thread) return nullptr;
        return new CUpdaterWorkerAdapter(std::move(thread));
    });
}

CSkinProgressWindowHost::~CSkinProgressWindowHost()
{
    skin::CloseProgressWindow();
    skin::SetProgressWindowServices(nullptr, nullptr);
}

void CSkinProgressWindowHost::Show(int periodMs)
{
    skin::ShowProgressWindow(static_cast<UINT>(periodMs < 0 ? 0 : periodMs));
}

void CSkinProgressWindowHost::Close() { skin::CloseProgressWindow(); }

bool CSkinProgressWindowHost::IsUtilityInstalled() { return m_app.IsUtilityInstalled(); }

bool CSkinProgressWindowHost::IsRegionalBrand() { return launcher::IsRegionalBrand(); }

void CSkinProgressWindowHost::LaunchUtility() { m_app.LaunchUtility(); }

} // namespace zv::launcher
