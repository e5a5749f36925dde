#include "launcher/updater_thread.h"

#include "updater/base/log.h"
#include "updater/base/win32/path_helpers.h"
#include "launcher/utility_detection.h"

#include <atomic>

namespace zv::launcher {

namespace {

// The one worker of the process; claimed before a worker starts, released by its destructor.
std::atomic<const CKVCHUpdaterThread*> g_activeWorker{nullptr};
// Stands for "being started" until the object exists.
const CKVCHUpdaterThread* const kStarting = reinterpret_cast<const CKVCHUpdaterThread*>(1);

} // namespace

std::wstring ProductFileBeside(const std::wstring& modulePath)
{
    const auto slash = modulePath.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash + 1);
    return folder + L"Product.TandemVesk.xml";
}

UpdaterThreadSetup UpdaterThreadSetup::ForThisProcess()
{
    UpdaterThreadSetup setup;
    setup.makeSteps = [] { return CreateLibraryUpdateSteps(); };
    // Reading the registration has no side effects, so the worker may ask itself.
    setup.installedVersion = [] {
        return FindInstalledUtility() ? ReadInstalledVersion() : std::wstring(kUnknownVersion);
    };
    setup.regionalBrand = [] { return IsRegionalBrand(); };
    return setup;
}

CKVCHUpdaterThread::CKVCHUpdaterThread(IKVCHUpdaterEvents* sink, UpdaterThreadSetup setup)
    : m_setup(std::move(setup)), m_sink(sink)
{
}

CKVCHUpdaterThread::~CKVCHUpdaterThread()
{
    Stop();
    // The steps' library state goes with the thread (ExitInstance); anything left from a
    // thread that never ran goes here.
    m_steps.reset();
    const CKVCHUpdaterThread* self = this;
    g_activeWorker.compare_exchange_strong(self, nullptr);
}

bool CKVCHUpdaterThread::IsWorkerRunning() noexcept { return g_activeWorker.load() != nullptr; }

std::unique_ptr<CKVCHUpdaterThread> CKVCHUpdaterThread::StartUpdaterThread(IKVCHUpdaterEvents* sink, DWORD waitMs,
                                                                           UpdaterThreadSetup setup)
{
    const CKVCHUpdaterThread* none = nullptr;
    if (!g_activeWorker.compare_exchange_strong(none, kStarting)) {
        zv::Log().Log(zv::ZVLOG_INFO1, L"Launcher: an update flow is still running, no second worker");
        return nullptr;
    }
    std::unique_ptr<CKVCHUpdaterThread> worker;
    try {
        worker.reset(new CKVCHUpdaterThread(sink, std::move(setup)));
    } catch (...) {
        g_activeWorker.store(nullptr);
        return nullptr;
    }
    g_activeWorker.store(worker.get());
    if (!worker->CreateThread()) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: the updater worker did not start (%u)", static_cast<unsigned>(::GetLastError()));
        return nullptr;
    }
    // Nothing of the worker is used before it is ready; late or failed means no worker.
    if (!worker->WaitReady(waitMs)) {
        zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: the updater worker was not ready within %u ms", static_cast<unsigned>(waitMs));
        return nullptr;
    }
    return worker;
}

bool CKVCHUpdaterThread::InitInstance()
{
    std::unique_ptr<IUpdateSteps> steps = m_setup.makeSteps ? m_setup.makeSteps() : nullptr;
    if (steps) {
        steps->Initialize(kCancelEventName);
        m_cancelEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, kCancelEventName));
        if (!m_cancelEvent)
            zv::Log().Log(zv::ZVLOG_ERROR, L"Launcher: no cancel event (%u)", static_cast<unsigned>(::GetLastError()));
    }
    m_productFile = m_setup.productFile.empty() ? ProductFileBeside(ModulePath()) : m_setup.productFile;
    {
        std::lock_guard<std::mutex> lock(m_stepsLock);
        m_steps = std::move(steps);
    }
    return true;
}

int CKVCHUpdaterThread::ExitInstance()
{
    std::lock_guard<std::mutex> lock(m_stepsLock);
    m_steps.reset();
    return CWinThread::ExitInstance();
}

void CKVCHUpdaterThread::OnThreadMessage(const MSG& msg)
{
    switch (msg.message) {
    case WM_ZV_UPDATER_CHECK:
        RunCheck();
        break;
    case WM_ZV_UPDATER_DOWNLOAD:
        RunDownload();
        break;
    case WM_ZV_UPDATER_INSTALL:
        RunInstall();
        break;
    default:
        break;
    }
}

template <class F> void CKVCHUpdaterThread::Notify(F call)
{
    std::lock_guard<std::mutex> lock(m_sinkLock);
    if (m_sink) call(*m_sink);
}

void CKVCHUpdaterThread::DetachSink() noexcept
{
    std::lock_guard<std::mutex> lock(m_sinkLock);
    m_sink = nullptr;
}

void CKVCHUpdaterThread::RunCheck()
{
    int result = 0;
    Notify([](IKVCHUpdaterEvents& s) { s.OnCheckStarted(0); });
    if (m_steps && m_steps->IsInitialized()) {
        CheckRequest request;
        request.productFile = m_productFile;
        request.installedVersion = m_setup.installedVersion ? m_setup.installedVersion() : std::wstring(kUnknownVersion);
        if (request.installedVersion.empty()) request.installedVersion = kUnknownVersion;
        request.regionalBrand = m_setup.regionalBrand && m_setup.regionalBrand();
        result = m_steps->Check(request);
    }
    Notify([result](IKVCHUpdaterEvents& s) { s.OnCheckFinished(result); });
}

void CKVCHUpdaterThread::RunDownload()
{
    int result = 0;
    Notify([](IKVCHUpdaterEvents& s) { s.OnDownloadStarted(0); });
    if (m_steps && m_steps->IsInitialized()) {
        // A cancel made while no download ran must not end this one.
        if (m_cancelEvent) ::ResetEvent(m_cancelEvent.Get());
        result = m_steps->Download();
    }
    Notify([result](IKVCHUpdaterEvents& s) { s.OnDownloadFinished(result); });
}

void CKVCHUpdaterThread::RunInstall()
{
    int result = 0;
    Notify([](IKVCHUpdaterEvents& s) { s.OnInstallStarted(0); });
    if (m_steps && m_steps->IsInitialized()) result = m_steps->Install();
    Notify([result](IKVCHUpdaterEvents& s) { s.OnInstallFinished(result); });
}

void CKVCHUpdaterThread::CancelWork() noexcept
{
    if (IsReady() && m_cancelEvent) ::SetEvent(m_cancelEvent.Get());
}

int CKVCHUpdaterThread::IsInternetConnected()
{
    if (!IsReady()) return 0;
    std::lock_guard<std::mutex> lock(m_stepsLock);
    return m_steps ? m_steps->IsInternetConnected() : 0;
}

} // namespace zv::launcher
