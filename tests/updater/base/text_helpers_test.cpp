#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(QuoteIfNeeded, QuotesOnlyWhereMissing)
{
    struct Case {
        std::wstring in, out;
        bool changed;
    } cases[] = {
        {L"", L"", false},
        {L"a", L"a", false},
        {L"\"", L"\"", false},
        {L"ab", L"\"ab\"", true},
        {L"\"ab\"", L"\"ab\"", false},
        {L"\"ab", L"\"ab\"", true},
        {L"ab\"", L"\"ab\"", true},
        {L"C:\\Program Files\\x.exe", L"\"C:\\Program Files\\x.exe\"", true},
    };
    for (const auto& c : cases) {
        std::wstring t = c.in;
        EXPECT_EQ(QuoteIfNeeded(t), c.changed) << zv::ToUtf8(c.in);
        EXPECT_EQ(t, c.out) << zv::ToUtf8(c.in);
    }
}

TEST(ParseIntList, SplitsTrimsAndReadsLikeWcstol)
{
    struct Case {
        std::wstring text;
        wchar_t sep;
        std::vector<int> out;
    } cases[] = {
        {L"3, 4,  x  ", L',', {3, 4, 0}},
        {L"", L',', {}},
        {L" \t\r\n", L',', {}},
        {L"7", L',', {7}},
        {L"1,2,", L',', {1, 2}},
        {L",5", L',', {0, 5}},
        {L"1,,2", L',', {1, 0, 2}},
        {L" -12 ,+8,9z,  0x10", L',', {-12, 8, 9, 0}},
        {L"1;2;3", L';', {1, 2, 3}},
        {L"1 2 3", L' ', {1, 2, 3}},          // blank separator: not trimmed away inside
        {L"99999999999,-99999999999", L',', {2147483647, -2147483647 - 1}},
    };
    for (const auto& c : cases) {
        std::vector<int> out{42};
        ParseIntList(c.text, c.sep, out);
        EXPECT_EQ(out, c.out) << zv::ToUtf8(c.text);
    }
}

TEST(GetDirectoryPart, CutsAtLastForwardSlashElseBackslash)
{
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"C:\\dir\\sub\\file.txt", L"C:\\dir\\sub"},
        {L"C:\\dir/sub\\file.txt", L"C:\\dir"}, // a forward slash wins even before backslashes
        {L"http://host/a/b", L"http://host/a"},
        {L"file.txt", L"file.txt"},
        {L"", L""},
        {L"\\", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDirectoryPart(c.in), c.out) << zv::ToUtf8(c.in);
}

TEST(GetDirectoryPart, WorksWithinItsBuffer)
{
    // The separator beyond the 259th character is not seen.
    std::wstring longPath = L"C:\\short\\" + std::wstring(300, L'x') + L"\\tail";
    EXPECT_EQ(GetDirectoryPart(longPath), L"C:\\short");
}

TEST(Format, TakesWideStringsForPercentS)
{
    EXPECT_EQ(zv::Format(100, L"%s=%d (0x%x) %c", L"name", 42, 255, L'z'), L"name=42 (0xff) z");
    EXPECT_EQ(zv::Format(100, L"100%% %5s|%-3d|", L"ab", 7), L"100%    ab|7  |");
}

TEST(Format, CutsToCapacity)
{
    std::wstring big(5000, L'q');
    std::wstring s = zv::Format(2048, L"%s", big.c_str());
    EXPECT_EQ(s.size(), 2047u);
    EXPECT_EQ(s, big.substr(0, 2047));
    EXPECT_EQ(zv::Format(4, L"abcdef"), L"abc");
}

TEST(Utf8, RoundTripsSurrogatePairsAndReplacesBrokenInput)
{
    std::wstring text = {L'A', static_cast<wchar_t>(0xE9), static_cast<wchar_t>(0x20AC), static_cast<wchar_t>(0xD83D),
                         static_cast<wchar_t>(0xDE00)};
    std::string utf8 = zv::ToUtf8(text);
    EXPECT_EQ(utf8, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(zv::FromUtf8(utf8), text);
    EXPECT_EQ(zv::FromUtf8("a\xFF" "b\xE2\x82"), (std::wstring{L'a', static_cast<wchar_t>(0xFFFD), L'b', static_cast<wchar_t>(0xFFFD), static_cast<wchar_t>(0xFFFD)}));
    EXPECT_EQ(zv::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");
}

} // namespace
