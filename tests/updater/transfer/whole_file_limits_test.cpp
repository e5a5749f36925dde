#include "updater/transfer/whole_file_limits.h"

#include <gtest/gtest.h>

namespace {

using zv::TooSlow;
using zv::WholeFileLimits;

TEST(WholeFileLimits, CapsPerUse)
{
    // A signature file holds a 16384-bit key's signature line; a manifest is far smaller
    // than the general limit of old.
    EXPECT_GE(zv::kMaxSignatureFileBytes, 4096u + 2u);
    EXPECT_LE(zv::kMaxSignatureFileBytes, 16u * 1024);
    EXPECT_EQ(zv::kMaxManifestBytes, 16u * 1024 * 1024);
    EXPECT_EQ(WholeFileLimits{}.maxBytes, zv::kMaxManifestBytes);
    EXPECT_TRUE(WholeFileLimits{}.cancelEventName.empty());
}

TEST(WholeFileLimits, RateFloorTable)
{
    WholeFileLimits limits; // 30 s grace, 1 KiB/s
    struct Row {
        uint64_t elapsedMs;
        uint64_t received;
        bool tooSlow;
    };
    const Row rows[] = {
        {0, 0, false},
        {29999, 0, false},         // nothing yet, still within the grace period
        {30000, 0, false},
        {30001, 0, true},          // nothing after the grace period
        {60000, 1, true},          // one byte a minute
        {60000, 61439, true},      // just under 1 KiB/s
        {60000, 61440, false},     // exactly 1 KiB/s
        {3600000, 16u << 20, false}, // a manifest over an hour at 4.6 KiB/s
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.elapsedMs);
        EXPECT_EQ(TooSlow(limits, row.elapsedMs * 1000, row.received), row.tooSlow);
    }
    limits.graceMs = 1000;
    limits.minBytesPerSecond = 8192;
    EXPECT_FALSE(TooSlow(limits, 900000, 0));
    EXPECT_TRUE(TooSlow(limits, 2000000, 16383));
    EXPECT_FALSE(TooSlow(limits, 2000000, 16384));
}

} // namespace
