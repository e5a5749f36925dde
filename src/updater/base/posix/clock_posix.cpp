#include "updater/base/clock.h"

#include <chrono>

namespace zv {

int64_t PerformanceCounterNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

int64_t PerformanceCounterFrequency()
{
    using period = std::chrono::steady_clock::period;
    return period::den / period::num;
}

} // namespace zv
