// The launcher's whole flow when things go wrong (see flow_fixture.h): ended hard in the
// middle of a download and started again, and a server whose payload or manifest does not
// authenticate. The installer stand-in records each start (ZVTEST_INSTALLER_RUNS).
#include "flow_fixture.h"

#include "launcher/utility_detection.h"
#include "skin/belvarra_base_wnd.h"
#include "support/child_process.h"
#include "support/log_capture.h"

#include "updater/base/text_helpers.h"
#include "updater/base/win32/path_helpers.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace zv::test;
using namespace zv::test::flow;

class LauncherRecovery : public LauncherFlow {
protected:
    void SetUp() override
    {
        LauncherFlow::SetUp();
        ::SetEnvironmentVariableW(L"ZVTEST_INSTALLER_RUNS", installerRuns.c_str());
    }

    std::wstring DownloadFolder() const { return temp.Path() + L"\\zv"; }

    std::wstring installerRuns = out.File(L"installer-runs.txt");
};

// Files below folder, at any depth, as paths relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& folder, const std::wstring& prefix = L"")
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : FilesBelow(folder + L"\\" + name, prefix + name + L"\\")) files.push_back(inner);
        } else {
            files.push_back(prefix + name);
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return files;
}

std::string Printable(const std::vector<std::wstring>& names)
{
    std::string text;
    for (const std::wstring& name : names) text += zv::ToUtf8(name) + "; ";
    return text;
}

