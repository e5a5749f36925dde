// The fault matrix: every scripted server fault against each of the four files of an
// update (manifest signature, manifest, payload signature, payload), with the launcher
// itself: each run is the real application with its progress window and worker, in a
// child process of its own. Run by fault_matrix.sh, which publishes the server tree,
// starts the fault server in tree mode and puts this program beside its product file,
// key and pictures. Each cell must end safe, and the next run without the fault must
// complete the work.
#include "fault_matrix_flow.h"

#include "framework/reg_key.h"
#include "launcher/utility_detection.h"
#include "support/test_paths.h"
#include "updater/base/win32/path_helpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using zv::test::Click;
using zv::test::LauncherRun;
using zv::test::ReadFileBytes;

struct Target {
    const char* name;
    const char* suffix; // the request paths the fault applies to
};
const Target kTargets[] = {
    {"manifest signature", ".man.xml.sig"},
    {"manifest", ".man.xml"},
    {"payload signature", "kvch_setup.exe.sig"},
    {"payload", "kvch_setup.exe"},
};

struct Fault {
    const char* name;  // the fault server's name
    const char* label; // the matrix's row
    bool damaging;     // whenever it meets its file, that file is not what was published
};
const Fault kFaults[] = {
    {"refused", "connection refused", true}, {"reset", "reset mid-body", true}, {"404", "404", true},
    {"500", "500", true},                    {"nolength", "no Content-Length", false},
    {"short", "short body", true},           {"long", "long body", false},
    {"norange", "ignored Range", false},     {"416", "416", true},
    {"trickle", "trickle cancelled", true},
};

std::wstring Env(const wchar_t* name)
{
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, buf, MAX_PATH);
    return n && n < MAX_PATH ? buf : L"";
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); } // digits only

void WriteText(const std::wstring& path, const std::string& text)
{
    std::ofstream f(fs::path(path), std::ios::binary | std::ios::trunc);
    f << text;
}

std::vector<std::string> MarkerRuns(const std::wstring& marker)
{
    std::vector<std::string> runs;
    std::istringstream in(ReadFileBytes(marker));
    std::string word, hash;
    while (in >> word >> hash) runs.push_back(hash);
    return runs;
}

// Both copies of the environment: the library reads the C runtime's, the installer
// inherits the process's.
void SetEnv(const wchar_t* name, const std::wstring& value)
{
    ::SetEnvironmentVariableW(name, value.c_str());
    _wputenv_s(name, value.c_str());
}

void ClearUtilityRegistration()
{
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, zv::launcher::kUtilityAppPathsKey, 0, 0);
    zv::fw::CRegKey product;
    if (product.Open(HKEY_LOCAL_MACHINE, zv::launcher::kProductKey, KEY_ALL_ACCESS) == ERROR_SUCCESS)
        product.DeleteValue(L"Version");
}

