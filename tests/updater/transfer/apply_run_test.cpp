// Runs of real installer programs through the apply path.
#include "apply_test_support.h"

#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/transfer/apply_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace zv::test;

namespace {

struct ExitCase {
    int exitCode;
    bool rebootSignalled;
};

class ApplyRunExitCode : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ApplyRunExitCode, ReturnsCompletedWithTheInstallersCodeAndSignalsRebootFor3010)
{
    const ExitCase c = GetParam();
    // A listener made the event, as a host that wants to hear of reboots does.
    zv::fw::CHandle reboot = ManualEvent(kRebootRequiredEvent);
    ASSERT_TRUE(reboot);
    ::ResetEvent(reboot.Get());

    Applied a = RunPayload(Installer(), L"exit " + std::to_wstring(c.exitCode));
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, c.exitCode);
    EXPECT_EQ(::WaitForSingleObject(reboot.Get(), 0) == WAIT_OBJECT_0, c.rebootSignalled);
}

INSTANTIATE_TEST_SUITE_P(Codes, ApplyRunExitCode,
                         ::testing::Values(ExitCase{0, false}, ExitCase{1603, false}, ExitCase{3010, true}));

TEST(ApplyRun, RunnerNullRunsDirectlyAndSaysSo)
{
    LogLines lines(3);
    Applied a = RunPayload(Installer(), L"exit 0");
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(lines.Count(L"Runner fn supplied to ZvLib? 0."), 1);
    EXPECT_EQ(lines.Count(L"Running the payload directly"), 1);
}

