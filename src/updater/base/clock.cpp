#include "updater/base/clock.h"

namespace zv {

int64_t PerformanceCounterMicros()
{
    return static_cast<int64_t>(static_cast<double>(PerformanceCounterNow()) * 1e6 /
                                static_cast<double>(PerformanceCounterFrequency()));
}

} // namespace zv
