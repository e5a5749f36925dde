// The download and install passes end to end: a manifest of signed installers served by
// nginx, fetched through the cache, authenticated and run for real.
#include "core_fixture.h"
#include "support/child_process.h"
#include "support/test_paths.h"
#include "../transfer/http_fixture.h"
#include "framework/handle.h"
#include "updater/core/install_result.h"
#include "updater/transfer/apply_payload.h"
#include "updater/transfer/download_events.h"
#include "updater/transfer/install_events.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace zv::test;

std::wstring Data(const std::wstring& name)
{
    return SiblingProgram(L"orchestration-data\\" + name);
}

struct DownloadSink : ZvLib_IDownloadEvents {
    void OnDownloadGroupBegin(int count, uint32_t, int) override { begins.push_back(count); }
    void OnItemBegin(int, const ZvLib_CItemProgress&, uint32_t, uint32_t, uint32_t) override {}
    void OnItemProgress(int, uint32_t bytesSoFar, uint32_t, double, double) override
    {
        // Cancels as the user would, with part of the payload stored.
        if (cancelAt && bytesSoFar >= cancelAt && cancelEvent) ::SetEvent(cancelEvent);
    }
    void OnItemError(int, const std::wstring&) override {}
    void OnItemEnd(int) override {}
    void OnDownloadGroupEnd() override { ++ends; }
    uint32_t GetProgressInterval() override { return 65536; }
    std::vector<int> begins;
    int ends = 0;
    uint32_t cancelAt = 0;
    HANDLE cancelEvent = nullptr;
};

struct InstallSink : ZvLib_IInstallEvents {
    void OnInstallGroupBegin(int count, int, int, int) override { begins.push_back(count); }
    void OnInstallProgress(int, uint32_t, uint32_t, double, int, int) override {}
    void OnInstallEnd(int, int) override {}
    void OnInstallGroupEnd(int) override { ++ends; }
    std::vector<int> begins;
    int ends = 0;
};

// One installable: the served program and the arguments it is run with.
struct Payload {
    std::wstring served; // "inst.exe", "big.exe", "notprogram.exe"
    std::wstring args;   // "exit N" or "sleep 0 MARKER"
};

class Orchestration : public zvcoretest::CoreTest {
protected:
    void SetUp() override
    {
        machine.SetEnvironment(L"TEMP", temp.Path());
        zvcoretest::CoreTest::SetUp();
        imp->publicKeyPath = Data(L"quorkey.pub");
        marker = UniqueMarker(L"orch");
        www = BuildPath(L"http-state/www/" + marker);
        ::CreateDirectoryW(www.c_str(), nullptr);
        imp->cancelEventName = L"Local\\zvtest.orch.cancel." + std::to_wstring(::GetCurrentProcessId());
        cancel = zv::fw::CHandle(::CreateEventW(nullptr, FALSE, FALSE, imp->cancelEventName.c_str()));
    }

    // Serves each payload as NAME_i.exe and loads a manifest of them in this order.
    void Serve(const std::vector<Payload>& payloads)
    {
        std::string apps;
        int id = 1;
        for (const Payload& p : payloads) {
            std::wstring name = L"p" + std::to_wstring(id) + L"_" + p.served;
            ::CopyFileW(Data(p.served).c_str(), (www + L"\\" + name).c_str(), FALSE);
            ::CopyFileW(Data(p.served + L".sig").c_str(), (www + L"\\" + name + L".sig").c_str(), FALSE);
            std::string url = zv::ToUtf8(HttpUrl(Server::nginx, L"/" + marker + L"/" + name));
            apps += zvcoretest::Application(id, "<CommandLineArgs>" + zv::ToUtf8(p.args) +
                                                    "</CommandLineArgs><RequiresElevation>0</RequiresElevation>",
                                            "", url);
            ++id;
        }
        ASSERT_EQ(Load(zvcoretest::Manifest(apps)), 1);
        ASSERT_EQ(imp->items.size(), payloads.size());
    }

    std::wstring Marker(const std::wstring& name) { return temp.File(name); }

    ScratchDir temp{L"orchestration"};
    std::wstring marker;
    std::wstring www;
    zv::fw::CHandle cancel;
    unsigned userCanceled = 9;
    unsigned connectionError = 9;
};

