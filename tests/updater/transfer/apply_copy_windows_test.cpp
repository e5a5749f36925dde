// Copy behaviour that Wine's CopyFileExW cannot show (it never calls the progress
// routine and always clears the last error): the copy call is replaced by ones that
// behave as Windows may, around the real copy.
#include "apply_test_support.h"

#include "support/test_paths.h"
#include "updater/transfer/apply_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace zv::test;

namespace {

class CopyCallSwap {
public:
    explicit CopyCallSwap(zv::apply::CopyFileFn fn) : m_saved(zv::apply::CopyFileCall()) { zv::apply::CopyFileCall() = fn; }
    ~CopyCallSwap() { zv::apply::CopyFileCall() = m_saved; }

private:
    zv::apply::CopyFileFn m_saved;
};

// Succeeds and leaves an unrelated last error behind, as Windows' copy may.
BOOL WINAPI CopyLeavingLastError(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel, DWORD flags)
{
    BOOL ok = ::CopyFileExW(from, to, routine, data, cancel, flags);
    if (ok) ::SetLastError(ERROR_ALREADY_EXISTS);
    return ok;
}

std::atomic<int> g_chunks{0};
constexpr int kChunks = 200;

// A slow copy in chunks that checks the cancel flag and asks the progress routine after
// each, as Windows does.
BOOL WINAPI ChunkedCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel, DWORD)
{
    LARGE_INTEGER total, done;
    total.QuadPart = 64LL * kChunks;
    for (int i = 1; i <= kChunks; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (cancel && *cancel) {
            ::SetLastError(ERROR_REQUEST_ABORTED);
            return FALSE;
        }
        done.QuadPart = 64LL * i;
        ++g_chunks;
        if (routine(total, done, total, done, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, data) == PROGRESS_CANCEL) {
            ::SetLastError(ERROR_REQUEST_ABORTED);
            return FALSE;
        }
    }
    return ::CopyFileW(from, to, FALSE);
}

TEST(ApplyCopyAsOnWindows, SuccessfulCopyHasResultZeroWhateverTheLastError)
{
    CopyCallSwap swap(&CopyLeavingLastError);
    ScratchDir dir(L"copy-lasterror");
    WriteFileBytes(dir.File(L"src.bin"), "content");
    Applied a = CopyPayload(dir.File(L"src.bin"), dir.File(L"out"), L"dst.bin");
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(ReadFileBytes(dir.File(L"out\\dst.bin")), "content");
}

TEST(ApplyCopyAsOnWindows, CancelDuringALongCopyReturnsAtOnceAndStopsTheCopy)
{
    CopyCallSwap swap(&ChunkedCopy);
    g_chunks = 0;
    ScratchDir dir(L"copy-cancel");
    WriteFileBytes(dir.File(L"src.bin"), "content");
    const std::wstring cancelName = UniqueName(L"copycancel");
    zv::fw::CHandle cancel = ManualEvent(cancelName);
    ASSERT_TRUE(cancel);
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::SetEvent(cancel.Get());
    });
    ZvLib_CApplyPayload request(42, dir.File(L"src.bin"), L"", L"", L"", 0, dir.File(L"out"), L"dst.bin", 1, 0, nullptr);
    Applied a = ApplyRequest(request, cancelName);
    user.join();
    EXPECT_EQ(a.returned, kApplyCancelled);
    EXPECT_LT(g_chunks.load(), kChunks);

    // The next apply waits for the cancelled copy, which ends at its next chunk. The
    // event is cleared first, as an auto-reset one is by the caller's wait.
    ::ResetEvent(cancel.Get());
    Applied next = RunPayload(Installer(), L"exit 0");
    EXPECT_EQ(next.returned, kApplyCompleted);
    EXPECT_LT(g_chunks.load(), kChunks) << "the copy ran on after the cancel";
    EXPECT_FALSE(FileExists(dir.File(L"out\\dst.bin")));
}

} // namespace
