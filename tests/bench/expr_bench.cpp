// Requirement evaluation the way the updater does it: copy the 16-variable table into
// the one reused ZVExpr, set the text, evaluate. The reference in the same run is the
// table copy alone, so the ratio shows what the language itself costs on top.
#include "support/fake_machine/fake_machine.h"
#include "updater/expr/seed_variables.h"
#include "updater/expr/zv_expr.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using com_quorvane_value::CValue;
using com_quorvane_value::VariableTable;

const wchar_t* const kRequirements[] = {
    L"(os == \"_w7\") && (bitness == 64)",
    L"VerCompare(2, 6, 1, 6, 1, 10, 0)",
    L"RegValExists(\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Tandemix\", \"Version\") == 0",
    L"FileVer(\"<programfiles>\\Quorvane\\Tandemix\\KVCHHost.exe\") < \"2.40.40\"",
    L"!FileExists(\"<windir>\\system32\\drivers\\kvchid.sys\")",
    L"(OSPlatformID() == 2) ? (SystemEnum() >= 10) : 0",
    L"rebootrequired == 1",
    L"(lang == \"ENU\") || (langid == 1033)",
};

struct Setup {
    zv::expr::FakeMachine machine;
    VariableTable vars;

    Setup()
    {
        const uint16_t version[4] = {2, 40, 40, 1};
        machine.AddFile(L"C:\\Program Files\\Quorvane\\Tandemix\\KVCHHost.exe", true, version);
        bool ok = false;
        zv::expr::SeedUpdaterVariables(machine, zv::expr::TempDirectory(machine, ok), vars);
        zv::expr::SetTableVariable(vars, L"hostversion", CValue::Text(L"1.00"));
        if (vars.size() != 16) std::fprintf(stderr, "expr_bench: %zu variables, not 16\n", vars.size());
    }
};

Setup& World()
{
    static Setup setup;
    return setup;
}

// Reference: the copy of the variable table alone.
void BM_Reference_CopyVariables(benchmark::State& state)
{
    Setup& w = World();
    ZVExpr e(w.machine);
    for (auto _ : state) {
        e.CopyVariables(w.vars);
        benchmark::DoNotOptimize(e.Variables().size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reference_CopyVariables);

void BM_EvaluateRequirement(benchmark::State& state)
{
    Setup& w = World();
    ZVExpr e(w.machine);
    size_t i = 0, failures = 0;
    CValue result;
    for (auto _ : state) {
        e.CopyVariables(w.vars);
        e.SetExpression(kRequirements[i]);
        if (!e.Evaluate(result)) ++failures;
        benchmark::DoNotOptimize(result.AsInt());
        i = (i + 1) % (sizeof kRequirements / sizeof kRequirements[0]);
    }
    if (failures) state.SkipWithError("a requirement failed to evaluate");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateRequirement);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    zv::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Wall-clock figures are the measure; CPU time is shown beside them because other
    // work on a busy machine stretches wall-clock times.
    const char* eval = "BM_EvaluateRequirement";
    const char* copy = "BM_Reference_CopyVariables";
    auto perSecond = [&](const std::map<std::string, double>& t) {
        auto it = t.find(eval);
        return it == t.end() || it->second <= 0 ? 0.0 : 1e9 / it->second;
    };
    double wall = perSecond(reporter.times), cpu = perSecond(reporter.cpuTimes);
    std::printf("\nevaluation / table copy: %.2f (CPU time %.2f)\n", zv::bench::RatioReporter::Ratio(reporter.times, eval, copy),
                zv::bench::RatioReporter::Ratio(reporter.cpuTimes, eval, copy));
    std::printf("evaluations per second: %.0f (goal >= 100000: %s; CPU time %.0f)\n", wall, wall >= 100000 ? "met" : "NOT met",
                cpu);
    return 0;
}