TEST_F(Orchestration, NothingSelectedDoesNothing)
{
    ASSERT_EQ(Load(zvcoretest::Manifest("")), 1);
    DownloadSink dl;
    InstallSink in;
    std::vector<ZvLib_CInstallResult> results(1);
    EXPECT_EQ(imp->DownloadInstallables(userCanceled, connectionError, &dl), 1);
    EXPECT_EQ(userCanceled, 0u);
    EXPECT_EQ(connectionError, 0u);
    EXPECT_EQ(imp->InstallInstallables(&results, &in), 1);
    EXPECT_TRUE(dl.begins.empty());
    EXPECT_EQ(dl.ends, 0);
    EXPECT_TRUE(in.begins.empty());
    EXPECT_TRUE(results.empty());
}

TEST_F(Orchestration, OneAndTwoInstallersAreFetchedAuthenticatedAndRun)
{
    struct Case {
        std::vector<Payload> payloads;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {{{L"inst.exe", L"exit 0"}}, {0}},
        {{{L"inst.exe", L"exit 1603"}, {L"inst.exe", L"exit 0"}}, {1603, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codes.size());
        imp->Reset();
        ASSERT_EQ(imp->Initialize(L"test"), 1);
        imp->publicKeyPath = Data(L"quorkey.pub");
        ASSERT_EQ(updater.CreateRequestGroupInfo(&group), 1);
        group->config.productAbbr = L"TVK";
        imp->cancelEventName = L"Local\\zvtest.orch.cancel." + std::to_wstring(::GetCurrentProcessId());
        Serve(c.payloads);
        DownloadSink dl;
        ASSERT_EQ(imp->DownloadInstallables(userCanceled, connectionError, &dl), 1);
        EXPECT_EQ(userCanceled, 0u);
        EXPECT_EQ(connectionError, 0u);
        EXPECT_EQ(dl.begins, std::vector<int>{static_cast<int>(c.payloads.size())});
        EXPECT_EQ(dl.ends, 1);
        for (size_t i = 0; i < c.payloads.size(); ++i) {
            EXPECT_EQ(App(i)->downloaded, 1);
            EXPECT_EQ(App(i)->authenticated, 1);
            EXPECT_EQ(App(i)->dlSize, static_cast<int>(ReadFileBytes(Data(c.payloads[i].served)).size()));
            EXPECT_EQ(ReadFileBytes(std::wstring(App(i)->localPayloadPath)), ReadFileBytes(Data(c.payloads[i].served)));
        }
        InstallSink in;
        std::vector<ZvLib_CInstallResult> results;
        // A nonzero exit code is recorded, not judged.
        EXPECT_EQ(imp->InstallInstallables(&results, &in), 1);
        EXPECT_EQ(in.begins, std::vector<int>{static_cast<int>(c.payloads.size())});
        EXPECT_EQ(in.ends, 1);
        ASSERT_EQ(results.size(), c.codes.size());
        for (size_t i = 0; i < results.size(); ++i) {
            EXPECT_EQ(results[i].index, static_cast<int>(i + 1));
            EXPECT_EQ(results[i].itemId, App(i)->internalId);
            EXPECT_EQ(results[i].applied, 1);
            EXPECT_EQ(results[i].succeeded, 1);
            EXPECT_EQ(results[i].resultCode, c.codes[i]);
        }
    }
}

TEST_F(Orchestration, RebootRequiredIsSignalledToAListener)
{
    zv::fw::CHandle listener(::CreateEventW(nullptr, TRUE, FALSE, kRebootRequiredEvent));
    ::ResetEvent(listener.Get());
    Serve({{L"inst.exe", L"exit 3010"}});
    ASSERT_EQ(imp->DownloadInstallables(userCanceled, connectionError, nullptr), 1);
    std::vector<ZvLib_CInstallResult> results;
    EXPECT_EQ(imp->InstallInstallables(&results, nullptr), 1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].resultCode, 3010);
    EXPECT_EQ(::WaitForSingleObject(listener.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(Orchestration, PayloadChangedAfterDownloadIsDeletedAndNeverRun)
{
    const std::wstring ran = Marker(L"ran1.txt");
    Serve({{L"inst.exe", L"sleep 0 " + ran}, {L"inst.exe", L"sleep 0 " + Marker(L"ran2.txt")}});
    ASSERT_EQ(imp->DownloadInstallables(userCanceled, connectionError, nullptr), 1);
    ZvLib_CItemInstallableApp* first = App(0);
    std::string bytes = ReadFileBytes(std::wstring(first->localPayloadPath));
    bytes[bytes.size() - 1] ^= 1;
    WriteFileBytes(std::wstring(first->localPayloadPath), bytes);
    WriteFileBytes(std::wstring(first->localPayloadPath) + L".part", "stale");

    std::vector<ZvLib_CInstallResult> results;
    EXPECT_EQ(imp->InstallInstallables(&results, nullptr), 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].applied, 0);
    EXPECT_EQ(first->authenticated, 0);
    for (const std::wstring& gone : {std::wstring(first->localPayloadPath), std::wstring(first->localSigPath), std::wstring(first->localPayloadPath) + L".part"})
        EXPECT_FALSE(FileExists(gone)) << zv::ToUtf8(gone);
    EXPECT_FALSE(FileExists(ran));
    EXPECT_FALSE(FileExists(Marker(L"ran2.txt")));
}

TEST_F(Orchestration, SignatureOfAnotherFileFailsTheDownloadAndLeavesNothing)
{
    Serve({{L"inst.exe", L"exit 0"}});
    // The served signature is of another file.
    const std::wstring name = L"p1_inst.exe";
    ::CopyFileW(Data(L"notprogram.exe.sig").c_str(), (www + L"\\" + name + L".sig").c_str(), FALSE);
    EXPECT_EQ(imp->DownloadInstallables(userCanceled, connectionError, nullptr), 0);
    EXPECT_EQ(App(0)->downloaded, 1);
    EXPECT_EQ(App(0)->authenticated, 0);
    EXPECT_FALSE(FileExists(std::wstring(App(0)->localPayloadPath)));
    EXPECT_FALSE(FileExists(std::wstring(App(0)->localSigPath)));
}

TEST_F(Orchestration, InstallStopsAtTheFirstFailure)
{
    Serve({{L"notprogram.exe", L""}, {L"inst.exe", L"sleep 0 " + Marker(L"second.txt")}});
    ASSERT_EQ(imp->DownloadInstallables(userCanceled, connectionError, nullptr), 1);
    std::vector<ZvLib_CInstallResult> results;
    EXPECT_EQ(imp->InstallInstallables(&results, nullptr), 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].applied, 1);
    EXPECT_EQ(results[0].succeeded, 0);
    EXPECT_FALSE(FileExists(Marker(L"second.txt")));
}

TEST_F(Orchestration, CancelledDownloadResumesWithARangeRequest)
{
    Serve({{L"big.exe", L"exit 0"}, {L"inst.exe", L"exit 0"}});
    DownloadSink dl;
    dl.cancelAt = 256 * 1024;
    dl.cancelEvent = cancel.Get();
    EXPECT_EQ(imp->DownloadInstallables(userCanceled, connectionError, &dl), 0);
    EXPECT_EQ(userCanceled, 1u);
    EXPECT_EQ(dl.ends, 1);
    // The second installable was not attempted.
    EXPECT_TRUE(AccessLogLines(zv::ToUtf8(marker) + "/p2_inst.exe.sig").empty());
    const std::wstring payload(App(0)->localPayloadPath);
    ASSERT_TRUE(FileExists(payload + L".part"));
    const size_t kept = ReadFileBytes(payload + L".part").size();
    ASSERT_GT(kept, 0u);

    dl.cancelAt = 0;
    // The host clears its cancel event before each download.
    ::ResetEvent(cancel.Get());
    ASSERT_EQ(imp->DownloadInstallables(userCanceled, connectionError, &dl), 1);
    EXPECT_EQ(ReadFileBytes(payload), ReadFileBytes(Data(L"big.exe")));
    bool ranged = false;
    int sizeQueries = 0;
    for (const std::string& line : AccessLogLines(zv::ToUtf8(marker) + "/p1_big.exe?")) {
        if (line.rfind("206 ", 0) == 0 && line.find("range=bytes=" + std::to_string(kept) + "-") != std::string::npos) ranged = true;
        // The size pass of each attempt and the query before the resume ask for one byte.
        if (line.find("range=bytes=0-0 ") != std::string::npos) {
            ++sizeQueries;
            EXPECT_NE(line.find(" body=1"), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(ranged);
    EXPECT_EQ(sizeQueries, 3);
    std::vector<ZvLib_CInstallResult> results;
    EXPECT_EQ(imp->InstallInstallables(&results, nullptr), 1);
    EXPECT_EQ(results.size(), 2u);
}

} // namespace

namespace {

TEST(OrchestrationFacade, StepsWithoutAnImplementationDoNothing)
{
    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater{machine};
    unsigned cancelled = 9, connection = 9;
    EXPECT_EQ(updater.DownloadInstallables(cancelled, connection, nullptr), 1);
    EXPECT_EQ(cancelled, 0u);
    EXPECT_EQ(connection, 0u);
    std::vector<ZvLib_CInstallResult> results;
    EXPECT_EQ(updater.InstallInstallables(&results, nullptr), 1);
    EXPECT_TRUE(results.empty());
}

} // namespace
