#include "launcher/updater_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

using zv::fw::CHandle;
using zv::launcher::CheckRequest;
using zv::launcher::CKVCHUpdaterThread;
using zv::launcher::IUpdateSteps;
using zv::launcher::UpdaterThreadSetup;

// What the scripted library saw, shared with the test (the steps object dies with the thread).
struct Script {
    int checkResult = 1, downloadResult = 1, installResult = 1, connected = 1;
    bool initialized = true;
    std::mutex lock;
    std::vector<CheckRequest> checks;
    std::wstring cancelEventName;
    std::vector<bool> cancelSeenAtDownload; // whether the cancel event was set as a download began
    DWORD stepThread = 0;
};

class ScriptedSteps : public IUpdateSteps {
public:
    explicit ScriptedSteps(Script& s) : m_s(s) {}
    void Initialize(const std::wstring& name) override { m_s.cancelEventName = name; }
    bool IsInitialized() const override { return m_s.initialized; }
    int Check(const CheckRequest& r) override
    {
        std::lock_guard<std::mutex> l(m_s.lock);
        m_s.checks.push_back(r);
        m_s.stepThread = ::GetCurrentThreadId();
        return m_s.checkResult;
    }
    int Download() override
    {
        CHandle cancel(::OpenEventW(SYNCHRONIZE, FALSE, m_s.cancelEventName.c_str()));
        const bool set = cancel && ::WaitForSingleObject(cancel.Get(), 0) == WAIT_OBJECT_0;
        std::lock_guard<std::mutex> l(m_s.lock);
        m_s.cancelSeenAtDownload.push_back(set);
        return m_s.downloadResult;
    }
    int Install() override { return m_s.installResult; }
    int IsInternetConnected() override { return m_s.connected; }

private:
    Script& m_s;
};

// Records the callbacks as "name=value" and lets the test wait for the n-th one.
class RecordingSink : public zv::launcher::IKVCHUpdaterEvents {
public:
    RecordingSink() : m_changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    void OnCheckStarted(int v) override { Add(L"checkStarted", v); }
    void OnCheckFinished(int v) override { Add(L"checkFinished", v); }
    void OnDownloadStarted(int v) override { Add(L"downloadStarted", v); }
    void OnDownloadFinished(int v) override { Add(L"downloadFinished", v); }
    void OnInstallStarted(int v) override { Add(L"installStarted", v); }
    void OnInstallFinished(int v) override { Add(L"installFinished", v); }
    std::vector<std::wstring> AwaitCount(size_t n)
    {
        for (int i = 0; i < 100; ++i) {
            {
                std::lock_guard<std::mutex> l(m_lock);
                if (m_events.size() >= n) return m_events;
            }
            ::WaitForSingleObject(m_changed.Get(), 100);
        }
        std::lock_guard<std::mutex> l(m_lock);
        return m_events;
    }

private:
    void Add(const wchar_t* name, int v)
    {
        std::lock_guard<std::mutex> l(m_lock);
        m_events.push_back(std::wstring(name) + L"=" + std::to_wstring(v));
        ::SetEvent(m_changed.Get());
    }
    std::mutex m_lock;
    std::vector<std::wstring> m_events;
    CHandle m_changed;
};

UpdaterThreadSetup ScriptedSetup(Script& s, std::wstring version = L"0.00.00", bool regional = false)
{
    UpdaterThreadSetup setup;
    setup.makeSteps = [&s] { return std::make_unique<ScriptedSteps>(s); };
    setup.installedVersion = [version] { return version; };
    setup.regionalBrand = [regional] { return regional; };
    return setup;
}


TEST(CKVCHUpdaterThread, RunsTheStepsInOrderAndReportsTheLibraryResults)
{
    struct Case {
        const char* name;
        bool initialized;
        int check, download, install;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {"all succeed", true, 1, 1, 1,
         {L"checkStarted=0", L"checkFinished=1", L"downloadStarted=0", L"downloadFinished=1", L"installStarted=0",
          L"installFinished=1"}},
        {"library results pass through", true, 0, 7, 3010,
         {L"checkStarted=0", L"checkFinished=0", L"downloadStarted=0", L"downloadFinished=7", L"installStarted=0",
          L"installFinished=3010"}},
        {"library not initialised: every step reports 0", false, 1, 1, 1,
         {L"checkStarted=0", L"checkFinished=0", L"downloadStarted=0", L"downloadFinished=0", L"installStarted=0",
          L"installFinished=0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Script script;
        script.initialized = c.initialized;
        script.checkResult = c.check;
        script.downloadResult = c.download;
        script.installResult = c.install;
        RecordingSink sink;
        auto worker = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script));
        ASSERT_TRUE(worker);
        EXPECT_TRUE(worker->RequestCheck());
        EXPECT_TRUE(worker->RequestDownload());
        EXPECT_TRUE(worker->RequestInstall());
        EXPECT_EQ(sink.AwaitCount(6), c.expected);
        EXPECT_EQ(script.checks.size(), c.initialized ? 1u : 0u);
    }
}

