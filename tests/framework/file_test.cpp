#include "framework/file.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(CFile, CreateWriteSeekRead)
{
    zvtest::ScratchDir dir(L"cfile");
    std::wstring path = dir.File(L"a.bin");
    fw::CFile f;
    ASSERT_TRUE(f.Open(path, fw::CFile::modeCreate | fw::CFile::modeReadWrite));
    f.Write("hello world", 11);
    EXPECT_EQ(f.GetLength(), 11u);
    EXPECT_EQ(f.Seek(6, fw::CFile::begin), 6u);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "world");
    f.SetLength(5);
    f.Close();
    EXPECT_EQ(zvtest::ReadFileBytes(path), "hello");

    // modeNoTruncate keeps what is there.
    ASSERT_TRUE(f.Open(path, fw::CFile::modeCreate | fw::CFile::modeNoTruncate | fw::CFile::modeWrite));
    EXPECT_EQ(f.SeekToEnd(), 5u);
    f.Write("!", 1);
    f.Close();
    EXPECT_EQ(zvtest::ReadFileBytes(path), "hello!");
}

TEST(CFile, OpenFailuresFillTheError)
{
    zvtest::ScratchDir dir(L"cfile-err");
    struct Case {
        std::wstring path;
        int cause;
        LONG os;
    } cases[] = {
        {dir.File(L"missing.bin"), fw::CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {dir.File(L"no\\such\\dir.bin"), fw::CFileException::badPath, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        fw::CFile f;
        fw::CFileException e;
        EXPECT_FALSE(f.Open(c.path, fw::CFile::modeRead, &e));
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_lOsError, c.os);
        EXPECT_EQ(e.m_strFileName, c.path);
    }
}

TEST(CFile, SharingFlagsAreHonoured)
{
    zvtest::ScratchDir dir(L"cfile-share");
    std::wstring path = dir.File(L"s.bin");
    zvtest::WriteFileBytes(path, "x");
    fw::CFile first;
    ASSERT_TRUE(first.Open(path, fw::CFile::modeRead | fw::CFile::shareExclusive));
    fw::CFile second;
    fw::CFileException e;
    EXPECT_FALSE(second.Open(path, fw::CFile::modeRead | fw::CFile::shareDenyNone, &e));
    EXPECT_EQ(e.m_cause, fw::CFileException::sharingViolation);
    first.Close();
    EXPECT_TRUE(second.Open(path, fw::CFile::modeRead | fw::CFile::shareDenyNone));
}

TEST(CFile, StatusAndRemove)
{
    zvtest::ScratchDir dir(L"cfile-status");
    std::wstring path = dir.File(L"st.bin");
    zvtest::WriteFileBytes(path, "12345");
    fw::CFileStatus st;
    ASSERT_TRUE(fw::CFile::GetStatus(path, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_TRUE(fw::CFile::SetAttributes(path, fw::CFile::readOnly));
    EXPECT_THROW(fw::CFile::Remove(path), fw::CFileException);
    EXPECT_TRUE(fw::CFile::SetAttributes(path, fw::CFile::normal));
    EXPECT_NO_THROW(fw::CFile::Remove(path));
    EXPECT_FALSE(fw::CFile::GetStatus(path, st));
}

} // namespace
