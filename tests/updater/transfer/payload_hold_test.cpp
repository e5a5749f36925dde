// The authenticated payload is the one that runs: held from authentication until the
// apply has started.
#include "apply_test_support.h"

#include "support/test_paths.h"
#include "updater/transfer/payload_hold.h"

#include <gtest/gtest.h>

using namespace zv::test;

namespace {

class PayloadHoldTest : public ::testing::Test {
protected:
    ScratchDir dir{L"hold"};
    std::wstring payload = dir.File(L"payload.exe");
    void SetUp() override { ASSERT_TRUE(::CopyFileW(Installer().c_str(), payload.c_str(), FALSE)); }
};

TEST_F(PayloadHoldTest, HeldPayloadCannotBeWrittenReplacedRenamedOrDeleted)
{
    zv::PayloadHold hold = zv::PayloadHold::Open(payload);
    ASSERT_TRUE(hold.IsHeld()) << hold.LastError();
    WriteFileBytes(dir.File(L"evil.exe"), "MZ not the payload");

    zv::fw::CHandle writer(::CreateFileW(payload.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer) << "opened for writing";
    EXPECT_FALSE(::CopyFileW(dir.File(L"evil.exe").c_str(), payload.c_str(), FALSE)) << "overwritten";
    EXPECT_FALSE(::DeleteFileW(payload.c_str())) << "deleted";
    EXPECT_FALSE(::MoveFileExW(payload.c_str(), dir.File(L"moved.exe").c_str(), 0)) << "renamed";
    EXPECT_FALSE(::MoveFileExW(dir.File(L"evil.exe").c_str(), payload.c_str(), MOVEFILE_REPLACE_EXISTING)) << "replaced";
    EXPECT_TRUE(hold.Holds(payload));
}

TEST_F(PayloadHoldTest, ApplyRunsTheHeldPayloadAndLetsGoOnceStarted)
{
    ZvLib_CApplyPayload request(42, payload, L"exit 1603", L"", L"", 1, L"", L"", 1, 0, nullptr);
    zv::PayloadHold hold = zv::PayloadHold::Open(payload);
    ASSERT_TRUE(hold.IsHeld());
    request.HoldPayload(std::move(hold));
    EXPECT_FALSE(::DeleteFileW(payload.c_str())) << "the request must keep holding it";

    Applied a = ApplyRequest(request);
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 1603);
    EXPECT_TRUE(::DeleteFileW(payload.c_str())) << "still held after the apply";
}

TEST_F(PayloadHoldTest, CopyOfAHeldPayloadWorks)
{
    ZvLib_CApplyPayload request(42, payload, L"", L"", L"", 0, dir.File(L"out"), L"placed.exe", 1, 0, nullptr);
    request.HoldPayload(zv::PayloadHold::Open(payload));
    Applied a = ApplyRequest(request);
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(ReadFileBytes(dir.File(L"out\\placed.exe")), ReadFileBytes(payload));
}

TEST_F(PayloadHoldTest, HoldOnAnotherFileIsRefusedAndNothingRuns)
{
    const std::wstring other = dir.File(L"other.exe");
    ASSERT_TRUE(::CopyFileW(payload.c_str(), other.c_str(), FALSE));
    const std::wstring marker = dir.File(L"ran.txt");
    ZvLib_CApplyPayload request(42, payload, L"sleep 0 " + Quoted(marker), L"", L"", 1, L"", L"", 1, 0, nullptr);
    request.HoldPayload(zv::PayloadHold::Open(other));
    Applied a = ApplyRequest(request);
    EXPECT_EQ(a.returned, kApplyNotStarted);
    EXPECT_EQ(a.code, -1);
    EXPECT_FALSE(FileExists(marker));
}

TEST_F(PayloadHoldTest, MissingFileIsNotHeld)
{
    zv::PayloadHold hold = zv::PayloadHold::Open(dir.File(L"absent.exe"));
    EXPECT_FALSE(hold.IsHeld());
    EXPECT_EQ(hold.LastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(hold.Holds(dir.File(L"absent.exe")));
}

} // namespace
