// The launcher's whole flow in this process (see flow_fixture.h): install, offline,
// silent, receiver, close during the download, and the utility already installed.
#include "flow_fixture.h"

#include "launcher/launcher_messages.h"
#include "launcher/utility_detection.h"
#include "skin/belvarra_osk_wnd.h"

#include "updater/base/text_helpers.h"

#include <algorithm>
#include <cstdio>

namespace {

using zv::skin::CBelvarraOSKWnd;
using namespace zv::test;
using namespace zv::test::flow;

TEST_F(LauncherFlow, NotInstalledOnlineInstallsShowsTheProgressAndStartsTheUtility)
{
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    ASSERT_FALSE(zv::launcher::FindInstalledUtility());

    const size_t logBefore = AccessLogSize();

    EXPECT_EQ(RunApplication({L"/splash_duration:1000"},
                             [&] {
                                 // A later start asks for the window while the flow runs: the
                                 // period restarts, no second flow begins.
                                 ::Sleep(1500);
                                 ::PostMessageW(ControllerWindow(), zv::launcher::WM_ZV_SHOW_SPLASH, 1000, 0);
                                 AwaitFile(stubOut, 90000);
                             }),
              0);

    // 0, 10, the creep by 3 while the download lasts, 50, 60, 100, then the window goes.
    const std::vector<int> values = BarValues();
    std::printf("bar values: %s\n", testing::PrintToString(values).c_str());
    ASSERT_GE(values.size(), 7u) << testing::PrintToString(values);
    std::vector<int> expected = {0, 10};
    for (size_t i = 2; i < values.size() && values[i] > 10 && values[i] < 50; ++i) expected.push_back(10 + 3 * static_cast<int>(i - 1));
    EXPECT_GE(expected.size(), 3u) << "no creep: " << testing::PrintToString(values);
    expected.insert(expected.end(), {50, 60, 100, kNoWindow});
    EXPECT_EQ(values, expected);

    // Closed at the next display tick after the install ended.
    const std::vector<Seen>& seen = SeenBar();
    ASSERT_GE(seen.size(), 2u);
    const Seen& last = seen.back();
    const Seen& full = seen[seen.size() - 2];
    EXPECT_EQ(full.progress, 100);
    EXPECT_EQ(last.progress, kNoWindow);
    EXPECT_LE(last.tick - full.tick, 1000u + 500u);

    // The freshly installed utility, started without parameters.
    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
    const std::string log = ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    EXPECT_NE(log.find("200 GET /flow/kvch_payload.exe"), std::string::npos) << log;
    size_t manifests = 0;
    for (size_t at = 0; (at = log.find(".man.xml?", at)) != std::string::npos; ++at) ++manifests;
    EXPECT_EQ(manifests, 1u) << log;
}

TEST_F(LauncherFlow, InstalledReceiverArrivalsShowTheWindowThenStartTheUtilityWithP)
{
    // Installed, and the update server unreachable: the check fails and the window closes
    // at its next tick, then the utility starts with the parameter of a pop-up.
    // The path unquoted, as some installers register it.
    SetMachineText(zv::launcher::kUtilityAppPathsKey, nullptr, BuildPath(L"tests/launcher/utility_stub.exe"));
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, zv::launcher::kProductKey, L"DisablePopupMode");
    const int closed = std::stoi(ReadFileBytes(BuildPath(L"http-state/closed.port")));
    WriteProductFile("http://127.0.0.1:" + std::to_string(closed) + "/flow");

