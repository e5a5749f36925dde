#include "updater/transfer/first_byte_size.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

using zv::FirstByteSize;

TEST(FirstByteSize, Table)
{
    struct Row {
        int status;
        const wchar_t* contentRange;
        FirstByteSize verdict;
        uint32_t size;
    };
    const Row rows[] = {
        {206, L"bytes 0-0/67108864", FirstByteSize::total, 67108864},
        {206, L"bytes 0-0/1", FirstByteSize::total, 1},
        {206, L"bytes 0-0/4294967295", FirstByteSize::total, 4294967295u},
        {206, L"bytes 0-1023/5000", FirstByteSize::total, 5000},  // more than asked still names the length
        {206, L"bytes 0-0/*", FirstByteSize::unknown, 0},
        {206, L"", FirstByteSize::unusable, 0},                   // partial answer without Content-Range
        {206, L"bytes 5-5/100", FirstByteSize::unusable, 0},      // not the byte asked for
        {206, L"bytes 0-0/4294967296", FirstByteSize::unusable, 0}, // past 32 bits
        {206, L"bytes 0-0/0", FirstByteSize::unusable, 0},        // last byte past the end
        {206, L"items 0-0/10", FirstByteSize::unusable, 0},
        {200, L"", FirstByteSize::notPartial, 0},                 // the server ignored the range
        {200, L"bytes 0-0/10", FirstByteSize::notPartial, 0},
        {404, L"", FirstByteSize::notPartial, 0},
        {416, L"bytes */0", FirstByteSize::notPartial, 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        uint32_t size = 12345;
        EXPECT_EQ(zv::SizeFromFirstByteAnswer(row.status, row.contentRange, size), row.verdict);
        EXPECT_EQ(size, row.size);
    }
}

} // namespace
