// The launcher's whole flow in this process (see flow_fixture.h) for what a manifest's
// items ask of the machine and what the user's settings ask of the launcher: the
// pop-up setting against receiver arrivals, an installer that asks for a reboot, a copy
// action, and requirements that leave an item out.
#include "flow_fixture.h"

#include "framework/handle.h"
#include "launcher/launcher_messages.h"
#include "launcher/utility_detection.h"
#include "skin/belvarra_osk_wnd.h"
#include "support/log_capture.h"

#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <algorithm>
#include <cstdio>

namespace {

using namespace zv::test;
using namespace zv::test::flow;

constexpr wchar_t kRebootEvent[] = L"Local\\Quorvane.zv_reboot_required_event";

// The copy destination and the installer's run marks (utility_installer.cpp) of one run.
class LauncherFlowActions : public LauncherFlow {
protected:
    void SetUp() override
    {
        LauncherFlow::SetUp();
        ::SetEnvironmentVariableW(L"ZVTEST_INSTALL_MARKS", marks.c_str());
        ::SetEnvironmentVariableW(L"ZVTEST_ACTIONS_DEST", dest.Path().c_str());
        // The level comes from the shared configuration once; the lines are read here.
        zv::Log().EnsureInitialised();
    }

    // Publishes the staged manifest where this machine's check asks for it.
    void Publish(const wchar_t* staged)
    {
        server = FlowServer();
        WriteProductFile(zv::ToUtf8(server));
        PublishManifest(L"/flow" + ManifestPathOnServer(server), staged);
        logBefore = AccessLogSize();
    }

    // The runs of the installer, one mark a line.
    std::string Marks() const { return FileExists(marks) ? ReadFileBytes(marks) : std::string(); }
    std::string ServerLog() const { return ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore); }
    static std::string Served(const wchar_t* name) { return ReadFileBytes(FlowState(std::wstring(L"www/flow/") + name)); }

    // Runs the application until the utility has started (or a minute and a half).
    void RunUntilTheUtilityStarts()
    {
        EXPECT_EQ(RunApplication({L"/splash_duration:500"}, [&] { AwaitFile(stubOut, 90000); }), 0);
        const std::vector<int> values = BarValues();
        std::printf("bar values: %s\n", testing::PrintToString(values).c_str());
        // The install ran to its end, then the window went.
        EXPECT_NE(std::find(values.begin(), values.end(), 100), values.end()) << testing::PrintToString(values);
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.back(), kNoWindow);
    }

    ScratchDir dest{L"launcher-flow-dest"};
    std::wstring marks = out.File(L"install-marks.txt");
    std::wstring server;
    size_t logBefore = 0;
};

std::string Lines(const std::vector<std::wstring>& lines)
{
    std::string text;
    for (const auto& l : lines) text += zv::ToUtf8(l);
    return text;
}

// --- The pop-up setting ------------------------------------------------------------

struct PopupCase {
    const char* name;
    DWORD type;
    std::wstring text; // REG_SZ
    DWORD number;      // REG_DWORD
    bool popup;
};

void SetPopupSetting(const PopupCase& c)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, zv::launcher::kProductKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE* data = c.type == REG_DWORD ? reinterpret_cast<const BYTE*>(&c.number) : reinterpret_cast<const BYTE*>(c.text.c_str());
    const DWORD size = c.type == REG_DWORD ? sizeof(DWORD) : static_cast<DWORD>((c.text.size() + 1) * sizeof(wchar_t));
    const LONG rc = ::RegSetValueExW(key, L"DisablePopupMode", 0, c.type, data, size);
    ::RegCloseKey(key);
    ASSERT_EQ(rc, ERROR_SUCCESS);
}

// A progress window of this process: tests of other programs may show theirs meanwhile.
bool ProgressWindowShown()
{
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, zv::skin::kBelvarraWndClass, nullptr)) != nullptr;) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == ::GetCurrentProcessId()) return true;
    }
    return false;
}

class LauncherFlowPopup : public LauncherFlow, public ::testing::WithParamInterface<PopupCase> {
protected:
    void TearDown() override
    {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, zv::launcher::kProductKey, L"DisablePopupMode");
        LauncherFlow::TearDown();
    }
};

