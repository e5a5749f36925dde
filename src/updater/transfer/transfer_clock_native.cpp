#include "updater/transfer/transfer_stats.h"

#include <chrono>

namespace {

int64_t CounterNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

int64_t CounterFrequency()
{
    using period = std::chrono::steady_clock::period;
    return period::den / period::num;
}

} // namespace

ZvLib_CTransferStats::Clock ZvLib_CTransferStats::PerformanceCounter()
{
    return {CounterNow, CounterFrequency};
}
