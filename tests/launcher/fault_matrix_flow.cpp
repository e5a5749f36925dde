#include "fault_matrix_flow.h"

#include "launcher/updater_thread.h"
#include "support/test_paths.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace zv::test {

namespace {

// Step results as the worker reports them.
class StepSink : public launcher::IKVCHUpdaterEvents {
public:
    StepSink() : m_changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~StepSink() override { ::CloseHandle(m_changed); }
    void OnCheckFinished(int v) override { Set(m_check, v); }
    void OnDownloadFinished(int v) override { Set(m_download, v); }
    void OnInstallFinished(int v) override { Set(m_install, v); }
    int Check() { return Get(m_check); }
    int Download() { return Get(m_download); }
    int Install() { return Get(m_install); }
    HANDLE Changed() const { return m_changed; }

private:
    void Set(int& slot, int v)
    {
        std::lock_guard<std::mutex> l(m_lock);
        slot = v;
        ::SetEvent(m_changed);
    }
    int Get(const int& slot)
    {
        std::lock_guard<std::mutex> l(m_lock);
        return slot;
    }
    std::mutex m_lock;
    int m_check = -1, m_download = -1, m_install = -1;
    HANDLE m_changed;
};

constexpr DWORD kStepTimeoutMs = 90000;

int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Waits for one step's report; meanwhile gives the cancel once the trigger shows up.
int AwaitStep(StepSink& sink, int (StepSink::*result)(), launcher::CKVCHUpdaterThread& worker,
              const std::wstring& appliedLog, const std::string& cancelOn, int cancelAt, bool& cancelled)
{
    const ULONGLONG end = ::GetTickCount64() + kStepTimeoutMs;
    while (::GetTickCount64() < end) {
        const int r = (sink.*result)();
        if (r != -1) return r;
        if (cancelAt > 0 && !cancelled && Occurrences(ReadFileBytes(appliedLog), cancelOn) >= cancelAt) {
            worker.CancelWork();
            cancelled = true;
        }
        ::WaitForSingleObject(sink.Changed(), 10);
    }
    return -1;
}

} // namespace

FlowResult RunUpdateFlow(const std::wstring& appliedLog, const std::string& cancelOn, int cancelAt,
                         const std::wstring& productFile)
{
    FlowResult flow;
    StepSink sink;
    launcher::UpdaterThreadSetup setup = launcher::UpdaterThreadSetup::ForThisProcess();
    setup.productFile = productFile;
    auto worker = launcher::CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, std::move(setup));
    if (!worker) return flow;
    flow.started = true;
    flow.completed = true;
    auto step = [&](bool (launcher::CKVCHUpdaterThread::*request)() noexcept, int (StepSink::*result)()) {
        if (!((*worker).*request)()) {
            flow.completed = false;
            return -1;
        }
        const int r = AwaitStep(sink, result, *worker, appliedLog, cancelOn, cancelAt, flow.cancelled);
        if (r == -1) flow.completed = false;
        return r;
    };
    flow.check = step(&launcher::CKVCHUpdaterThread::RequestCheck, &StepSink::Check);
    if (flow.check == 1) {
        flow.download = step(&launcher::CKVCHUpdaterThread::RequestDownload, &StepSink::Download);
        if (flow.completed) flow.install = step(&launcher::CKVCHUpdaterThread::RequestInstall, &StepSink::Install);
    }
    worker->DetachSink();
    worker.reset();
    return flow;
}

std::string Fnv1a64Hex(const std::string& bytes)
{
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

} // namespace zv::test
