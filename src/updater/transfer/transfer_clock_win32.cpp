#include "updater/transfer/transfer_stats.h"

#include <windows.h>

namespace {

int64_t CounterNow()
{
    LARGE_INTEGER v;
    return ::QueryPerformanceCounter(&v) ? v.QuadPart : 0;
}

int64_t CounterFrequency()
{
    LARGE_INTEGER v;
    return ::QueryPerformanceFrequency(&v) ? v.QuadPart : 0;
}

} // namespace

ZvLib_CTransferStats::Clock ZvLib_CTransferStats::PerformanceCounter()
{
    return {CounterNow, CounterFrequency};
}
