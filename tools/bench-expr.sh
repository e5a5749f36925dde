#!/usr/bin/env bash
# The expression benchmark: configures and builds the bench preset (native, Release) and
# runs it. Arguments go to the benchmark program; without any, each benchmark runs five
# times and the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target expr_bench
if [ $# -eq 0 ]; then set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; fi
exec build/bench/tests/bench/expr_bench "$@"
