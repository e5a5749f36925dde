#pragma once
// The high-resolution counter: the performance counter on Windows, the steady clock
// natively. One implementation per platform, chosen by the build.
#include <cstdint>

namespace zv {

int64_t PerformanceCounterNow();
// Counts per second, at least 1.
int64_t PerformanceCounterFrequency();
// The counter in microseconds.
int64_t PerformanceCounterMicros();

} // namespace zv
