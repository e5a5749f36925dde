#!/usr/bin/env bash
# The demo installer in a prefix of its own: it puts the utility where its App Paths entry
# says, writes the values the launcher reads, passes the configured exit code through,
# and a newer version replaces the older one.
#   demo_installer.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=$1 build=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
trap 'bash "$src/tests/harness/wine-env.sh" stop "$work/wine" >/dev/null 2>&1' EXIT
bash "$src/tests/harness/wine-env.sh" start "$work/wine" >"$work/wine.log" 2>&1 || { fail "wine: $(cat "$work/wine.log")"; finish demo_installer; }
# shellcheck disable=SC1091
. "$work/wine/env"
drive_c=$WINEPREFIX/drive_c
query() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"; }
default_value() { wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'; }
app_paths='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\KVCHHost.exe'
product='HKLM\SOFTWARE\Quorvane\Tandemix'
utility="$drive_c/Program Files/Quorvane/Tandemix/KVCHHost.exe"

# Exit codes (below 256: the host shell keeps 8 bits): as configured, 0 without /exitcode,
# 0 for a value that is not a number.
while IFS='|' read -r args want; do
  # shellcheck disable=SC2086
  wine "$build/demo/1.00/KVCHSetup-1.00.exe" $args </dev/null >/dev/null 2>&1
  rc=$?
  [ "$rc" -eq "$want" ] && pass "exit code $want for '${args:-no arguments}'" || fail "exit code $rc for '$args', want $want"
done <<EOF2
/exitcode 42|42
/exitcode 0|0
|0
/exitcode x7|0
/EXITCODE 5|5
EOF2

[ "$(default_value "$app_paths")" = '"C:\Program Files\Quorvane\Tandemix\KVCHHost.exe"' ] &&
  pass "App Paths names the installed utility, quoted" || fail "App Paths: '$(default_value "$app_paths")'"
[ "$(query "$product" Version)" = 1.00 ] && pass "Version 1.00" || fail "Version '$(query "$product" Version)'"
[ "$(query "$product" Language)" = ENU ] && pass "Language ENU (main brand)" || fail "Language '$(query "$product" Language)'"
cmp -s "$utility" "$build/demo/1.00/utility/KVCHHost.exe" && pass "utility 1.00 in Program Files" || fail "utility 1.00 file"
[ ! -e "$utility.new" ] && pass "no partial file left" || fail "partial file left"

# The utility notes its command line; the title carries its version.
export KVCH_DEMO_RECORD='C:\starts.txt'
wine "C:\\Program Files\\Quorvane\\Tandemix\\KVCHHost.exe" -p </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 100); do [ -s "$drive_c/starts.txt" ] && break; sleep 0.1; done
[ "$(tr -d '\r' <"$drive_c/starts.txt")" = 'KVCHHost 1.00 started: "C:\Program Files\Quorvane\Tandemix\KVCHHost.exe" -p' ] &&
  pass "utility records its command line" || fail "utility record: '$(cat "$drive_c/starts.txt" 2>/dev/null)'"
wine taskkill /f /im KVCHHost.exe </dev/null >/dev/null 2>&1

# The newer version over the older one.
wine "$build/demo/1.10/KVCHSetup-1.10.exe" /exitcode 0 </dev/null >/dev/null 2>&1 && pass "1.10 installed over 1.00" || fail "1.10 installer"
[ "$(query "$product" Version)" = 1.10 ] && pass "Version 1.10" || fail "Version after update '$(query "$product" Version)'"
cmp -s "$utility" "$build/demo/1.10/utility/KVCHHost.exe" && pass "utility 1.10 replaced 1.00" || fail "utility 1.10 file"
finish demo_installer
