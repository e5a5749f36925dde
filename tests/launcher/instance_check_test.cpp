#include "launcher/instance_check.h"

#include "support/child_process.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using zv::fw::CHandle;
using zv::launcher::CQuorInstanceCheck;
using zv::test::ChildProcess;

// The named objects through which the test starts probes together and ends the owner.
struct StartLine {
    explicit StartLine(const std::wstring& tag)
        : started(::CreateSemaphoreW(nullptr, 0, 100, (L"zvtest_" + tag + L"_started").c_str())),
          go(::CreateEventW(nullptr, TRUE, FALSE, (L"zvtest_" + tag + L"_go").c_str())),
          release(::CreateEventW(nullptr, TRUE, FALSE, (L"zvtest_" + tag + L"_release").c_str()))
    {
    }
    bool AwaitStarted(int count)
    {
        for (int i = 0; i < count; ++i)
            if (::WaitForSingleObject(started.Get(), 30000) != WAIT_OBJECT_0) return false;
        return true;
    }
    CHandle started, go, release;
};

std::wstring Tag(const wchar_t* what)
{
    return std::wstring(what) + L"_" + std::to_wstring(::GetCurrentProcessId());
}

TEST(CQuorInstanceCheck, MappingNameFollowsTheExecutableBaseName)
{
    EXPECT_EQ(CQuorInstanceCheck::AppNameFromModulePath(LR"(C:\Apps\VeskLaunchTandemixApp.exe)"),
              L"VeskLaunchTandemixApp");
    EXPECT_EQ(CQuorInstanceCheck::AppNameFromModulePath(LR"(C:\a.b\Copy.of.App.exe)"), L"Copy.of.App");
    EXPECT_EQ(CQuorInstanceCheck(L"VeskLaunchTandemixApp").MappingName(),
              L"CQuorInstanceCheck_MMF_VeskLaunchTandemixApp");
    // This test program's own name.
    EXPECT_EQ(CQuorInstanceCheck().MappingName(), L"CQuorInstanceCheck_MMF_launcher_instance_test");
}

TEST(CQuorInstanceCheck, TwentySimultaneousStartsLeaveExactlyOneOwner)
{
    const std::wstring tag = Tag(L"twenty");
    StartLine line(tag);
    const int kStarts = 20;
    std::vector<std::unique_ptr<ChildProcess>> probes;
    for (int i = 0; i < kStarts; ++i) {
        probes.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(probes.back()->Start(zv::test::SiblingProgram(L"instance_probe.exe"), tag));
    }
    ASSERT_TRUE(line.AwaitStarted(kStarts));
    ::SetEvent(line.go.Get());

    // The losers exit on their own; the owner holds the mapping until released.
    int owners = 0, others = 0, lostAtomicCreate = 0;
    std::vector<ChildProcess*> pending;
    for (auto& p : probes) pending.push_back(p.get());
    for (int round = 0; round < 2; ++round) {
        std::vector<ChildProcess*> still;
        for (ChildProcess* p : pending) {
            DWORD code = p->Wait(round == 0 ? 5000 : 30000);
            if (code == STILL_ACTIVE) {
                still.push_back(p);
                continue;
            }
            if (code == 10) ++owners;
            else if (code == 20 || code == 21) ++others;
            else ADD_FAILURE() << "unexpected exit code " << code;
            if (code == 21) ++lostAtomicCreate;
        }
        pending = still;
        if (round == 0) {
            EXPECT_EQ(pending.size(), 1u) << "exactly one start still holds the mapping";
            ::SetEvent(line.release.Get());
        }
    }
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(owners, 1);
    EXPECT_EQ(others, kStarts - 1);
    RecordProperty("lost_atomic_create", lostAtomicCreate);
}

TEST(CQuorInstanceCheck, CopyUnderAnotherNameIsNotBlockedAndTheMappingEndsWithItsOwner)
{
    zv::test::ScratchDir dir(L"instance_copy");
    const std::wstring copy = dir.File(L"instance_probe_renamed.exe");
    ASSERT_TRUE(::CopyFileW(zv::test::SiblingProgram(L"instance_probe.exe").c_str(), copy.c_str(), FALSE));

    const std::wstring tag = Tag(L"copy");
    StartLine line(tag);
    ::SetEvent(line.go.Get());
    ChildProcess owner;
    ASSERT_TRUE(owner.Start(zv::test::SiblingProgram(L"instance_probe.exe"), tag));
    ASSERT_TRUE(line.AwaitStarted(1));
    // Wait until the owner holds its mapping. A probe keeps the mapping open while it
    // lives, so every look uses a guard of its own.
    auto running = [] { return CQuorInstanceCheck(L"instance_probe").IsAnotherInstanceRunning(); };
    for (int i = 0; i < 500 && !running(); ++i) ::Sleep(10);
    ASSERT_TRUE(running());

    ChildProcess second;
    ASSERT_TRUE(second.Start(zv::test::SiblingProgram(L"instance_probe.exe"), tag));
    EXPECT_EQ(second.Wait(), 20u) << "a second start under the usual name is blocked";

    ChildProcess renamed;
    ASSERT_TRUE(renamed.Start(copy, tag));
    ASSERT_TRUE(line.AwaitStarted(2));
    ::SetEvent(line.release.Get());
    EXPECT_EQ(renamed.Wait(), 10u) << "the renamed copy owns a mapping of its own";
    EXPECT_EQ(owner.Wait(), 10u);

    // The owner is gone, so is its mapping: the next start is first again.
    EXPECT_FALSE(running());
    ChildProcess next;
    ASSERT_TRUE(next.Start(zv::test::SiblingProgram(L"instance_probe.exe"), tag));
    EXPECT_EQ(next.Wait(), 10u);
}

TEST(CQuorInstanceCheck, InProcessClaimIsAtomicAgainstASecondGuard)
{
    const std::wstring name = Tag(L"inproc");
    CQuorInstanceCheck first(name);
    CQuorInstanceCheck second(name);
    EXPECT_FALSE(first.IsAnotherInstanceRunning());
    EXPECT_EQ(first.ClaimFirstInstance(), zv::launcher::InstanceClaim::First);
    // The second guard sees it, and its claim loses.
    EXPECT_TRUE(second.IsAnotherInstanceRunning());
    EXPECT_EQ(second.ClaimFirstInstance(), zv::launcher::InstanceClaim::AlreadyRunning);
    EXPECT_FALSE(second.TrackFirstInstance());
}

} // namespace
