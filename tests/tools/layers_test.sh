#!/usr/bin/env bash
# The layer check passes on the tree and fails on includes that point up the order.
# Usage: layers_test.sh SOURCE_DIR
set -u
root=$1
check="python3 $root/tools/check-layers.py"
fail() { echo "FAIL: $*"; exit 1; }

out=$($check "$root/src") || fail "the tree breaks the layer order: $out"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each case: a file and its one include line; expected exit code and reason.
expect() {
    local file=$1 line=$2 code=$3 reason=$4
    rm -rf "$work/src"
    mkdir -p "$work/src/$(dirname "$file")"
    printf '%s\n' "$line" > "$work/src/$file"
    out=$($check "$work/src")
    local got=$?
    [ "$got" = "$code" ] || fail "$file with '$line': exit $got, expected $code ($out)"
    [ -z "$reason" ] || echo "$out" | grep -q "$reason" || fail "$file with '$line': no '$reason' in: $out"
}
expect updater/base/log.cpp '#include "updater/config/xml_document.h"' 1 "base may not include the higher layer updater/config"
expect updater/config/loader.cpp '#include "updater/core/facade.h"' 1 "config may not include the higher layer updater/core"
expect updater/transfer/grab.h '#include "launcher/app.h"' 1 "may not include the higher layer launcher"
expect updater/expr/value.cpp '#include <windows.h>' 1 "may not include a Windows header"
expect updater/config/xml.cpp '#include "framework/handle.h"' 1 "may not include the framework"
expect updater/expr/engine.cpp '#include "updater/base/win32/path_helpers.h"' 1 "may not include Win32-only code"
expect updater/expr/win32/machine.cpp '#include <windows.h>' 0 ""
expect updater/base/win32/log.cpp '#include "framework/handle.h"' 0 ""
expect updater/core/facade.cpp '#include "updater/transfer/web_grab.h"' 0 ""
expect skin/window.cpp '#include "launcher/worker.h"' 0 ""
echo "layers: ok"
