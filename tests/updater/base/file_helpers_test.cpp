#include "updater/base/win32/file_helpers.h"

#include "framework/handle.h"
#include "support/child_process.h"
#include "support/debug_stream_capture.h"
#include "support/test_paths.h"
#include "updater/base/log.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override
    {
        zv::Log().Enable();
        zv::Log().SetLevel(4);
    }
    void TearDown() override { zv::Log().SetLevel(0); }
    std::vector<std::string> Lines()
    {
        capture.Drain();
        auto t = capture.Texts();
        capture.Clear();
        return t;
    }

    zv::test::DebugStreamCapture capture;
    zv::test::ScratchDir dir{L"file-helpers"};
};

TEST_F(FileHelpers, DeletesHiddenReadOnlyFile)
{
    std::wstring path = dir.File(L"payload.exe");
    zv::test::WriteFileBytes(path, "MZ");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_NO_THROW(DeleteHiddenReadonlyFile(path));
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    std::string expected = "[Info2] ZV: ----- DeleteHiddenReadonlyFile: File deleted: ";
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
}

TEST_F(FileHelpers, DeletingMissingFileLogsAndRaises)
{
    std::wstring path = dir.File(L"missing.bin");
    try {
        DeleteHiddenReadonlyFile(path);
        FAIL() << "no exception";
    } catch (const zv::fw::CFileException& e) {
        EXPECT_EQ(e.m_cause, zv::fw::CFileException::fileNotFound);
        EXPECT_EQ(e.m_lOsError, ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(e.m_strFileName, path);
    }
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("[Info2] ZV: ----- DeleteHiddenReadonlyFile: Cannot retrieve CFileStatus. Unable to remove "
                             "hidden and readOnly attributes if any on file: ",
                             0),
              0u);
    EXPECT_EQ(lines[1].rfind("[Info2] ZV: ----- DeleteHiddenReadonlyFile: CFileException error (cause: 2, OS Error: 2) on file: ", 0),
              0u);
}

TEST_F(FileHelpers, DeletingAnOpenFileRaisesAndKeepsIt)
{
    std::wstring path = dir.File(L"busy.bin");
    zv::test::WriteFileBytes(path, "data");
    zv::fw::CHandle open(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    EXPECT_THROW(DeleteHiddenReadonlyFile(path), zv::fw::CFileException);
    open.Reset();
    EXPECT_EQ(zv::test::ReadFileBytes(path), "data");
}

TEST_F(FileHelpers, RemoveStatusClearsOnlyHiddenAndReadOnly)
{
    std::wstring path = dir.File(L"attrs.bin");
    zv::test::WriteFileBytes(path, "x");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    RemoveHiddenReadonlyFileStatus(path);
    DWORD attrs = ::GetFileAttributesW(path.c_str());
    EXPECT_EQ(attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_TRUE(zv::test::FileExists(path));
    Lines();

    RemoveHiddenReadonlyFileStatus(dir.File(L"nope.bin"));
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("[Debu1] ZV: ----- RemoveHiddenReadonlyFileStatus: Cannot retrieve CFileStatus.", 0), 0u);
}

TEST_F(FileHelpers, OpenFileWithRetryWaitsForAnotherProcessToLetGo)
{
    std::wstring path = dir.File(L"locked.bin");
    zv::test::WriteFileBytes(path, "locked");
    std::wstring readyName = L"Local\\zvtest.locker." + std::to_wstring(::GetCurrentProcessId());
    zv::fw::CHandle ready(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    zv::test::ChildProcess locker;
    // Held for 1.5 s from the first attempt: attempts at 0 s and 1 s fail, the third at 2 s succeeds.
    ASSERT_TRUE(locker.Start(zv::test::SiblingProgram(L"file_locker.exe"), L"\"" + path + L"\" 1500 " + readyName));
    ASSERT_EQ(::WaitForSingleObject(ready.Get(), 10000), WAIT_OBJECT_0);

    zv::fw::CFile file;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFileWithRetry(file, path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyNone), 1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(file.IsOpen());
    EXPECT_GE(seconds, 1.9) << "opened before the second pause ended";
    EXPECT_LT(seconds, 2.9) << "needed more than three attempts";
    EXPECT_EQ(locker.Wait(), 0u);
}

TEST_F(FileHelpers, OpenFileWithRetryGivesUpAfterFiveAttempts)
{
    zv::fw::CFile file;
    zv::fw::CFileException error;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenFileWithRetry(file, dir.File(L"absent.bin"), zv::fw::CFile::modeRead, &error), 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(error.m_cause, zv::fw::CFileException::fileNotFound);
    EXPECT_GE(seconds, 3.9); // four pauses, none after the fifth attempt
    EXPECT_LT(seconds, 4.9);
}

} // namespace
