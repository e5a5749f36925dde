#include "updater/base/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(Clock, PerformanceCounterAdvancesWithTime)
{
    ASSERT_GE(zv::PerformanceCounterFrequency(), 1);
    int64_t count = zv::PerformanceCounterNow();
    int64_t micros = zv::PerformanceCounterMicros();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Slack for the sleep and the counter being different clocks.
    EXPECT_GE(static_cast<double>(zv::PerformanceCounterNow() - count) / static_cast<double>(zv::PerformanceCounterFrequency()),
              0.015);
    EXPECT_GE(zv::PerformanceCounterMicros() - micros, 15000);
}

} // namespace