    EXPECT_EQ(RunApplication({L"/s"},
                             [&] {
                                 for (int i = 0; i < 100 && !ControllerWindow(); ++i) ::Sleep(50);
                                 // The first arrival is the receiver present at start: nothing shows.
                                 ::PostMessageW(ControllerWindow(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
                                 ::Sleep(1000);
                                 ::PostMessageW(ControllerWindow(), zv::launcher::WM_ZV_RECEIVER_ARRIVED, 0, 0);
                                 AwaitFile(stubOut, 60000);
                             }),
              0);

    // The window came for the second arrival only, without a bar, and went.
    EXPECT_EQ(BarValues(), (std::vector<int>{0, kNoWindow}));
    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "-p");
}

TEST_F(LauncherFlow, CloseDuringTheDownloadCancelsItAndStartsNothing)
{
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    const size_t logBefore = AccessLogSize();
    const size_t fullSize = ReadFileBytes(FlowState(L"www/flow/kvch_payload.exe")).size();

    // Closed as a later "/x" start would, once the download is under way: the window goes,
    // then the worker is cancelled and waited for, before the rest of the process.
    EXPECT_EQ(RunApplication({L"/splash_duration:1000"},
                             [&] {
                                 for (int i = 0; i < 600; ++i, ::Sleep(50)) {
                                     const CBelvarraOSKWnd* wnd = CBelvarraOSKWnd::Current();
                                     if (wnd && wnd->Progress() >= 13) break;
                                 }
                             }),
              0);

    const std::vector<int> values = BarValues();
    std::printf("bar values: %s\n", testing::PrintToString(values).c_str());
    ASSERT_FALSE(values.empty());
    EXPECT_GE(values.back(), 13);
    for (int v : values) EXPECT_LT(v, 50) << testing::PrintToString(values);
    // Gone with the application, after the loop's last message.
    EXPECT_EQ(CBelvarraOSKWnd::Current(), nullptr);
    EXPECT_EQ(::FindWindowW(zv::skin::kBelvarraWndClass, nullptr), nullptr);
    // The download stopped short: nginx logs the payload's last request with part of its body.
    std::vector<size_t> bodies;
    for (int i = 0; i < 50 && (bodies = PayloadBodies(logBefore)).size() < 2; ++i) ::Sleep(100);
    ASSERT_FALSE(bodies.empty());
    EXPECT_LT(bodies.back(), fullSize) << testing::PrintToString(bodies);
    EXPECT_FALSE(zv::launcher::FindInstalledUtility());
    EXPECT_FALSE(FileExists(stubOut));
}

// An installed utility: the check comes first; the payload is fetched only when the
// server offers a newer version than the one installed. Either way the utility starts.
struct InstalledCase {
    const char* name;
    const wchar_t* version;
    const wchar_t* flavor;
    bool updated;
    const char* brand;
};

class LauncherFlowInstalled : public LauncherFlow, public ::testing::WithParamInterface<InstalledCase> {};

TEST_P(LauncherFlowInstalled, ChecksFirstThenStartsTheUtility)
{
    const InstalledCase& c = GetParam();
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    InstallUtility(c.version, c.flavor);
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    const size_t logBefore = AccessLogSize();

    EXPECT_EQ(RunApplication({L"/splash_duration:500"}, [&] { AwaitFile(stubOut, 90000); }), 0);

    ASSERT_TRUE(FileExists(stubOut));
    EXPECT_EQ(ReadFileBytes(stubOut), "");
    const std::string log = ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    const std::vector<std::string> manifests = ManifestRequests(log);
    ASSERT_EQ(manifests.size(), 1u) << log;
    // The request names the installed version and the brand the registry gives.
    EXPECT_NE(manifests[0].find("/" + std::string(c.brand) + "/"), std::string::npos) << manifests[0];
    EXPECT_NE(manifests[0].find("zv.hbr=" + std::string(c.brand)), std::string::npos) << manifests[0];
    EXPECT_NE(manifests[0].find("h.tandemix=" + zv::ToUtf8(c.version)), std::string::npos) << manifests[0];
    EXPECT_EQ(log.find("GET /flow/kvch_payload.exe?") != std::string::npos, c.updated) << log;
    const std::vector<int> values = BarValues();
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), kNoWindow);
    if (c.updated) {
        EXPECT_NE(std::find(values.begin(), values.end(), 100), values.end()) << testing::PrintToString(values);
    }
}

// One case a process (see the CMake list).
INSTANTIATE_TEST_SUITE_P(Installed, LauncherFlowInstalled,
                         ::testing::Values(InstalledCase{"Current", L"2.0", L"", false, "quorvane"},
                                           InstalledCase{"Older", L"1.0", L"", true, "quorvane"},
                                           InstalledCase{"Regional", L"2.0", L"Tessaron", false, "tessaron"}),
                         [](const ::testing::TestParamInfo<InstalledCase>& param) { return std::string(param.param.name); });

TEST_F(LauncherFlow, NotInstalledOfflineTellsWhereToGetItAndStartsNothing)
{
    // A port nobody listens on: the connection check fails at once.
    const int closed = std::stoi(ReadFileBytes(BuildPath(L"http-state/closed.port")));
    WriteProductFile("http://127.0.0.1:" + std::to_string(closed) + "/flow");

    std::wstring caption, text;
    bool visible = false;
    EXPECT_EQ(RunApplication({L"/splash_duration:500"},
                             [&] {
                                 HWND box = nullptr;
                                 for (int i = 0; i < 300 && !box; ++i, ::Sleep(100))
                                     box = ::FindWindowW(L"#32770", zv::skin::kNoConnectionCaption);
                                 if (!box) return;
                                 for (int i = 0; i < 100 && !(visible = ::IsWindowVisible(box)); ++i) ::Sleep(50);
                                 wchar_t buffer[1024] = {};
                                 ::GetWindowTextW(box, buffer, 1024);
                                 caption = buffer;
                                 ::GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
                                 text = buffer;
                                 ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                                 // Long enough for several display ticks and a start that should not come.
                                 ::Sleep(3000);
                             }),
              0);

    EXPECT_TRUE(visible);
    EXPECT_EQ(caption, L"No Internet Connection");
    EXPECT_EQ(text, L"Internet connectivity is not available.\n"
                    L"A network connection is required to complete the installation of this software.\n"
                    L"Alternatively, download the software here: https://support.quorvane.com/tandemix");
    // The window was there and closed, its bar never moved, and nothing was started.
    EXPECT_EQ(BarValues(), (std::vector<int>{0, kNoWindow}));
    EXPECT_FALSE(FileExists(stubOut));
}

TEST_F(LauncherFlow, SilentShowsNoWindowAndAsksTheServerNothing)
{
    const std::wstring server = FlowServer();
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    const size_t logBefore = AccessLogSize();

    EXPECT_EQ(RunApplication({L"/s"}, [] { ::Sleep(3000); }), 0);

    EXPECT_TRUE(BarValues().empty()) << testing::PrintToString(BarValues());
    EXPECT_EQ(AccessLogSize(), logBefore) << ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    EXPECT_FALSE(FileExists(stubOut));
}

} // namespace
