#!/usr/bin/env bash
# Every test of the project, from a fresh Debian machine: installs what is missing,
# configures and builds the native and Windows presets (and the fuzz targets), then
# runs the native suite, the Windows suite under Wine and the fuzz smoke runs.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs=${ZV_JOBS:-$(nproc)}
bash tools/bootstrap.sh || exit 1

build() {
  cmake --preset "$1" >/dev/null || return 1
  cmake --build --preset "$1" -j "$jobs" || return 1
}

# Should the run itself be cut short, still end the Wine platform's processes.
trap 'bash tests/harness/wine-env.sh stop build/windows/wine-state >/dev/null 2>&1 || true' EXIT

status=0
build native || exit 1
build windows || exit 1
if [ -f tests/fuzz/CMakeLists.txt ]; then build fuzz || exit 1; fi

run_suite() {
  echo "=== $1 tests ==="
  ctest --test-dir "build/$1" -j "$jobs" --output-on-failure --timeout 900 || status=1
}
run_suite native
run_suite windows
if [ -f tests/fuzz/CMakeLists.txt ]; then run_suite fuzz; fi
exit $status
