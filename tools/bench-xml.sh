#!/usr/bin/env bash
# The XML reader's benchmark against pugixml: configures and builds the bench preset
# (native, Release) and runs it. Arguments go to the benchmark program
# (e.g. --benchmark_filter=Walk).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target xml_bench
exec build/bench/tests/bench/xml_bench "$@"
