// Copy actions of real files into real folders, and the copy progress routine.
#include "apply_test_support.h"

#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/transfer/apply_state.h"

#include <gtest/gtest.h>

using namespace zv::test;

namespace {

LARGE_INTEGER Bytes(long long n)
{
    LARGE_INTEGER v;
    v.QuadPart = n;
    return v;
}

DWORD CallRoutine(long long transferred, long long total)
{
    return Qv_CopyProgressRoutine(Bytes(total), Bytes(transferred), Bytes(total), Bytes(transferred), 1, CALLBACK_CHUNK_FINISHED,
                                  nullptr, nullptr, nullptr);
}

TEST(ApplyCopy, CreatesMissingFoldersAndCopiesTheContent)
{
    ScratchDir dir(L"copy-new");
    WriteFileBytes(dir.File(L"payload.bin"), "new content");
    const std::wstring dest = dir.File(L"a\\b\\c");
    LogLines lines(3);
    Applied a = CopyPayload(dir.File(L"payload.bin"), dest, L"placed.bin");
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(ReadFileBytes(dest + L"\\placed.bin"), "new content");
    EXPECT_EQ(lines.Count(L"Created destination directory"), 1);
}

// The folder exists: the creation error is logged, the copy still works, and its
// result is 0, not the error the folder creation left behind.
TEST(ApplyCopy, IntoAnExistingFolderLogsTheCreationErrorAndSucceedsWithZero)
{
    ScratchDir dir(L"copy-existing");
    WriteFileBytes(dir.File(L"payload.bin"), "fresh");
    WriteFileBytes(dir.File(L"placed.bin"), "older and longer");
    LogLines lines(3);
    Applied a = CopyPayload(dir.File(L"payload.bin"), dir.Path(), L"placed.bin");
    EXPECT_EQ(a.returned, kApplyCompleted);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(ReadFileBytes(dir.File(L"placed.bin")), "fresh");
    EXPECT_EQ(lines.Count(L"occurred while trying to create target directory"), 1);
    EXPECT_EQ(lines.Count(L"InstallItem:: end file to destination"), 1);
}

TEST(ApplyCopy, MissingSourceFailsWithTheWindowsError)
{
    ScratchDir dir(L"copy-missing");
    LogLines lines(1);
    Applied a = CopyPayload(dir.File(L"absent.bin"), dir.File(L"out"), L"placed.bin");
    EXPECT_EQ(a.returned, kApplyFailed);
    EXPECT_EQ(a.code, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(FileExists(dir.File(L"out\\placed.bin")));
    EXPECT_EQ(lines.Count(L"error copying file."), 1);
}

// A folder that is empty, relative or relative to the current drive would put the file
// wherever the process happens to be: the copy is refused and nothing is written.
TEST(ApplyCopy, FolderThatIsNotAFullPathIsRefused)
{
    ScratchDir dir(L"copy-notfull");
    WriteFileBytes(dir.File(L"payload.bin"), "content");
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
    // Run from inside the scratch folder: a relative copy that slipped through lands there.
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::wstring name = L"zvtest-notfull-" + std::to_wstring(::GetCurrentProcessId()) + L".bin";
    const wchar_t* folders[] = {L"", L"sub", L"sub\\deeper", L"\\", L"C:"};
    for (const wchar_t* folder : folders) {
        LogLines lines(1);
        Applied a = CopyPayload(dir.File(L"payload.bin"), folder, name);
        EXPECT_EQ(a.returned, kApplyFailed) << folder;
        EXPECT_EQ(a.code, ERROR_BAD_PATHNAME) << folder;
        EXPECT_EQ(lines.Count(L"is not a full path"), 1) << folder;
    }
    const bool leaked[] = {FileExists(dir.File(name)), FileExists(dir.File(L"sub\\" + name)),
                           FileExists(dir.File(L"sub\\deeper\\" + name)), FileExists(L"\\" + name),
                           FileExists(L"C:\\" + name)};
    ::DeleteFileW((L"\\" + name).c_str());
    ::DeleteFileW((L"C:\\" + name).c_str());
    ::SetCurrentDirectoryW(current);
    for (bool l : leaked) EXPECT_FALSE(l);
}

// The routine is driven directly: the copy call under Wine never calls it.
TEST(ApplyCopyProgress, ContinuesUntilTheCancelEventIsSignalledThenCancels)
{
    const std::wstring name = UniqueName(L"copycancel");
    zv::apply::PrepareCopyProgress(name);
    EXPECT_EQ(CallRoutine(10, 100), static_cast<DWORD>(PROGRESS_CONTINUE)); // no event yet

    zv::fw::CHandle cancel = ManualEvent(name);
    ASSERT_TRUE(cancel);
    LogLines lines(3);
    EXPECT_EQ(CallRoutine(20, 100), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(lines.Count(L"Qv_CopyProgressRoutine: Opened event"), 1);

    ::SetEvent(cancel.Get());
    EXPECT_EQ(CallRoutine(30, 100), static_cast<DWORD>(PROGRESS_CANCEL));
    auto cancelling = lines.With(L"canceling, bytes xferred: 30, delta bytes: 10");
    ASSERT_EQ(cancelling.size(), 1u);
    EXPECT_NE(cancelling[0].find(L"pct:   30.0"), std::wstring::npos);
}

TEST(ApplyCopyProgress, CopyCancelFlagCancelsAlsoWhenTheEventIsNoLongerSignalled)
{
    zv::apply::PrepareCopyProgress(UniqueName(L"copyflag"));
    EXPECT_EQ(CallRoutine(1, 2), static_cast<DWORD>(PROGRESS_CONTINUE));
    zv::apply::SetCopyCancel();
    EXPECT_EQ(CallRoutine(2, 4), static_cast<DWORD>(PROGRESS_CANCEL));
    zv::apply::PrepareCopyProgress(UniqueName(L"copyflag"));
    EXPECT_EQ(CallRoutine(3, 4), static_cast<DWORD>(PROGRESS_CONTINUE));
}

TEST(ApplyCopyProgress, EmptyFileReportsFullWithoutDividingByZero)
{
    zv::apply::PrepareCopyProgress(UniqueName(L"copyempty"));
    LogLines lines(6);
    EXPECT_EQ(CallRoutine(0, 0), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(lines.Count(L"pct:  100.0, bytes xferred: 0"), 1);
}

// A copy prepared under a new name no longer answers to the old event.
TEST(ApplyCopyProgress, AnEventOpenedForAnEarlierCopyDoesNotCancelTheNext)
{
    const std::wstring oldName = UniqueName(L"copyold");
    zv::fw::CHandle old = ManualEvent(oldName);
    zv::apply::PrepareCopyProgress(oldName);
    EXPECT_EQ(CallRoutine(1, 2), static_cast<DWORD>(PROGRESS_CONTINUE));
    ::SetEvent(old.Get());
    zv::apply::PrepareCopyProgress(UniqueName(L"copynew"));
    EXPECT_EQ(CallRoutine(1, 2), static_cast<DWORD>(PROGRESS_CONTINUE));
}

TEST(ApplyCopyProgress, CancelledApplySetsTheCopyCancelFlagAndTheNextApplyClearsIt)
{
    ScratchDir dir(L"copy-flag");
    const std::wstring cancelName = UniqueName(L"flagcancel");
    zv::fw::CHandle cancel = ManualEvent(cancelName, true);
    ASSERT_TRUE(cancel);
    Applied cancelled = RunPayload(Installer(), L"sleep 500 " + Quoted(dir.File(L"m")), cancelName);
    ASSERT_EQ(cancelled.returned, kApplyCancelled);
    EXPECT_TRUE(zv::apply::IsCopyCancelSet());

    WriteFileBytes(dir.File(L"src.bin"), "x");
    Applied next = CopyPayload(dir.File(L"src.bin"), dir.Path(), L"dst.bin");
    EXPECT_EQ(next.returned, kApplyCompleted);
    EXPECT_FALSE(zv::apply::IsCopyCancelSet());
}

} // namespace
