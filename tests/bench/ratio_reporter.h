#pragma once
// A console reporter that also keeps each benchmark's time per iteration (the median
// when repetitions are asked for), so that a program can print ratios against a
// reference measured in the same run.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace zv::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& r : runs) {
            // With repetitions, the median stands for the benchmark.
            bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (!r.error_occurred && (r.run_type == Run::RT_Iteration || median)) {
                times[r.run_name.function_name] = r.GetAdjustedRealTime();
                cpuTimes[r.run_name.function_name] = r.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // a / b of the kept times; -1 when either is missing.
    static double Ratio(const std::map<std::string, double>& t, const char* a, const char* b)
    {
        auto x = t.find(a), y = t.find(b);
        return x == t.end() || y == t.end() || y->second <= 0 ? -1.0 : x->second / y->second;
    }

    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

} // namespace zv::bench
