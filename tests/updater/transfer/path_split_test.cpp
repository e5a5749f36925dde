#include "updater/transfer/path_split.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    std::wstring path;
    bool ok;
    std::wstring drive, dir, name, ext;
};

class PathSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PathSplit, SplitsWithinBoundsOrFailsWithEveryPartEmpty)
{
    const SplitCase& c = GetParam();
    zv::PathParts parts;
    parts.ext = L"left over";
    EXPECT_EQ(zv::SplitPathBounded(c.path, parts), c.ok);
    EXPECT_EQ(parts.drive, c.drive);
    EXPECT_EQ(parts.dir, c.dir);
    EXPECT_EQ(parts.name, c.name);
    EXPECT_EQ(parts.ext, c.ext);
}

const std::wstring k255(255, L'n');
const std::wstring k256(256, L'n');

INSTANTIATE_TEST_SUITE_P(
    Table, PathSplit,
    ::testing::Values(SplitCase{L"C:\\Temp\\setup.exe", true, L"C:", L"\\Temp\\", L"setup", L".exe"},
                      SplitCase{L"C:/a/b.c/name.tar.gz", true, L"C:", L"/a/b.c/", L"name.tar", L".gz"},
                      SplitCase{L"noext", true, L"", L"", L"noext", L""},
                      SplitCase{L"dir.d\\file", true, L"", L"dir.d\\", L"file", L""},
                      SplitCase{L"", true, L"", L"", L"", L""},
                      SplitCase{L"C:\\" + k255.substr(2) + L"\\x", true, L"C:", L"\\" + k255.substr(2) + L"\\", L"x", L""},
                      SplitCase{L"C:\\" + k255 + L"\\x.exe", false, L"", L"", L"", L""},
                      SplitCase{L"C:\\" + k255 + L".exe", true, L"C:", L"\\", k255, L".exe"},
                      SplitCase{L"C:\\" + k256 + L".exe", false, L"", L"", L"", L""},
                      SplitCase{L"C:\\a." + k255, false, L"", L"", L"", L""}));

struct FullPathCase {
    const wchar_t* path;
    bool full;
};

class FullPath : public ::testing::TestWithParam<FullPathCase> {};

TEST_P(FullPath, OnlyPathsIndependentOfTheCurrentFolderAndDrive)
{
    EXPECT_EQ(zv::IsFullPath(GetParam().path), GetParam().full) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Table, FullPath,
                         ::testing::Values(FullPathCase{L"C:\\Program Files\\x", true}, FullPathCase{L"c:/x", true},
                                           FullPathCase{L"Z:\\", true}, FullPathCase{L"\\\\server\\share", true},
                                           FullPathCase{L"//server/share", true}, FullPathCase{L"", false},
                                           FullPathCase{L"C:", false}, FullPathCase{L"C:relative", false},
                                           FullPathCase{L"\\rooted", false}, FullPathCase{L"relative\\dir", false},
                                           FullPathCase{L"\\\\", false}, FullPathCase{L"\\\\\\x", false},
                                           FullPathCase{L"1:\\x", false}));

} // namespace