void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
{
    zv::fw::CRegKey k;
    ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, key, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(k.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Files of the download folder that would be taken for a finished payload: anything but
// signatures and partial files.
std::vector<fs::path> FinalPayloadFiles(const std::wstring& downloadDir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(fs::path(downloadDir), ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        const std::wstring ext = it->path().extension().wstring();
        if (ext != L".sig" && ext != L".part") files.push_back(it->path());
    }
    return files;
}

// Size and hash, so that a mismatch reads as two short lines instead of two binaries.
std::string Digest(const std::string& bytes) { return std::to_string(bytes.size()) + " bytes, fnv " + zv::test::Fnv1a64Hex(bytes); }
std::string DigestOf(const std::wstring& path) { return zv::test::FileExists(path) ? Digest(ReadFileBytes(path)) : "missing"; }

// installerRan: the published installer ran in this run.
std::string StepText(const LauncherRun& r, bool installerRan)
{
    if (!r.EndedCleanly()) return "no report";
    if (r.offlineBox) return "offline box";
    if (!r.CheckPassed()) return "check failed";
    if (!r.DownloadPassed()) return "download failed";
    if (!r.InstallEnded() || !installerRan) return "install failed";
    return "installed, verified";
}

std::string Describe(const LauncherRun& r)
{
    if (r.startError) return "not started (error " + std::to_string(r.startError) + ")";
    std::string text = "exit " + std::to_string(r.exitCode) + " after " + std::to_string(r.elapsedMs) + " ms" +
                       (r.reported ? "" : ", no account") +
                       (r.windowShown ? "" : ", no window") + (r.windowClosed ? "" : ", window never closed") + ", bar";
    for (int v : r.bar) text += " " + std::to_string(v);
    return text;
}

// The launcher's copy in a folder of its own, beside a product file of the cell's.
std::wstring LauncherBeside(const std::wstring& folder, const std::string& productXml)
{
    const fs::path self(zv::ModulePath());
    const fs::path dir(folder);
    fs::create_directories(dir);
    std::error_code ec;
    fs::copy_file(self, dir / self.filename(), fs::copy_options::overwrite_existing, ec);
    fs::copy_file(self.parent_path() / "quorkey.pub", dir / "quorkey.pub", fs::copy_options::overwrite_existing, ec);
    fs::copy(self.parent_path() / "Images", dir / "Images", fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    WriteText((dir / "Product.TandemVesk.xml").wstring(), productXml);
    return (dir / self.filename()).wstring();
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    void SetUp() override
    {
        m_work = Env(L"ZV_MATRIX_WORK");
        m_served = Env(L"ZV_MATRIX_PAYLOAD");
        m_utility = Env(L"ZV_MATRIX_UTILITY");
        m_product = Env(L"ZV_MATRIX_APP") + L"\\Product.TandemVesk.xml";
        ASSERT_FALSE(m_work.empty() || m_served.empty() || m_utility.empty()) << "run by fault_matrix.sh";
        m_faultFile = m_work + L"\\fault.txt";
        m_applied = m_faultFile + L".applied";
        m_servedBytes = ReadFileBytes(m_served);
        ASSERT_FALSE(m_servedBytes.empty());
    }
    void TearDown() override
    {
        ::DeleteFileW(m_faultFile.c_str());
        ClearUtilityRegistration();
    }

    std::wstring m_work, m_served, m_utility, m_product, m_faultFile, m_applied;
    std::string m_servedBytes;
};

// A partial download of the published payload beside an older complete one, with the
// current signature as its fingerprint: the next download asks for the rest with a Range.
void SeedResumableDownload(const std::wstring& downloadDir, const std::string& served, const std::string& sig)
{
    fs::create_directories(fs::path(downloadDir));
    const std::wstring payload = downloadDir + L"\\KVCH_1_kvch_setup.exe";
    WriteText(payload, std::string(1000, 'o'));
    WriteText(payload + L".part", served.substr(0, served.size() / 2));
    WriteText(payload + L".sig.part", sig);
}

TEST_P(FaultMatrix, EndsSafeAndTheNextRunCompletes)
{
    const Fault& fault = kFaults[std::get<0>(GetParam())];
    const Target& target = kTargets[std::get<1>(GetParam())];
    // Half the cells start with the older utility installed (an update), half without (a first install).
    const bool installed = (std::get<0>(GetParam()) + std::get<1>(GetParam())) % 2 == 1;
    SCOPED_TRACE(std::string(fault.label) + " x " + target.name);

    const std::wstring cell = m_work + L"\\cells\\" + Wide(fault.name) + L"-" + std::to_wstring(std::get<1>(GetParam()));
    std::error_code ec;
    fs::remove_all(fs::path(cell), ec);
    const std::wstring temp = cell + L"\\temp";
    const std::wstring downloadDir = temp + L"\\zv";
    fs::create_directories(fs::path(temp));
    const std::wstring marker = cell + L"\\installer-ran.txt";
    const std::wstring stubOut = cell + L"\\utility-started.txt";
    SetEnv(L"TEMP", temp);
    SetEnv(L"TMP", temp);
    SetEnv(L"ZV_MATRIX_MARKER", marker);
    SetEnv(L"ZVTEST_STUB_OUT", stubOut);

    ClearUtilityRegistration();
    if (installed) {
        SetString(zv::launcher::kUtilityAppPathsKey, L"", m_utility);
        SetString(zv::launcher::kProductKey, L"Version", L"1.00.00");
    }
    if (std::string(fault.name) == "norange") SeedResumableDownload(downloadDir, m_servedBytes, ReadFileBytes(m_served + L".sig"));

    const std::string servedHash = zv::test::Fnv1a64Hex(m_servedBytes);
    ::DeleteFileW(m_applied.c_str());
    WriteText(m_faultFile, std::string(fault.name) + " " + target.suffix + "\n");
    const bool trickle = std::string(fault.name) == "trickle";
    zv::test::LauncherRunOptions options;
    options.resultFile = cell + L"\\launcher-run.txt";
    options.appliedLog = m_applied;
    // The payload's first GET is the size query: the close button comes during its body's GET.
    options.cancelOn = "trickle GET";
    options.cancelAt = trickle ? (std::get<1>(GetParam()) == 3 ? 2 : 1) : 0;
    // The first request of a flow can meet a real refusal: a product file naming a port
    // nobody listens on, beside a copy of the launcher. Later ones share the server's
    // port, which resets them instead.
    const bool realRefusal = std::string(fault.name) == "refused" && std::get<1>(GetParam()) == 0;
    if (realRefusal) {
        std::string xml = ReadFileBytes(m_product);
        const std::string from = ":" + Narrow(Env(L"ZV_MATRIX_PORT")) + "/", to = ":" + Narrow(Env(L"ZV_MATRIX_CLOSED_PORT")) + "/";
        const size_t at = xml.find(from);
        ASSERT_NE(at, std::string::npos);
        ASSERT_NE(to, ":/");
        options.program = LauncherBeside(cell + L"\\app", xml.replace(at, from.size(), to));
    }
    const LauncherRun first = zv::test::RunLauncher(options);
    ::DeleteFileW(m_faultFile.c_str());

    // Whether the fault met its file: a Range for the ignored-Range fault, any request otherwise.
    const std::string applied = ReadFileBytes(m_applied);
    const bool met = realRefusal || (std::string(fault.name) == "norange" ? applied.find("range=bytes") != std::string::npos
                                                                          : !applied.empty());

    // Only the payload is ever asked for with a Range; every other cell must have met its fault.
    const bool payloadTarget = std::get<1>(GetParam()) == 3;
    if (std::string(fault.name) != "norange" || payloadTarget) {
        EXPECT_TRUE(met) << "the fault never met its file";
    }

    // Safe after the faulty run: the launcher ended by itself without a crash or hang,
    // nothing but the published installer ran, no finished payload that is not the
    // published one, no success shown for a damaged file.
    EXPECT_TRUE(first.EndedCleanly()) << Describe(first);
    const std::vector<std::string> ranFirst = MarkerRuns(marker);
    for (const std::string& hash : ranFirst) {
        EXPECT_EQ(hash, servedHash) << "an installer that is not the published one ran";
    }
    for (const fs::path& file : FinalPayloadFiles(downloadDir)) {
        EXPECT_EQ(DigestOf(file.wstring()), Digest(m_servedBytes)) << "left as finished: " << file.string();
    }
    if (first.DownloadPassed()) {
        // A download shown as complete is the published payload, and is installed once.
        EXPECT_EQ(DigestOf(downloadDir + L"\\KVCH_1_kvch_setup.exe"), Digest(m_servedBytes));
        EXPECT_EQ(ranFirst.size(), 1u) << Describe(first);
    }
    if (trickle) {
        // The close button is there once the update is under way; with the utility
        // installed it is hidden during the check, and a click there does nothing.
        EXPECT_NE(first.click, Click::None) << "the trickle never started";
        const bool duringCheck = std::get<1>(GetParam()) < 2;
        EXPECT_EQ(first.click, installed && duringCheck ? Click::ButtonHidden : Click::OnButton);
    }
    // A trickle the close button did not stop delivers its file whole, only slowly.
    const bool damaged = fault.damaging && met && (!trickle || first.Cancelled());
    if (damaged) {
        EXPECT_FALSE(first.DownloadPassed()) << "success shown for a damaged transfer: " << Describe(first);
        EXPECT_TRUE(ranFirst.empty());
    }
    if (realRefusal && !installed) {
        // Not installed and the update server unreachable: the user is told where to get it.
        EXPECT_TRUE(first.offlineBox);
    }
    if (installed) {
        // The installed utility is still found, and the launcher started it as its window went.
        EXPECT_TRUE(zv::launcher::FindInstalledUtility().has_value());
        EXPECT_EQ(zv::launcher::ReadInstalledVersion(), ranFirst.empty() ? L"1.00.00" : L"2.00.00");
        EXPECT_TRUE(zv::test::FileExists(stubOut)) << "the installed utility did not start";
    } else {
        // Started exactly when this run installed it.
        EXPECT_EQ(zv::test::FileExists(stubOut), !ranFirst.empty());
    }
    if (zv::test::FileExists(stubOut)) {
        EXPECT_EQ(ReadFileBytes(stubOut), "") << "started with parameters";
    }

    // The next run, the fault gone, completes the work: the published installer has run
    // exactly once, and the utility starts.
    ::DeleteFileW(stubOut.c_str());
    options = zv::test::LauncherRunOptions{};
    options.resultFile = cell + L"\\launcher-retry.txt";
    const LauncherRun second = zv::test::RunLauncher(options);
    EXPECT_TRUE(second.EndedCleanly()) << Describe(second);
    EXPECT_TRUE(second.CheckPassed()) << Describe(second);
    EXPECT_TRUE(second.DownloadPassed()) << Describe(second);
    EXPECT_TRUE(second.InstallEnded()) << Describe(second);
    const std::vector<std::string> ran = MarkerRuns(marker);
    EXPECT_EQ(ran, std::vector<std::string>{servedHash});
    EXPECT_EQ(zv::launcher::ReadInstalledVersion(), L"2.00.00");
    EXPECT_TRUE(zv::launcher::FindInstalledUtility().has_value());
    EXPECT_TRUE(zv::test::FileExists(stubOut)) << "the utility did not start after the retry";
    for (const fs::path& file : FinalPayloadFiles(downloadDir)) {
        EXPECT_EQ(DigestOf(file.wstring()), Digest(m_servedBytes)) << file.string();
    }

    // One line per cell for the matrix table (tools/fault-matrix-table.py).
    std::string outcome = (installed ? "update: " : "install: ") + std::string(met ? "" : "not met; ");
    if (first.Cancelled()) outcome += "cancelled; ";
    if (trickle && first.click == Click::ButtonHidden) outcome += "no close button yet; ";
    outcome += StepText(first, !ranFirst.empty());
    outcome += ranFirst.empty() ? (second.InstallEnded() && ran.size() == 1 ? "; retry ok" : "; retry FAILED")
                                : (second.CheckPassed() ? "; retry: nothing left" : "; retry FAILED");
    if (HasFailure()) outcome += " (UNSAFE)";
    if (HasFailure() || !Env(L"ZV_MATRIX_VERBOSE").empty()) {
        // The launcher's own account of both runs, for the failure report.
        for (const LauncherRun* run : {&first, &second}) {
            std::printf("  run: %s\n", Describe(*run).c_str());
            for (const std::string& line : run->log) std::printf("  log: %s\n", line.c_str());
        }
    }
    std::printf("MATRIX|%s|%s|%s\n", fault.label, target.name, outcome.c_str());
    std::fflush(stdout);
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kFaults))),
                                            ::testing::Range(0, static_cast<int>(std::size(kTargets)))),
                         [](const auto& cell) {
                             std::string name = std::string(kFaults[std::get<0>(cell.param)].name) + "_" +
                                                kTargets[std::get<1>(cell.param)].name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
