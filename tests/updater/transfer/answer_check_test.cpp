#include "updater/transfer/answer_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zv::BodyAction;
using zv::ContentRange;
using zv::ParseContentRange;
using zv::PlanBody;
using zv::RangeAnswer;
using zv::RangeRequest;

TEST(ParseContentRange, Table)
{
    struct Row {
        const wchar_t* text;
        bool ok;
        uint32_t first, last;
        long long total; // -1: "*"
    };
    const Row rows[] = {
        {L"bytes 0-99/100", true, 0, 99, 100},
        {L"bytes 300001-1052896/1052897", true, 300001, 1052896, 1052897},
        {L"  bytes 5-5/6 ", true, 5, 5, 6},
        {L"bytes 10-19/*", true, 10, 19, -1},
        {L"bytes 0-4294967294/4294967295", true, 0, 4294967294u, 4294967295ll},
        {L"bytes 0-4294967295/4294967296", false, 0, 0, 0}, // past 32 bits
        {L"bytes 20-10/100", false, 0, 0, 0},              // last before first
        {L"bytes 0-100/100", false, 0, 0, 0},              // last past the end
        {L"bytes */100", false, 0, 0, 0},                  // the form of a 416
        {L"bytes 0-99", false, 0, 0, 0},
        {L"bytes=0-99/100", false, 0, 0, 0},
        {L"items 0-99/100", false, 0, 0, 0},
        {L"bytes -5-99/100", false, 0, 0, 0},
        {L"bytes 0-99/100x", false, 0, 0, 0},
        {L"", false, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::wstring(row.text).size());
        auto range = ParseContentRange(row.text);
        ASSERT_EQ(range.has_value(), row.ok) << testing::PrintToString(std::wstring(row.text));
        if (!row.ok) continue;
        EXPECT_EQ(range->first, row.first);
        EXPECT_EQ(range->last, row.last);
        if (row.total < 0) {
            EXPECT_FALSE(range->total.has_value());
        } else {
            ASSERT_TRUE(range->total.has_value());
            EXPECT_EQ(*range->total, static_cast<uint32_t>(row.total));
        }
    }
}

TEST(PlanBody, Table)
{
    constexpr uint32_t size = 1000;
    const std::optional<uint32_t> none;
    struct Row {
        const char* what;
        uint32_t start, end;
        int status;
        std::optional<uint32_t> length;
        const wchar_t* contentRange;
        BodyAction action;
        uint32_t offset, endPos;
    };
    const Row rows[] = {
        // Whole-file requests: a 200 of the announced size, nothing else.
        {"whole 200", 0, 0, 200, size, L"", BodyAction::keep, 0, size},
        {"whole 200 without length", 0, 0, 200, none, L"", BodyAction::keep, 0, size},
        {"whole 304 from the cache", 0, 0, 304, size, L"", BodyAction::keep, 0, size},
        {"whole 200 of another length", 0, 0, 200, 999u, L"", BodyAction::refuse, 0, 0},
        {"whole 206", 0, 0, 206, size, L"bytes 0-999/1000", BodyAction::refuse, 0, 0},
        {"whole 404", 0, 0, 404, 20u, L"", BodyAction::refuse, 0, 0},
        {"whole 500", 0, 0, 500, none, L"", BodyAction::refuse, 0, 0},
        {"whole 203", 0, 0, 203, size, L"", BodyAction::refuse, 0, 0},
        // Ranged requests.
        {"206 as asked", 400, 999, 206, 600u, L"bytes 400-999/1000", BodyAction::keep, 400, size},
        {"206 as asked, no length", 400, 999, 206, none, L"bytes 400-999/1000", BodyAction::keep, 400, size},
        {"206 as asked, unknown total", 400, 999, 206, 600u, L"bytes 400-999/*", BodyAction::keep, 400, size},
        {"206 from byte 0", 0, 999, 206, size, L"bytes 0-999/1000", BodyAction::keep, 0, size},
        {"206 starting earlier", 400, 999, 206, 700u, L"bytes 300-999/1000", BodyAction::refuse, 0, 0},
        {"206 starting later", 400, 999, 206, 500u, L"bytes 500-999/1000", BodyAction::refuse, 0, 0},
        {"206 ending early", 400, 999, 206, 100u, L"bytes 400-499/1000", BodyAction::refuse, 0, 0},
        {"206 of another file size", 400, 999, 206, 600u, L"bytes 400-999/2000", BodyAction::refuse, 0, 0},
        {"206 past the file, unknown total", 400, 1099, 206, 700u, L"bytes 400-1099/*", BodyAction::refuse, 0, 0},
        {"206 length disagrees", 400, 999, 206, 10u, L"bytes 400-999/1000", BodyAction::refuse, 0, 0},
        {"206 without Content-Range", 400, 999, 206, 600u, L"", BodyAction::refuse, 0, 0},
        {"206 unreadable Content-Range", 400, 999, 206, 600u, L"bytes 400-/1000", BodyAction::refuse, 0, 0},
        {"200 whole file instead", 400, 999, 200, size, L"", BodyAction::restart, 0, size},
        {"200 without length", 400, 999, 200, none, L"", BodyAction::refuse, 0, 0},
        {"200 of another length", 400, 999, 200, 10u, L"", BodyAction::refuse, 0, 0},
        {"416 at the end", size, 999, 416, none, L"bytes */1000", BodyAction::nothingLeft, size, size},
        {"416 before the end", 400, 999, 416, none, L"bytes */1000", BodyAction::refuse, 0, 0},
        {"416 past the end", size + 5, 999, 416, none, L"bytes */1000", BodyAction::refuse, 0, 0},
        {"503", 400, 999, 503, 20u, L"", BodyAction::refuse, 0, 0},
        {"304 to a range", 400, 999, 304, none, L"", BodyAction::refuse, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        RangeRequest request{row.start, row.end, size};
        RangeAnswer answer{row.status, row.length, row.contentRange};
        auto plan = PlanBody(request, answer);
        EXPECT_EQ(plan.action, row.action);
        if (row.action == BodyAction::refuse) {
            EXPECT_NE(std::wstring(plan.reason), L"");
            continue;
        }
        EXPECT_EQ(plan.offset, row.offset);
        EXPECT_EQ(plan.end, row.endPos);
    }
}

// A server that sends no length for a whole file announced as empty leaves an empty
// file; a ranged answer never passes for complete without a length to check.
TEST(PlanBody, EmptyAnnouncedFile)
{
    auto whole = PlanBody(RangeRequest{0, 0, 0}, RangeAnswer{200, std::nullopt, L""});
    EXPECT_EQ(whole.action, BodyAction::keep);
    EXPECT_EQ(whole.end, 0u);
    auto ranged = PlanBody(RangeRequest{5, 9, 10}, RangeAnswer{206, std::nullopt, L""});
    EXPECT_EQ(ranged.action, BodyAction::refuse);
}

} // namespace
