#include "updater/transfer/signature_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

TEST(HexToBytes, DecodesPairsOfEitherCase)
{
    struct Case {
        std::string text;
        Bytes bytes;
    } cases[] = {
        {"", {}},
        {"00", {0x00}},
        {"FF", {0xFF}},
        {"ff", {0xFF}},
        {"0aB7c9", {0x0A, 0xB7, 0xC9}},
        {"0123456789ABCDEFabcdef", {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
    };
    for (const auto& c : cases) {
        Bytes out(c.bytes.size(), 0xCC);
        EXPECT_EQ(HexToBytes(c.text, out.data(), out.size()), 1) << c.text;
        EXPECT_EQ(out, c.bytes) << c.text;
    }
}

TEST(HexToBytes, RefusesWrongLengthOrNonDigitsAndLeavesTheBufferAlone)
{
    struct Case {
        std::string text;
        size_t count;
    } cases[] = {
        {"0", 0},    {"0", 1},      {"ABC", 1},    {"ABC", 2},     {"ABCD", 1},   {"ABCD", 3},
        {"G0", 1},   {"0G", 1},     {" 1", 1},     {"1 ", 1},      {"0x", 1},     {"AB\r", 2},
        {"-1", 1},   {"+1", 1},     {"ABCDEZ", 3}, {"AB CD", 2},   {"ABCD\n", 2}, {std::string("A\0", 2), 1},
        {"\xC3\xA9", 1},
    };
    for (const auto& c : cases) {
        Bytes out(4, 0xCC);
        EXPECT_EQ(HexToBytes(c.text, out.data(), c.count), 0) << c.text << " / " << c.count;
        EXPECT_EQ(out, Bytes(4, 0xCC)) << c.text;
    }
}

TEST(BytesToHex, UpperCaseTwoDigitsPerByteAndBack)
{
    Bytes bytes = {0x00, 0x0F, 0xA5, 0xFF, 0x10};
    std::string text = zv::BytesToHex(bytes.data(), bytes.size());
    EXPECT_EQ(text, "000FA5FF10");
    Bytes back(bytes.size());
    ASSERT_EQ(HexToBytes(text, back.data(), back.size()), 1);
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(zv::BytesToHex(nullptr, 0), "");
}

TEST(SignatureFirstLine, FirstLineWithoutItsLineEnd)
{
    struct Case {
        std::string head;
        bool more;
        std::optional<std::string> line;
    } cases[] = {
        {"AB12\n", false, "AB12"},
        {"AB12\r\n", false, "AB12"},
        {"AB12\r", false, "AB12"},
        {"AB12", false, "AB12"},
        {"AB12\nCD34\n", false, "AB12"},
        {"AB12\r\nrest of a longer file", true, "AB12"},
        {"", false, ""},
        {"\nAB12\n", false, ""},
        {"\r\n", false, ""},
        {"AB\r12\n", false, "AB\r12"}, // only the line end is taken off
        {"AB12", true, std::nullopt},  // the line goes on past what was read
    };
    for (const auto& c : cases) {
        auto line = zv::SignatureFirstLine(c.head, c.more);
        ASSERT_EQ(line.has_value(), c.line.has_value()) << c.head;
        if (line) {
            EXPECT_EQ(std::string(*line), *c.line) << c.head;
        }
    }
}

TEST(SignatureFirstLine, LongestAcceptedLineFitsTheHead)
{
    std::string longest(zv::kMaxSignatureDigits, 'A');
    std::string head = longest + "\r\n";
    ASSERT_EQ(head.size(), zv::kSignatureHeadBytes);
    auto line = zv::SignatureFirstLine(head, true);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->size(), zv::kMaxSignatureDigits);

    std::string tooLong(zv::kMaxSignatureDigits + 1, 'A');
    EXPECT_FALSE(zv::SignatureFirstLine(tooLong + "\n", false).has_value());
    EXPECT_FALSE(zv::SignatureFirstLine(tooLong, false).has_value());
    EXPECT_FALSE(zv::SignatureFirstLine(std::string(zv::kSignatureHeadBytes, 'A'), true).has_value());
}

TEST(DecodeSignatureLine, AcceptsOnlyANonEmptyEvenRunOfDigits)
{
    Bytes sig = {1, 2, 3};
    EXPECT_TRUE(zv::DecodeSignatureLine("abCD01", sig));
    EXPECT_EQ(sig, (Bytes{0xAB, 0xCD, 0x01}));
    for (const char* bad : {"", "A", "ABC", "0xAB", "AB CD", "ABCG", " ABC"}) {
        sig = {1, 2, 3};
        EXPECT_FALSE(zv::DecodeSignatureLine(bad, sig)) << bad;
        EXPECT_TRUE(sig.empty()) << bad;
    }
}

TEST(IsWellFormedSignatureFile, OnlyAHexLineOfTheKeysLength)
{
    const std::string sig128(256, 'A');  // a 1024-bit key's signature
    const std::string sig256(512, 'b');  // a 2048-bit key's signature
    struct Case {
        const char* what;
        std::string head;
        bool more;
        size_t signatureBytes;
        bool expected;
    } cases[] = {
        {"exact length, CRLF", sig128 + "\r\n", false, 128, true},
        {"exact length, no line end", sig128, false, 128, true},
        {"further lines", sig128 + "\nsigned by the build server\n", false, 128, true},
        {"further lines past the head", sig128 + "\n", true, 128, true},
        {"key length unknown: any even run of digits", "0123456789ABCDEF\r\n", false, 0, true},
        {"one byte short", sig128.substr(2) + "\n", false, 128, false},
        {"one byte long", sig128 + "00\n", false, 128, false},
        {"signature of another key size", sig256 + "\n", false, 128, false},
        {"odd digit count", sig128.substr(1) + "\n", false, 0, false},
        {"HTML error page", "<html><body>404 Not Found</body></html>\n", false, 0, false},
        {"portal answer of the right length", std::string(256, ' ') + "\n", false, 128, false},
        {"hex with a non-digit inside", sig128.substr(0, 100) + "G" + sig128.substr(101) + "\n", false, 128, false},
        {"empty file", "", false, 0, false},
        {"blank first line before the digits", "\n" + sig128, false, 128, false},
        {"line that never ends", std::string(zv::kSignatureHeadBytes, 'A'), true, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zv::IsWellFormedSignatureFile(c.head, c.more, c.signatureBytes), c.expected) << c.what;
}

TEST(AuthStatusText, EveryOutcomeHasItsOwnPhrase)
{
    std::set<std::wstring> seen;
    for (int s = static_cast<int>(zv::AuthStatus::kVerified); s <= static_cast<int>(zv::AuthStatus::kMismatch); ++s) {
        std::wstring text = zv::AuthStatusText(static_cast<zv::AuthStatus>(s));
        EXPECT_FALSE(text.empty());
        EXPECT_TRUE(seen.insert(text).second) << s;
    }
}

} // namespace
