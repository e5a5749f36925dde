#include "framework/file.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(CFile, CreateWriteSeekRead)
{
    zv::test::ScratchDir dir(L"cfile");
    std::wstring path = dir.File(L"a.bin");
    zv::fw::CFile f;
    ASSERT_TRUE(f.Open(path, zv::fw::CFile::modeCreate | zv::fw::CFile::modeReadWrite));
    f.Write("hello world", 11);
    EXPECT_EQ(f.GetLength(), 11u);
    EXPECT_EQ(f.Seek(6, zv::fw::CFile::begin), 6u);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "world");
    f.SetLength(5);
    f.Close();
    EXPECT_EQ(zv::test::ReadFileBytes(path), "hello");

    // modeNoTruncate keeps what is there.
    ASSERT_TRUE(f.Open(path, zv::fw::CFile::modeCreate | zv::fw::CFile::modeNoTruncate | zv::fw::CFile::modeWrite));
    EXPECT_EQ(f.SeekToEnd(), 5u);
    f.Write("!", 1);
    f.Close();
    EXPECT_EQ(zv::test::ReadFileBytes(path), "hello!");
}

TEST(CFile, OpenFailuresFillTheError)
{
    zv::test::ScratchDir dir(L"cfile-err");
    struct Case {
        std::wstring path;
        int cause;
        LONG os;
    } cases[] = {
        {dir.File(L"missing.bin"), zv::fw::CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {dir.File(L"no\\such\\dir.bin"), zv::fw::CFileException::badPath, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        zv::fw::CFile f;
        zv::fw::CFileException e;
        EXPECT_FALSE(f.Open(c.path, zv::fw::CFile::modeRead, &e));
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_lOsError, c.os);
        EXPECT_EQ(e.m_strFileName, c.path);
    }
}

TEST(CFile, SharingFlagsAreHonoured)
{
    zv::test::ScratchDir dir(L"cfile-share");
    std::wstring path = dir.File(L"s.bin");
    zv::test::WriteFileBytes(path, "x");
    zv::fw::CFile first;
    ASSERT_TRUE(first.Open(path, zv::fw::CFile::modeRead | zv::fw::CFile::shareExclusive));
    zv::fw::CFile second;
    zv::fw::CFileException e;
    EXPECT_FALSE(second.Open(path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyNone, &e));
    EXPECT_EQ(e.m_cause, zv::fw::CFileException::sharingViolation);
    first.Close();
    EXPECT_TRUE(second.Open(path, zv::fw::CFile::modeRead | zv::fw::CFile::shareDenyNone));
}

TEST(CFile, StatusAndRemove)
{
    zv::test::ScratchDir dir(L"cfile-status");
    std::wstring path = dir.File(L"st.bin");
    zv::test::WriteFileBytes(path, "12345");
    zv::fw::CFileStatus st;
    ASSERT_TRUE(zv::fw::CFile::GetStatus(path, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_TRUE(zv::fw::CFile::SetAttributes(path, zv::fw::CFile::readOnly));
    EXPECT_THROW(zv::fw::CFile::Remove(path), zv::fw::CFileException);
    EXPECT_TRUE(zv::fw::CFile::SetAttributes(path, zv::fw::CFile::normal));
    EXPECT_NO_THROW(zv::fw::CFile::Remove(path));
    EXPECT_FALSE(zv::fw::CFile::GetStatus(path, st));
}

} // namespace
