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

} // namespace