// Installed, and the update server unreachable: a window that shows closes at its next
// tick and the utility starts. A second arrival (the first is the receiver present at
// start) brings the pop-up only while the setting allows it; with pop-up mode off it also
// leaves the launch parameters empty, which a later window's utility start shows.
TEST_P(LauncherFlowPopup, ReceiverArrivalsFollowTheSetting)
{
    const PopupCase& c = GetParam();
    InstallUtility(L"2.0");
    SetPopupSetting(c);
    const int closed = std::stoi(ReadFileBytes(BuildPath(L"http-state/closed.port")));
    WriteProductFile("http://127.0.0.1:" + std::to_string(closed) + "/flow");

    bool windowForArrivals = false;
    bool startedForArrivals = false;
    EXPECT_EQ(RunApplication({L"/s"},
                             [&] {
                                 for (int i = 0; i < 100 && !ControllerWindow(); ++i) ::Sleep(50);
                                 for (int arrival = 0; arrival < 3; ++arrival)
                                     ::PostMessageW(ControllerWindow(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
                                 if (c.popup) {
                                     AwaitFile(stubOut, 60000);
                                     return;
                                 }
                                 // Longer than the pop-up's 2000 ms period: a window would have come and gone.
                                 for (int i = 0; i < 60; ++i, ::Sleep(50))
                                     windowForArrivals |= ProgressWindowShown();
                                 startedForArrivals = FileExists(stubOut);
                                 // A later start asks for the window: its close starts the utility.
                                 ::PostMessageW(ControllerWindow(), zv::launcher::WM_ZV_SHOW_SPLASH, 500, 0);
                                 AwaitFile(stubOut, 60000);
                             }),
              0);

    EXPECT_FALSE(windowForArrivals);
    EXPECT_FALSE(startedForArrivals);
    // One window, without a bar (the utility is installed): the pop-up's or the request's.
    EXPECT_EQ(BarValues(), (std::vector<int>{0, kNoWindow}));
    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), c.popup ? "-p" : "");
}

// One case a process (see the CMake list). A missing value is the plain receiver test's.
INSTANTIATE_TEST_SUITE_P(Popup, LauncherFlowPopup,
                         ::testing::Values(PopupCase{"Disabled", REG_DWORD, L"", 1, false},
                                           PopupCase{"Zero", REG_DWORD, L"", 0, true},
                                           PopupCase{"Text", REG_SZ, L"disabled", 0, true}),
                         [](const ::testing::TestParamInfo<PopupCase>& param) { return std::string(param.param.name); });

// --- An installer that asks for a reboot -----------------------------------------------

class LauncherFlowReboot : public LauncherFlowActions, public ::testing::WithParamInterface<bool> {};

