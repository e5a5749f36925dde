#include "updater/transfer/read_sizer.h"

#include <gtest/gtest.h>

namespace {

using zv::ReadSizer;

TEST(ReadSizer, FirstReadAsksForWhatIsAvailableOrLittle)
{
    ReadSizer sizer;
    EXPECT_EQ(sizer.NextRead(8192), 8192u);
    EXPECT_EQ(sizer.NextRead(0), ReadSizer::kInitialTarget);
    EXPECT_EQ(sizer.NextRead(5u << 20), ReadSizer::kMaxRead);
}

TEST(ReadSizer, SettlesOnWhatTheLinkDeliversInTargetTime)
{
    struct Row {
        uint32_t got;
        uint64_t micros;
        uint32_t available;
        uint32_t expected;
    };
    const Row rows[] = {
        {1u << 20, 100, 8192, ReadSizer::kMaxRead}, // a fast link: the whole buffer
        {10000, 10000, 0, 25000},                   // 1 MB/s: 25 ms of it
        {512, 20000, 0, 640},                       // a trickle of 512 bytes per 20 ms
        {512, 20000, 4096, 4096},                   // what is already there is always taken
        {4096, 0, 0, ReadSizer::kMaxRead},          // reads that took no measurable time
    };
    for (const auto& r : rows) {
        ReadSizer sizer;
        for (int i = 0; i < 40; ++i) sizer.Record(r.got, r.micros);
        EXPECT_EQ(sizer.NextRead(r.available), r.expected) << r.got << " bytes in " << r.micros << " us";
    }
}

TEST(ReadSizer, GrowsAtMostTwofoldPerRead)
{
    ReadSizer sizer;
    // A burst of buffered bytes on a slow link looks infinitely fast.
    sizer.Record(8192, 1);
    EXPECT_EQ(sizer.NextRead(0), 2 * ReadSizer::kInitialTarget);
    sizer.Record(8192, 1);
    EXPECT_EQ(sizer.NextRead(0), 4 * ReadSizer::kInitialTarget);
}

TEST(ReadSizer, ShrinksAtOnceWhenLinkDrops)
{
    ReadSizer sizer;
    for (int i = 0; i < 40; ++i) sizer.Record(1u << 20, 1000);
    EXPECT_EQ(sizer.NextRead(0), ReadSizer::kMaxRead);
    for (int i = 0; i < 40; ++i) sizer.Record(1000, 100000); // 10 KB/s
    EXPECT_EQ(sizer.NextRead(0), 250u);
    sizer.Record(0, 5000000); // the end of the body changes nothing
    EXPECT_EQ(sizer.NextRead(0), 250u);
}

} // namespace