TEST(CKVCHUpdaterThread, CheckCarriesVersionBrandAndTheProductFileOnTheWorkerThread)
{
    struct Case {
        std::wstring version;
        bool regional;
        std::wstring expectedVersion;
    };
    const Case cases[] = {{L"0.00.00", false, L"0.00.00"}, {L"2.10.5", true, L"2.10.5"}, {L"", false, L"0.00.00"}};
    for (const auto& c : cases) {
        Script script;
        RecordingSink sink;
        auto worker = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script, c.version, c.regional));
        ASSERT_TRUE(worker);
        ASSERT_TRUE(worker->RequestCheck());
        sink.AwaitCount(2);
        ASSERT_EQ(script.checks.size(), 1u);
        EXPECT_EQ(script.checks[0].installedVersion, c.expectedVersion);
        EXPECT_EQ(script.checks[0].regionalBrand, c.regional);
        EXPECT_EQ(script.stepThread, worker->ThreadId());
        EXPECT_NE(script.stepThread, ::GetCurrentThreadId());
        const std::wstring& file = script.checks[0].productFile;
        ASSERT_GT(file.size(), 23u);
        EXPECT_EQ(file.substr(file.size() - 23), L"\\Product.TandemVesk.xml");
        EXPECT_EQ(script.cancelEventName, L"Local\\CancelEvent");
    }
}

TEST(CKVCHUpdaterThread, WithoutALibraryEveryStepReportsZeroAndTheInternetIsOff)
{
    Script script;
    RecordingSink sink;
    UpdaterThreadSetup setup = ScriptedSetup(script);
    setup.makeSteps = [] { return std::unique_ptr<IUpdateSteps>(); };
    auto worker = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, setup);
    ASSERT_TRUE(worker);
    EXPECT_EQ(worker->IsInternetConnected(), 0);
    worker->CancelWork(); // no cancel event: harmless
    worker->RequestCheck();
    worker->RequestDownload();
    worker->RequestInstall();
    EXPECT_EQ(sink.AwaitCount(6), (std::vector<std::wstring>{L"checkStarted=0", L"checkFinished=0", L"downloadStarted=0",
                                                             L"downloadFinished=0", L"installStarted=0", L"installFinished=0"}));
}

TEST(CKVCHUpdaterThread, ACancelMadeWhileIdleDoesNotReachTheNextDownload)
{
    Script script;
    RecordingSink sink;
    auto worker = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script));
    ASSERT_TRUE(worker);
    EXPECT_EQ(worker->IsInternetConnected(), 1);
    worker->CancelWork();
    CHandle cancel(::OpenEventW(SYNCHRONIZE, FALSE, L"Local\\CancelEvent"));
    ASSERT_TRUE(cancel);
    worker->RequestDownload();
    worker->RequestDownload();
    sink.AwaitCount(4);
    EXPECT_EQ(script.cancelSeenAtDownload, (std::vector<bool>{false, false}));
    worker->CancelWork();
    EXPECT_EQ(::WaitForSingleObject(cancel.Get(), 0), WAIT_OBJECT_0);
}

TEST(CKVCHUpdaterThread, OnlyOneWorkerAtATime)
{
    Script script;
    RecordingSink sink;
    auto first = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script));
    ASSERT_TRUE(first);
    EXPECT_TRUE(CKVCHUpdaterThread::IsWorkerRunning());
    EXPECT_FALSE(CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script)));
    first.reset();
    EXPECT_FALSE(CKVCHUpdaterThread::IsWorkerRunning());
    auto second = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script));
    EXPECT_TRUE(second);
}

TEST(CKVCHUpdaterThread, NotReadyInTimeMeansNoWorker)
{
    Script script;
    UpdaterThreadSetup setup = ScriptedSetup(script);
    setup.makeSteps = [&script] {
        ::Sleep(1500);
        return std::make_unique<ScriptedSteps>(script);
    };
    EXPECT_FALSE(CKVCHUpdaterThread::StartUpdaterThread(nullptr, 100, setup));
    EXPECT_FALSE(CKVCHUpdaterThread::IsWorkerRunning());
}

TEST(CKVCHUpdaterThread, DetachedSinkHearsNothingAndPostsAfterTheEndFail)
{
    Script script;
    RecordingSink sink;
    auto worker = CKVCHUpdaterThread::StartUpdaterThread(&sink, 10000, ScriptedSetup(script));
    ASSERT_TRUE(worker);
    worker->DetachSink();
    worker->RequestCheck();
    ASSERT_TRUE(worker->Stop(10000));
    EXPECT_EQ(script.checks.size(), 1u); // the step ran before WM_QUIT
    EXPECT_TRUE(sink.AwaitCount(0).empty());
    EXPECT_FALSE(worker->RequestCheck());
}

} // namespace
