#include "fault_matrix_flow.h"

#include "support/child_process.h"
#include "support/test_paths.h"

#include "updater/base/win32/path_helpers.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zv::test {

namespace {

// A short display period: the window closes at the first tick after the flow ends.
constexpr wchar_t kLauncherSwitches[] = L"/splash_duration:20";
// Longer than the child's own limit for its window plus the utility's start.
constexpr DWORD kRunLimitMs = 150000;
constexpr int kStartAttempts = 3;

void ReadAccount(const std::string& text, LauncherRun& run)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        std::istringstream values(value);
        int n = 0;
        if (key == "log") {
            run.log.push_back(value);
        } else if (key == "bar") {
            while (values >> n) run.bar.push_back(n);
        } else if (values >> n) {
            if (key == "exit") run.reported = true;
            if (key == "window") run.windowShown = n != 0;
            if (key == "closed") run.windowClosed = n != 0;
            if (key == "offline") run.offlineBox = n != 0;
            if (key == "registered") run.utilityRegistered = n != 0;
            if (key == "click") run.click = static_cast<Click>(n);
        }
    }
}

} // namespace

bool LauncherRun::Saw(int progress) const { return std::find(bar.begin(), bar.end(), progress) != bar.end(); }

int LauncherRun::MaxProgress() const { return bar.empty() ? -1 : *std::max_element(bar.begin(), bar.end()); }

LauncherRun RunLauncher(const LauncherRunOptions& options)
{
    LauncherRun run;
    ::DeleteFileW(options.resultFile.c_str());
    ::SetEnvironmentVariableW(kRunResultVariable, options.resultFile.c_str());
    ::SetEnvironmentVariableW(kRunAppliedVariable, options.appliedLog.c_str());
    ::SetEnvironmentVariableW(kRunCancelOnVariable, std::wstring(options.cancelOn.begin(), options.cancelOn.end()).c_str());
    ::SetEnvironmentVariableW(kRunCancelAtVariable, std::to_wstring(options.cancelAt).c_str());
    ChildProcess child;
    const std::wstring program = options.program.empty() ? zv::ModulePath() : options.program;
    const std::string runSwitch = kLauncherRunSwitch;
    const std::wstring arguments = std::wstring(runSwitch.begin(), runSwitch.end()) + L" " + kLauncherSwitches;
    const ULONGLONG begin = ::GetTickCount64();
    // A start that fails is the harness's trouble, not the launcher's: try again a few times.
    bool started = false;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        if (attempt) ::Sleep(200);
        started = child.Start(program, arguments);
        run.startError = started ? 0 : ::GetLastError();
    }
    if (!started) return run;
    // A child still running at the limit is ended by ChildProcess's destructor.
    run.exitCode = child.Wait(kRunLimitMs);
    run.elapsedMs = ::GetTickCount64() - begin;
    ReadAccount(ReadFileBytes(options.resultFile), run);
    return run;
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
