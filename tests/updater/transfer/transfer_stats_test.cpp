#include "updater/transfer/transfer_stats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// A counter the test moves by hand: 1000 ticks per second.
int64_t g_now = 0;
int64_t FakeNow()
{
    return g_now;
}
int64_t FakeFrequency()
{
    return 1000;
}

class TransferStats : public ::testing::Test {
protected:
    void SetUp() override { g_now = 5000; }
    ZvLib_CTransferStats stats{ZvLib_CTransferStats::Clock{FakeNow, FakeFrequency}};
};

TEST_F(TransferStats, ResetReadsCounterAndKeepsSamples)
{
    stats.Reset(0);
    EXPECT_EQ(stats.startCount, 5000);
    EXPECT_EQ(stats.lastCount, 5000);
    EXPECT_EQ(stats.frequency, 1000);
    g_now = 6000;
    stats.Update(2000);
    ASSERT_EQ(stats.sampleCount, 1);
    g_now = 9000;
    stats.Reset(0);
    EXPECT_EQ(stats.startCount, 9000);
    EXPECT_EQ(stats.previousBytes, 0u);
    EXPECT_EQ(stats.nowCount, 0);
    EXPECT_EQ(stats.sampleCount, 1);
    EXPECT_DOUBLE_EQ(stats.AverageRate(), 2000.0);
}

TEST_F(TransferStats, UpdateTakesRateSampleAndEstimatesFinish)
{
    stats.totalBytes = 10000;
    stats.Reset(0);
    g_now = 5500; // half a second later, 1000 bytes
    stats.Update(1000);
    EXPECT_DOUBLE_EQ(stats.rateSamples[0], 2000.0);
    EXPECT_DOUBLE_EQ(stats.lastUpdateSeconds, 5.5);
    EXPECT_DOUBLE_EQ(stats.finishSeconds, 5.5 + 9000.0 / 2000.0);
    EXPECT_DOUBLE_EQ(stats.SecondsRemaining(), 4.5);
    EXPECT_EQ(stats.previousBytes, 1000u);
    EXPECT_EQ(stats.lastCount, 5500);
    EXPECT_DOUBLE_EQ(stats.lastIntervalSeconds, 0.5);
    EXPECT_EQ(stats.currentBytes, 0u);
    EXPECT_EQ(stats.nowCount, 0);
    EXPECT_DOUBLE_EQ(stats.intervalSeconds, 0.0);
}

TEST_F(TransferStats, NoProgressGivesZeroSampleAndFinishNow)
{
    stats.totalBytes = 10000;
    stats.Reset(0);
    struct Step {
        int64_t advance;
        uint32_t total;
        double sample;
    };
    // No bytes, bytes going backwards, and no time passing all give a zero sample.
    const Step steps[] = {{100, 0, 0.0}, {100, 500, 5000.0}, {100, 400, 0.0}, {0, 900, 0.0}};
    for (const auto& s : steps) {
        g_now += s.advance;
        stats.Update(s.total);
        EXPECT_DOUBLE_EQ(stats.rateSamples[0], s.sample) << s.total;
    }
    EXPECT_EQ(stats.sampleCount, 4);
    EXPECT_DOUBLE_EQ(stats.AverageRate(), 1250.0);
}

TEST_F(TransferStats, KeepsTenNewestSamples)
{
    stats.Reset(0);
    uint32_t total = 0;
    for (uint32_t i = 1; i <= 12; ++i) { // one second apart, i * 100 bytes each time
        g_now += 1000;
        total += i * 100;
        stats.Update(total);
    }
    EXPECT_EQ(stats.sampleCount, 10);
    EXPECT_DOUBLE_EQ(stats.rateSamples[0], 1200.0);
    EXPECT_DOUBLE_EQ(stats.rateSamples[9], 300.0);
    EXPECT_DOUBLE_EQ(stats.AverageRate(), 750.0); // mean of 300..1200
}

TEST_F(TransferStats, AverageOfNothingIsZeroAndFinishIsNow)
{
    EXPECT_DOUBLE_EQ(stats.AverageRate(), 0.0);
    stats.totalBytes = 100;
    stats.Reset(0);
    g_now += 1000;
    stats.Update(0);
    EXPECT_DOUBLE_EQ(stats.finishSeconds, stats.lastUpdateSeconds);
    EXPECT_DOUBLE_EQ(stats.SecondsRemaining(), 0.0);
}

TEST_F(TransferStats, ConservativeRateIsLatchedThirdOfAverage)
{
    EXPECT_DOUBLE_EQ(stats.ConservativeRate(), 0.0);
    stats.Reset(0);
    g_now += 1000;
    stats.Update(3000);
    EXPECT_DOUBLE_EQ(stats.ConservativeRate(), 0.33 * 3000.0);
    g_now += 1000;
    stats.Update(30000); // a faster sample no longer changes it
    EXPECT_DOUBLE_EQ(stats.ConservativeRate(), 0.33 * 3000.0);
}

TEST(TransferStatsClock, PerformanceCounterAdvances)
{
    // The real counter: a sample taken 20 ms after the start lies about that far on.
    ZvLib_CTransferStats stats;
    stats.Reset(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stats.Update(1000);
    ASSERT_GT(stats.frequency, 0);
    // Slack for the sleep and the counter being different clocks.
    EXPECT_GE(static_cast<double>(stats.lastCount - stats.startCount) / static_cast<double>(stats.frequency), 0.015);
    EXPECT_GE(stats.lastIntervalSeconds, 0.015);
    EXPECT_GT(stats.AverageRate(), 0.0);
}

} // namespace