// The installer ends with 3010: the install still succeeds, the utility it registered
// starts, and the reboot-required event is signalled when a process of the host waits
// on it (the library never creates it; without one the failed signal is only logged).
// The copy after it has a result of its own: no second reboot request.
TEST_P(LauncherFlowReboot, InstallerEndingWith3010)
{
    const bool listener = GetParam();
    Publish(L"actions-reboot");
    zv::fw::CHandle reboot;
    if (listener) {
        reboot.Reset(::CreateEventW(nullptr, TRUE, FALSE, kRebootEvent));
        ASSERT_TRUE(reboot);
        ::ResetEvent(reboot.Get());
    }
    LogLines log(3);

    RunUntilTheUtilityStarts();

    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
    // The installer ran once; the copied program did not run.
    EXPECT_EQ(Marks(), "reboot\r\n");
    EXPECT_EQ(ReadFileBytes(dest.File(L"after-reboot-item.exe")), Served(L"actions_copy.exe"));
    EXPECT_EQ(log.Count(L"[Info1] ZvInstallPST: ===== Return value indicates the package requested a reboot. Retval (3010).\n"), 1)
        << Lines(log.With(L"ZvInstallPST"));
    EXPECT_EQ(log.Count(L"[Info1] ZvInstallPST: ===== Return value indicates no need to reboot. Retval (0), reference:(3010)\n"), 1)
        << Lines(log.With(L"ZvInstallPST"));
    EXPECT_EQ(log.Count(L"ZvLib: --- CUpdaterImp::InstallInstallables: 'tandemix' applied: outcome 0, result code 3010\n"), 1)
        << Lines(log.With(L"InstallInstallables"));
    if (listener) {
        EXPECT_EQ(::WaitForSingleObject(reboot.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_EQ(log.Count(L"[Info1] ZvInstallPST: ==== PASS: Set (SIGNALED) the [reboot-required event] event. Was non-signaled.\n"), 1)
            << Lines(log.With(L"ZvInstallPST"));
    } else {
        EXPECT_EQ(log.Count(L"[Error] ZvInstallPST: ==== FAIL: Failed to open the [reboot-required event] event."), 1)
            << Lines(log.With(L"ZvInstallPST"));
        zv::fw::CHandle none(::OpenEventW(SYNCHRONIZE, FALSE, kRebootEvent));
        EXPECT_FALSE(none);
    }
}

INSTANTIATE_TEST_SUITE_P(Reboot, LauncherFlowReboot, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) { return std::string(param.param ? "Listener" : "NoListener"); });

// --- A copy action -----------------------------------------------------------------------

struct CopyCase {
    const char* name;
    const wchar_t* manifest;
    bool existing; // an older copy in the folder already
    bool refused;  // the folder is not a full path
};

class LauncherFlowCopy : public LauncherFlowActions, public ::testing::WithParamInterface<CopyCase> {};

// The installed utility is older than the server's item, whose apply action copies a
// program into a folder: it arrives there byte for byte, is not run, and the utility
// starts as usual. Into missing folders, over an older copy in an existing folder; and a
// folder below an unset environment variable, relative to the current drive, is refused:
// nothing lands there, and the utility still starts.
TEST_P(LauncherFlowCopy, CopiesThePayloadIntoPlaceAndStartsTheUtility)
{
    const CopyCase& c = GetParam();
    ::SetEnvironmentVariableW(L"ZVTEST_ACTIONS_UNSET", nullptr);
    InstallUtility(L"1.0");
    Publish(c.manifest);
    const std::wstring folder = c.refused ? L"\\zv-actions-unset-dest" : dest.Path() + L"\\nested\\deeper";
    const std::wstring target = folder + L"\\KVCHPlugin.exe";
    if (c.existing) {
        ASSERT_TRUE(::CreateDirectoryW((dest.Path() + L"\\nested").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        WriteFileBytes(target, "an older plug-in");
    }
    LogLines log(3);

    RunUntilTheUtilityStarts();
    const bool landed = FileExists(target);
    if (c.refused) { // a copy that slipped through is not left on the drive
        ::DeleteFileW(target.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
    EXPECT_EQ(Marks(), "") << "the copied program ran";
    const std::string payload = Served(L"actions_copy.exe");
    const std::vector<size_t> bodies = PayloadBodies(logBefore, "actions_copy.exe");
    ASSERT_FALSE(bodies.empty()) << ServerLog();
    EXPECT_EQ(bodies.back(), payload.size());
    if (c.refused) {
        EXPECT_FALSE(landed);
        EXPECT_EQ(log.Count(L"ZvLib: ---- ZvLib_CApplyThread::InitInstance(): the destination folder '\\zv-actions-unset-dest' is not "
                            L"a full path"),
                  1)
            << Lines(log.With(L"InitInstance"));
        EXPECT_EQ(log.Count(L"ZvLib: --- CUpdaterImp::InstallInstallables: 'tandemix' applied: outcome 1, result code 161\n"), 1)
            << Lines(log.With(L"InstallInstallables"));
        return;
    }
    ASSERT_TRUE(landed);
    EXPECT_EQ(ReadFileBytes(target), payload);
    // An existing folder is logged as a failure to create it, and the copy goes on.
    const wchar_t* folderLine = c.existing ? L"occurred while trying to create target directory" : L"Created destination directory";
    EXPECT_EQ(log.Count(folderLine), 1) << Lines(log.With(L"directory"));
    // The copy's own result, not the folder's: no reboot, and a successful apply.
    EXPECT_EQ(log.Count(L"[Info1] ZvInstallPST: ===== Return value indicates no need to reboot. Retval (0), reference:(3010)\n"), 1)
        << Lines(log.With(L"ZvInstallPST"));
    EXPECT_EQ(log.Count(L"ZvLib: --- CUpdaterImp::InstallInstallables: 'tandemix' applied: outcome 0, result code 0\n"), 1)
        << Lines(log.With(L"InstallInstallables"));
}

INSTANTIATE_TEST_SUITE_P(Copy, LauncherFlowCopy,
                         ::testing::Values(CopyCase{"NewFolders", L"actions-copy", false, false},
                                           CopyCase{"ExistingFile", L"actions-copy", true, false},
                                           CopyCase{"UnsetFolder", L"actions-copy-unset", false, true}),
                         [](const ::testing::TestParamInfo<CopyCase>& param) { return std::string(param.param.name); });

// --- Requirements --------------------------------------------------------------------------

// Two installers for the product: the first requires a 32-bit machine (a hard limit this
// 64-bit machine fails), the second a 64-bit one and, softly, a file that is missing.
// Only the second is fetched and run; the utility it registered starts.
TEST_F(LauncherFlowActions, RequirementsLeaveOutTheItemThisMachineFails)
{
    Publish(L"actions-requirements");
    ASSERT_FALSE(zv::launcher::FindInstalledUtility());
    LogLines log(3);

    RunUntilTheUtilityStarts();

    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
    EXPECT_EQ(Marks(), "selected\r\n");
    const std::string served = ServerLog();
    EXPECT_EQ(served.find("actions_excluded.exe"), std::string::npos) << served;
    const std::vector<size_t> bodies = PayloadBodies(logBefore, "actions_installer.exe");
    ASSERT_FALSE(bodies.empty()) << served;
    EXPECT_EQ(bodies.back(), Served(L"actions_installer.exe").size());
    EXPECT_GE(log.Count(L"GetListOfItems: F Item 1 (tandemix) failed one or more criteria (CriteriaResultMask )"), 1)
        << Lines(log.With(L"GetListOfItems"));
    EXPECT_GE(log.Count(L"GetListOfItems: T Item 2 (tandemix) (2.0) passed all criteria"), 1) << Lines(log.With(L"GetListOfItems"));
    EXPECT_EQ(log.Count(L"GetListOfItems: T Item 1 (tandemix) (2.0) passed all criteria"), 0) << Lines(log.With(L"GetListOfItems"));
}

} // namespace
