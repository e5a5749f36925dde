#include "flow_fixture.h"

#include "launcher/host_request_values.h"
#include "launcher/launcher_app.h"
#include "launcher/launcher_messages.h"
#include "launcher/utility_detection.h"
#include "skin/belvarra_osk_wnd.h"

#include "updater/base/text_helpers.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/config/config_params.h"
#include "updater/config/url_builder.h"
#include "updater/core/updater.h"

#include <thread>

namespace zv::test::flow {

using zv::launcher::CVeskLaunchTandemixAppApp;
using zv::skin::CBelvarraOSKWnd;

namespace {

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

} // namespace

const std::vector<Seen>& SeenBar() { return g_seen; }

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

std::wstring FlowServer() { return L"http://127.0.0.1:" + std::to_wstring(NginxPort()) + L"/flow"; }

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
void InstallUtility(const std::wstring& version, const std::wstring& flavor)
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
void PublishManifest(const std::wstring& urlPath, const std::wstring& staged)
{
    std::wstring path = FlowState(L"www");
    size_t start = 1;
    for (size_t slash; (slash = urlPath.find(L'/', start)) != std::wstring::npos; start = slash + 1) {
        path += L"\\" + urlPath.substr(start, slash - start);
        ::CreateDirectoryW(path.c_str(), nullptr);
    }
    path += L"\\" + urlPath.substr(start);
    ASSERT_TRUE(::CopyFileW(FlowState(staged + L".man.xml").c_str(), path.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(FlowState(staged + L".man.xml.sig").c_str(), (path + L".sig").c_str(), FALSE));
}

HWND ControllerWindow() { return ::FindWindowW(zv::launcher::kControllerWndClass, nullptr); }

// Runs the application with the switches until `until` (on a thread of its own) returns,
// then closes it as a later "/x" start would.
int RunApplication(std::vector<std::wstring> switches, const std::function<void()>& until)
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

std::vector<size_t> PayloadBodies(size_t offset, const std::string& name)
{
    std::vector<size_t> bodies;
    const std::string log = ReadFileBytes(FlowState(L"nginx/access.log")).substr(offset);
    for (size_t at = 0; (at = log.find("GET /flow/" + name + "?", at)) != std::string::npos; ++at) {
        const size_t body = log.find("body=", at);
        if (body != std::string::npos) bodies.push_back(std::stoul(log.substr(body + 5)));
    }
    return bodies;
}

void LauncherFlow::SetUp()
{
    ForgetUtility();
    // A download cache of this run's own: nothing is served from an earlier run.
    ::SetEnvironmentVariableW(L"TEMP", temp.Path().c_str());
    ::SetEnvironmentVariableW(L"ZVTEST_STUB_OUT", stubOut.c_str());
    ::SetEnvironmentVariableW(L"ZVTEST_STUB_PATH", BuildPath(L"tests/launcher/utility_stub.exe").c_str());
}

void LauncherFlow::TearDown() { ForgetUtility(); }

} // namespace zv::test::flow
