// The runner path: what a host-supplied runner is given and how its answers are read.
#include "apply_test_support.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

using namespace zv::test;

namespace {

struct RunnerScript {
    DWORD returned = 0;
    DWORD err = 0;
    bool startProcess = false; // start the installer with "exit 3010" and hand it back
    int calls = 0;
    ZvLib_CRunnerWorkItem seen;
};
RunnerScript g_script;

DWORD ScriptedRunner(const ZvLib_CRunnerWorkItem& item, DWORD* err, HANDLE* process, int reserved1, int reserved2)
{
    ++g_script.calls;
    g_script.seen = item;
    *err = g_script.err;
    if (g_script.startProcess) {
        std::wstring commandLine = Quoted(item.filePath) + L" exit 3010";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(item.filePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            zv::fw::CHandle(pi.hThread).Reset();
            *process = pi.hProcess;
        }
    }
    return g_script.returned + static_cast<DWORD>(reserved1 + reserved2);
}

struct RunnerCase {
    const char* what;
    int isRun;
    DWORD returned;
    DWORD err;
    bool startProcess;
    int expectReturned;
    int expectCode;
};

class ApplyRunner : public ::testing::TestWithParam<RunnerCase> {};

TEST_P(ApplyRunner, AnswerDecidesTheOutcome)
{
    const RunnerCase c = GetParam();
    ScratchDir dir(L"runner");
    WriteFileBytes(dir.File(L"src.bin"), "x");
    g_script = RunnerScript{c.returned, c.err, c.startProcess, 0, {}};
    // A run payload given "exit 1603" shows whether it was run directly.
    ZvLib_CApplyPayload request(42, c.isRun ? Installer() : dir.File(L"src.bin"), c.isRun ? L"exit 1603" : L"", L"s.sig",
                                L"k.pub", c.isRun, dir.File(L"dest"), L"dst.bin", 1, 1, &ScriptedRunner);
    const std::wstring cancelName = UniqueName(L"runnercancel");
    Applied a = ApplyRequest(request, cancelName);
    EXPECT_EQ(g_script.calls, 1);
    EXPECT_EQ(a.returned, c.expectReturned);
    EXPECT_EQ(a.code, c.expectCode);

    const ZvLib_CRunnerWorkItem& item = g_script.seen;
    EXPECT_EQ(item.cancelEventName, cancelName);
    EXPECT_EQ(item.reserved, L"");
    EXPECT_EQ(item.action, c.isRun ? kActionRun : kActionCopy);
    EXPECT_EQ(item.destDir, dir.File(L"dest"));
    EXPECT_EQ(item.destName, L"dst.bin");
    EXPECT_EQ(item.sigPath, L"s.sig");
    EXPECT_EQ(item.publicKeyPath, L"k.pub");
    EXPECT_EQ(item.arguments, c.isRun ? L"exit 1603" : L"");
    // The runner copies nothing here, so nothing may have been copied directly.
    EXPECT_FALSE(FileExists(dir.File(L"dest\\dst.bin")));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ApplyRunner,
    ::testing::Values(RunnerCase{"run started by the runner", 1, 0, 0, true, kApplyCompleted, 3010},
                      RunnerCase{"run, runner cannot act: run directly", 1, 55, 5, false, kApplyCompleted, 1603},
                      RunnerCase{"run, authentication refused", 1, 23, 0, false, kApplyFailed, 23},
                      RunnerCase{"run, general error with its code", 1, 7, 1234, false, kApplyFailed, 1234},
                      RunnerCase{"run, success without a process", 1, 0, 0, false, kApplyFailed, 0},
                      RunnerCase{"copy done by the runner", 0, 0, 0, false, kApplyCompleted, 0},
                      RunnerCase{"copy, runner cannot act", 0, 55, 5, false, kApplyFailed, 5},
                      RunnerCase{"copy, authentication refused", 0, 23, 8, false, kApplyFailed, 8}),
    [](const ::testing::TestParamInfo<RunnerCase>& p) { return "case" + std::to_string(p.index); });

TEST(ApplyRunnerNotAsked, WithoutElevationTheRunnerIsNotCalled)
{
    g_script = RunnerScript{};
    ZvLib_CApplyPayload request(42, Installer(), L"exit 0", L"", L"", 1, L"", L"", 1, 0, &ScriptedRunner);
    Applied a = ApplyRequest(request);
    EXPECT_EQ(g_script.calls, 0);
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
}

} // namespace
