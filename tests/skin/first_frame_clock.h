#pragma once
// Milliseconds since the system created this process (the start-up probes' clock).
#include <windows.h>

namespace zv::test {

inline double MsSinceProcessStart()
{
    FILETIME created, exited, kernel, user, now;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimePreciseAsFileTime(&now);
    auto ticks = [](const FILETIME& f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

} // namespace zv::test