// No shell error box may block the apply: a missing payload fails at once with the
// Windows error, and no dialog ever shows.
TEST(ApplyRun, MissingPayloadFailsWithTheWindowsErrorAndNoErrorBox)
{
    ScratchDir dir(L"apply-missing");
    std::atomic<bool> done{false};
    Applied a;
    std::thread apply([&] {
        a = RunPayload(dir.File(L"absent.exe"), L"");
        done = true;
    });
    bool sawBox = false;
    for (int i = 0; i < 500 && !done; ++i) {
        HWND box = ::FindWindowW(L"#32770", nullptr);
        if (box) {
            sawBox = true;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    apply.join();
    EXPECT_FALSE(sawBox);
    EXPECT_EQ(a.returned, kApplyFailed);
    EXPECT_EQ(a.code, ERROR_FILE_NOT_FOUND);
}

// The thread ends almost at once; the caller still waits on a valid handle every time.
TEST(ApplyRun, QuickFailuresAreReportedEveryTime)
{
    ScratchDir dir(L"apply-quick");
    for (int i = 0; i < 20; ++i) {
        Applied a = RunPayload(dir.File(L"absent.exe"), L"");
        ASSERT_EQ(a.returned, kApplyFailed) << "attempt " << i;
        ASSERT_EQ(a.code, ERROR_FILE_NOT_FOUND) << "attempt " << i;
    }
}

// With the error event's name taken by another kind of object, the thread's end is the
// only signal the caller gets: the failure must still be reported.
TEST(ApplyRun, FailureIsReportedWhenOnlyTheThreadHandleWakesTheCaller)
{
    // An apply thread of an earlier test may still hold the event open for a moment.
    zv::fw::CHandle squatter;
    for (int i = 0; i < 250 && !squatter; ++i) {
        squatter.Reset(::CreateMutexW(nullptr, FALSE, kApplyErrorEvent));
        if (!squatter) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(squatter);
    ScratchDir dir(L"apply-squat");
    Applied a = RunPayload(dir.File(L"absent.exe"), L"");
    EXPECT_EQ(a.returned, kApplyFailed);
    EXPECT_EQ(a.code, ERROR_FILE_NOT_FOUND);
}

TEST(ApplyRun, ErrorEventLeftSignalledFromBeforeDoesNotFailARun)
{
    zv::fw::CHandle stale = ManualEvent(kApplyErrorEvent, true);
    ASSERT_TRUE(stale);
    Applied a = RunPayload(Installer(), L"exit 0");
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
}

TEST(ApplyRun, ErrorEventSetByAnotherDuringTheRunDoesNotFailIt)
{
    ScratchDir dir(L"apply-foreign");
    const std::wstring marker = dir.File(L"ran.txt");
    zv::fw::CHandle other = ManualEvent(kApplyErrorEvent);
    ASSERT_TRUE(other);
    std::thread meddler([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::SetEvent(other.Get());
    });
    Applied a = RunPayload(Installer(), L"sleep 1000 " + Quoted(marker));
    meddler.join();
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_TRUE(FileExists(marker)) << "returned before the installer ended";
}

TEST(ApplyRun, HandOffInstallerIsWaitedForUntilItsEndingEvent)
{
    ScratchDir dir(L"apply-handoff");
    const std::wstring marker = dir.File(L"worker-done.txt");
    LogLines lines(3);
    Applied a = RunPayload(Installer(), L"handoff 1500 " + Quoted(marker));
    EXPECT_EQ(a.returned, kApplyCompleted);
    // 90: the installer found no events to signal when it started.
    EXPECT_EQ(a.code, 0);
    EXPECT_TRUE(FileExists(marker)) << "returned before the second process finished";
    EXPECT_EQ(lines.Count(L"An asynch payload started."), 1);
}

TEST(ApplyRun, SignalledPairLeftFromAnEarlierRunDoesNotEndTheWait)
{
    ScratchDir dir(L"apply-stalepair");
    const std::wstring marker = dir.File(L"worker-done.txt");
    zv::fw::CHandle starting = ManualEvent(kAsyncPayloadStartingEvent, true);
    zv::fw::CHandle ending = ManualEvent(kAsyncPayloadEndingEvent, true);
    ASSERT_TRUE(starting && ending);
    Applied a = RunPayload(Installer(), L"handoff 1500 " + Quoted(marker));
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_TRUE(FileExists(marker)) << "a stale ending event ended the wait";
}

TEST(ApplyRun, CancelReturnsAtOnceAndTheNextApplyWaitsForTheCancelledOne)
{
    ScratchDir dir(L"apply-cancel");
    const std::wstring marker = dir.File(L"first-done.txt");
    const std::wstring cancelName = UniqueName(L"cancel");
    zv::fw::CHandle cancel = ManualEvent(cancelName);
    ASSERT_TRUE(cancel);
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::SetEvent(cancel.Get());
    });
    Applied first = RunPayload(Installer(), L"sleep 2500 " + Quoted(marker), cancelName);
    user.join();
    EXPECT_EQ(first.returned, kApplyCancelled);
    EXPECT_FALSE(FileExists(marker)) << "the cancel was not seen before the installer ended";

    // The next apply may not start while the cancelled installer still runs.
    WriteFileBytes(dir.File(L"src.bin"), "payload");
    Applied second = CopyPayload(dir.File(L"src.bin"), dir.Path(), L"copied.bin");
    EXPECT_TRUE(FileExists(marker)) << "the next apply ran beside the cancelled one";
    EXPECT_EQ(second.returned, kApplyCompleted);
    EXPECT_EQ(second.code, 0);
}

TEST(ApplyRun, OnlyOneApplyRunsAtATime)
{
    ScratchDir dir(L"apply-serial");
    const std::wstring lock = dir.File(L"lock");
    Applied a, b;
    std::thread first([&] { a = RunPayload(Installer(), L"exclusive 700 " + Quoted(lock)); });
    std::thread second([&] { b = RunPayload(Installer(), L"exclusive 700 " + Quoted(lock)); });
    first.join();
    second.join();
    // 77: the installers overlapped.
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(b.returned, kApplyCompleted);
    EXPECT_EQ(b.code, 0);
}

TEST(ApplyRun, ResultOfAnEarlierApplyDoesNotReachTheNext)
{
    Applied failedInstall = RunPayload(Installer(), L"exit 1603");
    ASSERT_EQ(failedInstall.code, 1603);
    ScratchDir dir(L"apply-reset");
    WriteFileBytes(dir.File(L"src.bin"), "payload");
    Applied copy = CopyPayload(dir.File(L"src.bin"), dir.File(L"out"), L"copied.bin");
    EXPECT_EQ(copy.returned, kApplyCompleted);
    EXPECT_EQ(copy.code, 0);
}

TEST(ApplyRun, PathWithAPartTooLongFailsCleanlyWithoutRunning)
{
    LogLines lines(1);
    Applied a = RunPayload(L"C:\\temp\\" + std::wstring(300, L'a') + L".exe", L"");
    EXPECT_EQ(a.returned, kApplyNotStarted);
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(lines.Count(L"a part of the payload path is too long"), 1);
}

} // namespace
