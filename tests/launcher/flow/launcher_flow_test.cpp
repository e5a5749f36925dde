// The launcher's whole flow in this process: the real application object with its skinned
// progress window and updater worker, against a private nginx (serve-flow.sh), the
// utility's registration in the test prefix and a stub that records how it was started.
// One run per process (the single-instance mapping stays until the process ends): CTest
// runs each test on its own.
#include "launcher/host_request_values.h"
#include "launcher/launcher_app.h"
#include "launcher/launcher_messages.h"
#include "launcher/utility_detection.h"
#include "skin/belvarra_osk_wnd.h"

#include "support/test_paths.h"
#include "updater/base/text_helpers.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/config/config_params.h"
#include "updater/config/url_builder.h"
#include "updater/core/updater.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using zv::launcher::CVeskLaunchTandemixAppApp;
using zv::skin::CBelvarraOSKWnd;
using namespace zv::test;

constexpr int kNoWindow = -1;

// The bar as the main thread saw it each time it took a message: -1 when no window.
struct Seen {
    ULONGLONG tick;
    int progress;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK BeforeEachMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CBelvarraOSKWnd* wnd = CBelvarraOSKWnd::Current();
        const int progress = wnd ? wnd->Progress() : kNoWindow;
        if (g_seen.empty() || g_seen.back().progress != progress) g_seen.push_back({::GetTickCount64(), progress});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The distinct bar values of one run, from the window's appearance on.
std::vector<int> BarValues()
{
    std::vector<int> values;
    for (const Seen& s : g_seen)
        if (!values.empty() || s.progress != kNoWindow) values.push_back(s.progress);
    return values;
}

std::wstring ModuleFolder()
{
    std::wstring path = zv::ModulePath();
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring FlowState(const std::wstring& relative) { return BuildPath(L"flow-http-state/" + relative); }

int NginxPort() { return std::stoi(ReadFileBytes(FlowState(L"nginx/port"))); }

size_t AccessLogSize() { return ReadFileBytes(FlowState(L"nginx/access.log")).size(); }

// The product file beside this program, naming the given update server.
void WriteProductFile(const std::string& server)
{
    std::string text = ReadFileBytes(SourcePath(L"tests/data/config/Product.TandemVesk.xml"));
    const std::string placeholder = "updates.example.invalid";
    text.replace(text.find(placeholder), placeholder.size(), server);
    WriteFileBytes(ModuleFolder() + L"\\Product.TandemVesk.xml", text);
}

void ForgetUtility()
{
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, zv::launcher::kUtilityAppPathsKey, view, 0);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, zv::launcher::kProductKey, view, 0);
    }
}

