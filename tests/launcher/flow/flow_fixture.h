#pragma once
// What the launcher's flow tests share: the real application run in this process with its
// skinned progress window and worker, against a private nginx (serve-flow.sh), the
// utility's registration in the test prefix and a stub that records how it was started.
// One application run per process (the single-instance mapping stays until the process
// ends): CTest runs each test on its own.
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zv::test::flow {

constexpr int kNoWindow = -1;

// The bar as the main thread saw it each time it took a message: -1 when no window.
struct Seen {
    ULONGLONG tick;
    int progress;
};
const std::vector<Seen>& SeenBar();

// The distinct bar values of one run, from the window's appearance on.
std::vector<int> BarValues();

std::wstring ModuleFolder();
// A path below the flow server's state folder.
std::wstring FlowState(const std::wstring& relative);
int NginxPort();
// The flow server's address as the product file names it.
std::wstring FlowServer();
size_t AccessLogSize();

// The product file beside this program, naming the given update server.
void WriteProductFile(const std::string& server);
void ForgetUtility();
void SetMachineText(const wchar_t* keyPath, const wchar_t* name, const std::wstring& value);
// The stub registered as the installed utility, at a version, optionally of a flavour.
void InstallUtility(const std::wstring& version, const std::wstring& flavor = L"");

// The manifest requests nginx has logged, one line each.
std::vector<std::string> ManifestRequests(const std::string& log);
// Where this machine's check asks for the manifest, as a path below the server's root.
std::wstring ManifestPathOnServer(const std::wstring& server);
// Copies a manifest staged by serve-flow.sh (STATE/<staged>.man.xml and its .sig) to
// urlPath ("/a/b.man.xml") below nginx's root.
void PublishManifest(const std::wstring& urlPath, const std::wstring& staged = L"staged");
// The payload requests for name (below /flow/) nginx has logged since offset: the body
// bytes sent for each.
std::vector<size_t> PayloadBodies(size_t offset, const std::string& name = "kvch_payload.exe");

HWND ControllerWindow();

// Runs the application with the switches until `until` (on a thread of its own) returns,
// then closes it as a later "/x" start would. Returns the application's exit code.
int RunApplication(std::vector<std::wstring> switches, const std::function<void()>& until);

bool AwaitFile(const std::wstring& path, DWORD ms);

class LauncherFlow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScratchDir temp{L"launcher-flow"};
    ScratchDir out{L"launcher-flow-out"};
    std::wstring stubOut = out.File(L"utility-started.txt");
};

} // namespace zv::test::flow