uint64_t FileLength(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The payload being downloaded into folder (its ".part" file, not the signature's).
std::wstring PartialPayload(const std::wstring& folder)
{
    for (const std::wstring& name : FilesBelow(folder))
        if (EndsWith(name, L".part") && !EndsWith(name, L".sig.part")) return folder + L"\\" + name;
    return {};
}

// One request for a payload as nginx logged it.
struct Served {
    std::string status;
    std::string range;
    size_t body;
};

std::vector<Served> PayloadRequests(size_t offset, const std::string& name)
{
    std::vector<Served> served;
    const std::string log = ReadFileBytes(FlowState(L"nginx/access.log")).substr(offset);
    size_t begin = 0;
    while (begin < log.size()) {
        size_t end = log.find('\n', begin);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(begin, end - begin);
        begin = end + 1;
        if (line.find(" GET /flow/" + name + "?") == std::string::npos) continue;
        const size_t range = line.find(" range=");
        const size_t body = line.find(" body=");
        if (range == std::string::npos || body == std::string::npos) continue;
        const size_t rangeEnd = line.find(' ', range + 7);
        served.push_back({line.substr(0, line.find(' ')), line.substr(range + 7, rangeEnd - range - 7),
                          static_cast<size_t>(std::stoul(line.substr(body + 6)))});
    }
    return served;
}

// Until the progress window has come and gone, then long enough for a start of the
// utility that should not come.
void AwaitTheWindowComeAndGo()
{
    HWND window = nullptr;
    for (int i = 0; i < 200 && !window; ++i, ::Sleep(50)) window = ::FindWindowW(zv::skin::kBelvarraWndClass, nullptr);
    for (int i = 0; i < 1200 && ::IsWindow(window); ++i) ::Sleep(50);
    ::Sleep(1500);
}

// Launcher starts of their own, run by the tests below in a process each, never by CTest.
TEST(LauncherRecoveryOtherStart, DISABLED_DownloadsUntilEnded)
{
    RunApplication({L"/splash_duration:1000"}, [] { ::Sleep(120000); });
}

TEST(LauncherRecoveryOtherStart, DISABLED_RunsUntilTheWindowCloses)
{
    EXPECT_EQ(RunApplication({L"/splash_duration:500"}, AwaitTheWindowComeAndGo), 0);
}

// Starts this program to run one of the starts above; false when it could not start.
bool StartOther(ChildProcess& child, const wchar_t* test)
{
    return child.Start(zv::ModulePath(),
                       std::wstring(L"--gtest_also_run_disabled_tests --gtest_filter=LauncherRecoveryOtherStart.") + test);
}

// Enough of the payload on disk that the next start has something to continue.
constexpr uint64_t kEndAfterBytes = 512 * 1024;

// Runs a first start with this TEMP in a process of its own and ends it hard once part of
// the payload is on disk: no close, no cancel, no chance to tidy up. part: the partial file.
void EndAStartMidDownload(const std::wstring& downloadFolder, size_t payloadSize, std::wstring& part)
{
    ChildProcess first;
    ASSERT_TRUE(StartOther(first, L"DISABLED_DownloadsUntilEnded"));
    for (int i = 0; i < 600; ++i, ::Sleep(50)) {
        part = PartialPayload(downloadFolder);
        if (!part.empty() && FileLength(part) >= kEndAfterBytes) break;
    }
    ASSERT_TRUE(first.Kill());
    ASSERT_FALSE(part.empty()) << "no partial payload in " << zv::ToUtf8(downloadFolder);
    const uint64_t kept = FileLength(part);
    std::printf("kept after the first start: %llu of %zu bytes\n", static_cast<unsigned long long>(kept), payloadSize);
    ASSERT_GE(kept, kEndAfterBytes);
    ASSERT_LT(kept, payloadSize);
}

TEST_F(LauncherRecovery, EndedMidDownloadTheNextStartResumesInstallsOnceAndStartsTheUtility)
{
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    ASSERT_FALSE(zv::launcher::FindInstalledUtility());
    const std::string payload = ReadFileBytes(FlowState(L"www/flow/kvch_payload.exe"));
    const size_t logBefore = AccessLogSize();

    std::wstring part;
    ASSERT_NO_FATAL_FAILURE(EndAStartMidDownload(DownloadFolder(), payload.size(), part));
    const uint64_t kept = FileLength(part);
    EXPECT_FALSE(FileExists(installerRuns));
    EXPECT_FALSE(zv::launcher::FindInstalledUtility());

    // Second start, in this process, with the same download cache.
    LogLines log;
    EXPECT_EQ(RunApplication({L"/splash_duration:1000"}, [&] { AwaitFile(stubOut, 90000); }), 0);

    // The rest of the file, asked for by range and sent as such; never the whole file again.
    const std::vector<Served> requests = PayloadRequests(logBefore, "kvch_payload.exe");
    const std::string rest = "bytes=" + std::to_string(kept) + "-" + std::to_string(payload.size() - 1);
    size_t resumed = 0;
    for (const Served& s : requests) {
        EXPECT_LT(s.body, payload.size()) << s.status << " " << s.range;
        if (s.range == rest) {
            ++resumed;
            EXPECT_EQ(s.status, "206");
            EXPECT_EQ(s.body, payload.size() - kept);
        }
    }
    EXPECT_EQ(resumed, 1u) << "expected a request for " << rest << " in "
                           << ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    EXPECT_EQ(log.Count(L"ZV-cache is clean; payload is resumable"), 1);
    EXPECT_EQ(log.Count(L"Cached " + std::to_wstring(kept) + L" / " + std::to_wstring(payload.size()) + L" bytes"), 1);
    EXPECT_EQ(log.Count(L"failed authentication"), 0);

    // The joined file is the served one, no partial file is left, and it ran once.
    const std::wstring complete = part.substr(0, part.size() - 5);
    EXPECT_TRUE(ReadFileBytes(complete) == payload) << "the resumed payload differs from the served one";
    EXPECT_FALSE(FileExists(part));
    EXPECT_EQ(FileExists(installerRuns) ? ReadFileBytes(installerRuns) : "", "started\n");
    EXPECT_TRUE(zv::launcher::FindInstalledUtility());
    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
}

TEST_F(LauncherRecovery, PartialFileChangedBetweenStartsIsRefusedThenTheNextStartFetchesAfresh)
{
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    const std::string payload = ReadFileBytes(FlowState(L"www/flow/kvch_payload.exe"));
    const size_t logBefore = AccessLogSize();

    std::wstring part;
    ASSERT_NO_FATAL_FAILURE(EndAStartMidDownload(DownloadFolder(), payload.size(), part));
    const uint64_t kept = FileLength(part);
    // One byte of the DOS stub's message changed while nothing ran: the program would still
    // run, so only authentication can keep it from being started.
    std::string changed = ReadFileBytes(part);
    ASSERT_GT(changed.size(), 0x50u);
    changed[0x50] = static_cast<char>(changed[0x50] ^ 0x20);
    WriteFileBytes(part, changed);

    // The next start (a process of its own: this one keeps the last start of its own)
    // continues the file, and the whole refuses to authenticate: it is deleted with its
    // signature files, nothing runs, nothing starts.
    {
        ChildProcess second;
        ASSERT_TRUE(StartOther(second, L"DISABLED_RunsUntilTheWindowCloses"));
        EXPECT_EQ(second.Wait(120000), 0u);
    }
    const std::string rest = "bytes=" + std::to_string(kept) + "-" + std::to_string(payload.size() - 1);
    const std::vector<Served> resumed = PayloadRequests(logBefore, "kvch_payload.exe");
    ASSERT_FALSE(resumed.empty());
    EXPECT_EQ(resumed.back().range, rest);
    EXPECT_EQ(resumed.back().body, payload.size() - kept);
    EXPECT_FALSE(FileExists(installerRuns)) << ReadFileBytes(installerRuns);
    EXPECT_TRUE(FilesBelow(DownloadFolder()).empty()) << Printable(FilesBelow(DownloadFolder()));
    EXPECT_FALSE(FileExists(stubOut));
    EXPECT_FALSE(zv::launcher::FindInstalledUtility());

    // The start after that has nothing to continue: the whole file, verified, run once.
    const size_t thirdBefore = AccessLogSize();
    LogLines log;
    EXPECT_EQ(RunApplication({L"/splash_duration:1000"}, [&] { AwaitFile(stubOut, 90000); }), 0);
    EXPECT_EQ(log.Count(L"ZV-cached payload file not found"), 1);
    EXPECT_EQ(log.Count(L"failed authentication"), 0);
    const std::vector<Served> fresh = PayloadRequests(thirdBefore, "kvch_payload.exe");
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh.back().status, "200");
    EXPECT_EQ(fresh.back().body, payload.size());
    EXPECT_EQ(FileExists(installerRuns) ? ReadFileBytes(installerRuns) : "", "started\n");
    EXPECT_TRUE(FileExists(stubOut));
}

// A server that hands out what does not authenticate: the payload changed after signing,
// the manifest changed after signing, the manifest signed with a key not ours.
struct TamperCase {
    const char* name;
    const wchar_t* staged;   // the manifest pair serve-flow.sh staged
    bool manifestRefused;    // refused at the check: no payload is ever asked for
    bool installedOlder;     // the utility is there at 1.0; else not installed
};

class LauncherTampered : public LauncherRecovery, public ::testing::WithParamInterface<TamperCase> {};

TEST_P(LauncherTampered, NothingUnauthenticatedRunsOrStaysAndAnInstalledUtilityStillStarts)
{
    const TamperCase& c = GetParam();
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    if (c.installedOlder) InstallUtility(L"1.0");
    PublishManifest(L"/flow" + ManifestPathOnServer(server), c.staged);
    const size_t logBefore = AccessLogSize();

    LogLines log;
    EXPECT_EQ(RunApplication({L"/splash_duration:500"},
                             [&] {
                                 if (c.installedOlder)
                                     AwaitFile(stubOut, 60000);
                                 else
                                     AwaitTheWindowComeAndGo();
                             }),
              0);

    EXPECT_FALSE(FileExists(installerRuns)) << ReadFileBytes(installerRuns);
    const std::string served = ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    EXPECT_EQ(ManifestRequests(served).size(), 1u) << served;
    if (c.manifestRefused) {
        EXPECT_EQ(log.Count(L"ObtainManifest2: manifest"), 1);
        EXPECT_EQ(log.Count(L"failed authentication"), 1);
        EXPECT_EQ(served.find("GET /flow/kvch_payload.exe"), std::string::npos) << served;
        // Not even the refused manifest stays behind.
        EXPECT_TRUE(FilesBelow(temp.Path()).empty()) << Printable(FilesBelow(temp.Path()));
    } else {
        // Fetched, refused and deleted with its signature and partial files.
        EXPECT_FALSE(PayloadRequests(logBefore, "recovery_tampered.exe").empty()) << served;
        EXPECT_EQ(log.Count(L"Payload failed authentication"), 1);
        EXPECT_EQ(served.find("GET /flow/kvch_payload.exe"), std::string::npos) << served;
    }
    EXPECT_TRUE(FilesBelow(DownloadFolder()).empty()) << Printable(FilesBelow(DownloadFolder()));

    // An installed utility still starts, at its old version; a missing one stays missing.
    EXPECT_EQ(FileExists(stubOut), c.installedOlder);
    EXPECT_EQ(zv::launcher::FindInstalledUtility().has_value(), c.installedOlder);
    if (c.installedOlder) {
        EXPECT_EQ(ReadFileBytes(stubOut), "");
        EXPECT_EQ(zv::launcher::ReadInstalledVersion(), L"1.0");
    }
}

// One case a process (see the CMake list).
INSTANTIATE_TEST_SUITE_P(Tampered, LauncherTampered,
                         ::testing::Values(TamperCase{"PayloadNotInstalled", L"recovery-payload", false, false},
                                           TamperCase{"PayloadInstalledOlder", L"recovery-payload", false, true},
                                           TamperCase{"ManifestNotInstalled", L"recovery-manifest", true, false},
                                           TamperCase{"ManifestInstalledOlder", L"recovery-manifest", true, true},
                                           TamperCase{"OtherKeyNotInstalled", L"recovery-otherkey", true, false},
                                           TamperCase{"OtherKeyInstalledOlder", L"recovery-otherkey", true, true}),
                         [](const ::testing::TestParamInfo<TamperCase>& param) { return std::string(param.param.name); });

} // namespace