void SetMachineText(const wchar_t* keyPath, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

// The stub registered as the installed utility, at a version, optionally of a flavour.
void InstallUtility(const std::wstring& version, const std::wstring& flavor = L"")
{
    SetMachineText(zv::launcher::kUtilityAppPathsKey, nullptr, L"\"" + BuildPath(L"tests/launcher/utility_stub.exe") + L"\"");
    SetMachineText(zv::launcher::kProductKey, L"Version", version);
    if (!flavor.empty()) SetMachineText(zv::launcher::kProductKey, L"Flavor", flavor);
}

// The manifest requests nginx has logged since offset, one line each.
std::vector<std::string> ManifestRequests(const std::string& log)
{
    std::vector<std::string> lines;
    for (size_t at = 0; (at = log.find(".man.xml?", at)) != std::string::npos; ++at) {
        const size_t begin = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
        lines.push_back(log.substr(begin, log.find('\n', at) - begin));
    }
    return lines;
}

// Where this machine's check asks for the manifest, as a path below the server's root.
std::wstring ManifestPathOnServer(const std::wstring& server)
{
    ZvLib_CUpdater updater; // seeds the machine's classification the builder uses
    EXPECT_EQ(updater.Initialize(), 1);
    ZvLib_CConfigParamsLoader config;
    EXPECT_TRUE(config.LoadConfigXml(ModuleFolder() + L"\\Product.TandemVesk.xml", L"2.00"));
    zv::launcher::ApplyHostRequestValues(config, zv::launcher::kNotInstalledVersion,
                                         zv::launcher::IsRegionalBrand() ? zv::launcher::kRegionalBrand
                                                                         : zv::launcher::kMainBrand);
    CUrlBuilder builder;
    builder.PrepareRequest(config);
    std::wstring manifest = builder.BuildManifestPath(builder.BuildPayloadPath(config, config.productVersion, 1));
    EXPECT_EQ(manifest.rfind(server, 0), 0u) << zv::ToUtf8(manifest);
    return manifest.substr(server.size());
}

// Copies the staged, signed manifest to urlPath ("/a/b.man.xml") below nginx's root.
void PublishManifest(const std::wstring& urlPath)
{
    std::wstring path = FlowState(L"www");
    size_t start = 1;
    for (size_t slash; (slash = urlPath.find(L'/', start)) != std::wstring::npos; start = slash + 1) {
        path += L"\\" + urlPath.substr(start, slash - start);
        ::CreateDirectoryW(path.c_str(), nullptr);
    }
    path += L"\\" + urlPath.substr(start);
    ASSERT_TRUE(::CopyFileW(FlowState(L"staged.man.xml").c_str(), path.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(FlowState(L"staged.man.xml.sig").c_str(), (path + L".sig").c_str(), FALSE));
}

HWND ControllerWindow() { return ::FindWindowW(zv::launcher::kControllerWndClass, nullptr); }

// Runs the application with the switches until `until` (on a thread of its own) returns,
// then closes it as a later "/x" start would.
template <class Until> int RunApplication(std::vector<std::wstring> switches, Until until)
{
    g_seen.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, BeforeEachMessage, nullptr, ::GetCurrentThreadId());
    EXPECT_NE(hook, nullptr);
    std::thread closer([&] {
        until();
        for (int i = 0; i < 100 && !ControllerWindow(); ++i) ::Sleep(50);
        ::PostMessageW(ControllerWindow(), WM_CLOSE, 0, 0);
    });
    int code = -1;
    {
        CVeskLaunchTandemixAppApp app(std::move(switches));
        code = app.Run();
    }
    closer.join();
    if (hook) ::UnhookWindowsHookEx(hook);
    return code;
}

bool AwaitFile(const std::wstring& path, DWORD ms)
{
    for (DWORD waited = 0; waited < ms; waited += 100) {
        if (FileExists(path)) return true;
        ::Sleep(100);
    }
    return FileExists(path);
}

class LauncherFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetUtility();
        // A download cache of this run's own: nothing is served from an earlier run.
        ::SetEnvironmentVariableW(L"TEMP", temp.Path().c_str());
        ::SetEnvironmentVariableW(L"ZVTEST_STUB_OUT", stubOut.c_str());
        ::SetEnvironmentVariableW(L"ZVTEST_STUB_PATH", BuildPath(L"tests/launcher/utility_stub.exe").c_str());
    }
    void TearDown() override { ForgetUtility(); }

    ScratchDir temp{L"launcher-flow"};
    ScratchDir out{L"launcher-flow-out"};
    std::wstring stubOut = out.File(L"utility-started.txt");
};

TEST_F(LauncherFlow, NotInstalledOnlineInstallsShowsTheProgressAndStartsTheUtility)
{
    const std::wstring server = L"http://127.0.0.1:" + std::to_wstring(NginxPort()) + L"/flow";
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
    ASSERT_GE(g_seen.size(), 2u);
    const Seen& last = g_seen.back();
    const Seen& full = g_seen[g_seen.size() - 2];
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
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, zv::launcher::kUtilityAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring stub = BuildPath(L"tests/launcher/utility_stub.exe");
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(stub.c_str()),
                     static_cast<DWORD>((stub.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
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

// The payload requests nginx has logged since offset: "sent" body bytes of each.
std::vector<size_t> PayloadBodies(size_t offset)
{
    std::vector<size_t> bodies;
    const std::string log = ReadFileBytes(FlowState(L"nginx/access.log")).substr(offset);
    for (size_t at = 0; (at = log.find("GET /flow/kvch_payload.exe?", at)) != std::string::npos; ++at) {
        const size_t body = log.find("body=", at);
        if (body != std::string::npos) bodies.push_back(std::stoul(log.substr(body + 5)));
    }
    return bodies;
}

TEST_F(LauncherFlow, CloseDuringTheDownloadCancelsItAndStartsNothing)
{
    const std::wstring server = L"http://127.0.0.1:" + std::to_wstring(NginxPort()) + L"/flow";
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
    const std::wstring server = L"http://127.0.0.1:" + std::to_wstring(NginxPort()) + L"/flow";
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
    const std::wstring server = L"http://127.0.0.1:" + std::to_wstring(NginxPort()) + L"/flow";
    WriteProductFile(zv::ToUtf8(server));
    PublishManifest(L"/flow" + ManifestPathOnServer(server));
    const size_t logBefore = AccessLogSize();

    EXPECT_EQ(RunApplication({L"/s"}, [] { ::Sleep(3000); }), 0);

    EXPECT_TRUE(BarValues().empty()) << testing::PrintToString(BarValues());
    EXPECT_EQ(AccessLogSize(), logBefore) << ReadFileBytes(FlowState(L"nginx/access.log")).substr(logBefore);
    EXPECT_FALSE(FileExists(stubOut));
}

} // namespace
