#!/usr/bin/env bash
# The manifest benchmark: loading a generated manifest and the standard selection,
# against parsing the same document alone. Configures and builds the bench preset
# (native, Release) and runs it. Arguments go to the benchmark program
# (e.g. --benchmark_filter=Parse); without any, each benchmark runs five times and the
# medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target manifest_bench
if [ $# -eq 0 ]; then set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; fi
exec build/bench/tests/bench/manifest_bench "$@"
