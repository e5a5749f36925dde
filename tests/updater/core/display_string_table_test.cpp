// The display-string table against an ordered map fed the same strings: every id finds
// the text last given for it, through growth, repeats, similar ids and a clear.
#include "updater/core/display_string_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using zv::core::DisplayStringTable;

void ExpectSame(const DisplayStringTable& table, const std::map<std::wstring, std::wstring>& reference, int probes)
{
    EXPECT_EQ(table.size(), reference.size());
    std::wstring text;
    for (const auto& [id, want] : reference) {
        text = L"unchanged";
        ASSERT_TRUE(table.Find(id, text)) << id.size();
        EXPECT_EQ(text, want);
    }
    // Ids that were never added, close to ones that were.
    for (int i = 0; i < probes; ++i) {
        for (const std::wstring& absent : {L"IDS_" + std::to_wstring(i) + L"_", L"ids_" + std::to_wstring(i), L"IDS_" + std::to_wstring(i + 100000)}) {
            text = L"unchanged";
            EXPECT_FALSE(table.Find(absent, text));
            EXPECT_EQ(text, L"unchanged");
        }
    }
}

TEST(DisplayStringTable, FindsWhatAnOrderedMapFinds)
{
    DisplayStringTable table;
    std::map<std::wstring, std::wstring> reference;
    std::wstring text;
    EXPECT_FALSE(table.Find(L"IDS_0", text));
    EXPECT_FALSE(table.Find(L"", text));

    // Enough ids for the index to grow several times; every third one given again with a
    // new text, and the empty id once.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 1500; ++i) {
            if (round == 1 && i % 3) continue;
            const std::wstring id = L"IDS_" + std::to_wstring(i);
            const std::wstring value = L"text " + std::to_wstring(i) + L" round " + std::to_wstring(round);
            table.insert_or_assign(id, value);
            reference.insert_or_assign(id, value);
        }
        table.insert_or_assign(L"", L"empty id " + std::to_wstring(round));
        reference.insert_or_assign(L"", L"empty id " + std::to_wstring(round));
        ExpectSame(table, reference, 1500);
    }

    table.clear();
    EXPECT_TRUE(table.empty());
    EXPECT_FALSE(table.Find(L"IDS_1", text));
    table.insert_or_assign(L"IDS_1", L"after clear");
    ExpectSame(table, {{L"IDS_1", L"after clear"}}, 10);
}

// Room made ahead, on a table that already holds strings, keeps them; the table then
// fills past that room and shrinks from nothing when asked for less.
TEST(DisplayStringTable, ReserveKeepsWhatItHolds)
{
    DisplayStringTable table;
    std::map<std::wstring, std::wstring> reference;
    auto add = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::wstring id = L"IDS_" + std::to_wstring(i);
            table.insert_or_assign(id, L"text " + std::to_wstring(i));
            reference.insert_or_assign(id, L"text " + std::to_wstring(i));
        }
    };
    table.reserve(3);
    add(0, 100);
    ExpectSame(table, reference, 100);
    table.reserve(3000);
    ExpectSame(table, reference, 100);
    add(100, 4000);
    table.reserve(10);
    ExpectSame(table, reference, 4000);
}

// A text found stays readable while thousands more strings, long ones included, are
// added (the sanitizers catch a view into moved storage); a copy holds its own texts.
TEST(DisplayStringTable, FoundTextStaysWhileTheTableGrows)
{
    DisplayStringTable table;
    table.insert_or_assign(L"IDS_FIRST", L"first text");
    std::wstring_view first;
    ASSERT_TRUE(table.FindView(L"IDS_FIRST", first));
    std::wstring_view absent = L"untouched";
    EXPECT_FALSE(table.FindView(L"IDS_NONE", absent));
    EXPECT_EQ(absent, L"untouched");

    std::map<std::wstring, std::wstring> reference{{L"IDS_FIRST", L"first text"}};
    for (int i = 0; i < 5000; ++i) {
        // Every hundredth text is longer than a block's share, so it gets a block of its own.
        const std::wstring id = L"IDS_" + std::to_wstring(i);
        const std::wstring text = i % 100 == 0 ? std::wstring(20000, wchar_t(L'a' + i % 26)) : L"text " + std::to_wstring(i);
        table.insert_or_assign(id, text);
        reference.insert_or_assign(id, text);
    }
    EXPECT_EQ(first, L"first text");
    // A new text for a held id leaves the old view as it was and is found from then on.
    table.insert_or_assign(L"IDS_FIRST", L"second text");
    EXPECT_EQ(first, L"first text");
    reference.insert_or_assign(L"IDS_FIRST", L"second text");
    ExpectSame(table, reference, 100);

    DisplayStringTable copy = table;
    table.clear();
    ExpectSame(copy, reference, 10);
    std::wstring_view empty;
    copy.insert_or_assign(L"IDS_EMPTY", L"");
    ASSERT_TRUE(copy.FindView(L"IDS_EMPTY", empty));
    EXPECT_TRUE(empty.empty());
}

} // namespace
