// The manifest's list and path helpers that run for every item of a load: they must read
// and build exactly what the general helpers do.
#include "updater/base/text_helpers.h"
#include "updater/core/manifest_text.h"
#include "updater/core/payload_paths.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(ManifestText, IdListsReadAsIntLists)
{
    const std::wstring cases[] = {
        L"3, 4,  x  ", L"", L" \t\r\n", L"7", L"1,2,", L",5", L"1,,2", L" -12 ,+8,9z,  0x10",
        L"99999999999,-99999999999", L"\n 12 ,\t34\r\n", L"1, 2,3", L",", L"123456789,987654321,5",
    };
    for (const auto& text : cases) {
        std::vector<int> expected{42}, got{42};
        ParseIntList(text, L',', expected);
        zv::core::ParseIdList(text, got);
        EXPECT_EQ(got, expected) << zv::ToUtf8(text);
    }
}

TEST(ManifestText, InPlaceFormsGiveWhatTheCopyingFormsGive)
{
    const std::wstring cases[] = {L"", L" ", L" \t\r\n", L"ids_name_1", L"  Ids_Name \n", L"\tx", L"x\r\n", L"a b", L"\u00e9t\u00e9 z", L"ZZ"};
    for (const auto& text : cases) {
        std::wstring trimmed = text, upper = text;
        zv::core::TrimInPlace(trimmed);
        zv::core::UpperAsciiInPlace(upper);
        EXPECT_EQ(trimmed, zv::core::Trim(text)) << zv::ToUtf8(text);
        EXPECT_EQ(upper, zv::core::ToUpperAscii(text)) << zv::ToUtf8(text);
    }
    // Trim stops at the first character that is not a blank, tab or line end.
    std::wstring kept = L" \v x \f ";
    zv::core::TrimInPlace(kept);
    EXPECT_EQ(kept, L"\v x \f");
}

TEST(ManifestText, PayloadPathCarriesTheIdInDecimal)
{
    const std::wstring temp = L"C:\\t\\", abbr = L"TVK", none, url = L"http://h/pkg/setup.exe", dest = L"run.exe";
    struct {
        int id;
        const wchar_t* byUrl;
        const wchar_t* byDest;
    } cases[] = {
        {0, L"C:\\t\\zv\\TVK_0_setup.exe", L"C:\\t\\zv\\TVK\\0\\run.exe"},
        {7, L"C:\\t\\zv\\TVK_7_setup.exe", L"C:\\t\\zv\\TVK\\7\\run.exe"},
        {-42, L"C:\\t\\zv\\TVK_-42_setup.exe", L"C:\\t\\zv\\TVK\\-42\\run.exe"},
        {INT_MAX, L"C:\\t\\zv\\TVK_2147483647_setup.exe", L"C:\\t\\zv\\TVK\\2147483647\\run.exe"},
        {INT_MIN, L"C:\\t\\zv\\TVK_-2147483648_setup.exe", L"C:\\t\\zv\\TVK\\-2147483648\\run.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zv::core::LocalPayloadPath(temp, abbr, c.id, {none, url, none}), c.byUrl) << c.id;
        EXPECT_EQ(zv::core::LocalPayloadPath(temp, abbr, c.id, {none, url, dest}), c.byDest) << c.id;
    }
}

} // namespace
