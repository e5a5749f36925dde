#!/usr/bin/env bash
# The XML reader's benchmark against pugixml: configures and builds the bench preset
# (native, Release) and runs it. Arguments go to the benchmark program
# (e.g. --benchmark_filter=Walk); without any, each benchmark runs five times and the
# medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target xml_bench
if [ $# -eq 0 ]; then set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; fi
exec build/bench/tests/bench/xml_bench "$@"
