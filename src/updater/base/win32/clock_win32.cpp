#include "updater/base/clock.h"

#include <windows.h>

namespace zv {

int64_t PerformanceCounterNow()
{
    LARGE_INTEGER v;
    return ::QueryPerformanceCounter(&v) ? v.QuadPart : 0;
}

int64_t PerformanceCounterFrequency()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER v;
        return ::QueryPerformanceFrequency(&v) && v.QuadPart > 0 ? v.QuadPart : 1;
    }();
    return frequency;
}

} // namespace zv
