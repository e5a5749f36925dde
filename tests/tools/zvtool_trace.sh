#!/usr/bin/env bash
# zvtool trace reads the library's lines from the debugger stream of another process:
# the log probe logs one line per level at TraceLevel 6.
#   zvtool_trace.sh WORK_DIR RUN_WINE ZVTOOL_EXE LOG_PROBE_EXE
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
work=$1 run_wine=$2 zvtool=$3 probe=$4
rm -rf "$work" && mkdir -p "$work"
# shellcheck disable=SC1091
. "$ZV_WINE_STATE/env"
ini_dir=$WINEPREFIX/drive_c/ProgramData/QuorShrd/Updater
ini=$ini_dir/ZvConfig.ini
mkdir -p "$ini_dir"
[ -f "$ini" ] && cp "$ini" "$work/saved.ini"
restore() { if [ -f "$work/saved.ini" ]; then cp "$work/saved.ini" "$ini"; else rm -f "$ini"; fi; }
trap restore EXIT
printf '[Settings]\r\nTraceLevel=6\r\n' >"$ini"

# trace NAME ARGS...: starts a capture, waits until it listens, runs the probe once, and
# leaves the capture's lines in $work/NAME.out; the capture ends by itself (--count, --for).
trace() {
  local name=$1
  shift
  # Straight through wine: run-wine.sh's filter would hold "listening" back until the end.
  wine "$zvtool" trace "$@" 2>"$work/$name.err" | tr -d '\r' >"$work/$name.out" &
  local tracer=$!
  for _ in $(seq 1 300); do grep -q listening "$work/$name.err" 2>/dev/null && break; sleep 0.1; done
  bash "$run_wine" "$probe" >/dev/null 2>&1
  wait $tracer
}

# Other tests may log into the same stream meanwhile: the checks read the probe's own
# lines, found by its pid (the sender of its level 6 line).
line_re='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} [0-9]+ '
probe_pid() { grep -E "$2" "$1" | head -n1 | sed -E 's/^[^ ]+ [^ ]+ ([0-9]+) .*/\1/'; }
of_pid() { grep -E "^[^ ]+ [^ ]+ $2 " "$1"; }

# Everything the probe logs at level 6: seven tagged lines (Log at 1..6, LogText, LogPlain).
trace all --for 10
pids=$(probe_pid "$work/all.out" "\[Debu3\] ZV: probe: Log at 6$")
[ -n "$pids" ] && pass "probe's level 6 line as logged (pid $pids)" || fail "no level 6 line: $(cat "$work/all.out" "$work/all.err")"
n=$(of_pid "$work/all.out" "${pids:-none}" | grep -cE "$line_re\[(Error|Info1|Info2|Debu1|Debu2|Debu3)\] ")
[ "$n" -eq 8 ] && pass "8 tagged lines with time and pid" || fail "got $n lines: $(cat "$work/all.out" "$work/all.err")"
of_pid "$work/all.out" "${pids:-none}" | grep -qE "$line_re\[Info1\] ZvProbe: probe LogPlain$" && pass "untimed LogPlain line" || fail "no LogPlain line"

# --level 2: only [Error] and [Info1] lines (Log at 1, Log at 2, LogText, LogPlain).
trace level2 --level 2 --for 10
level2_pid=$(probe_pid "$work/level2.out" "\[Info1\] ZvProbe: probe LogPlain$")
n=$(of_pid "$work/level2.out" "${level2_pid:-none}" | grep -cE "$line_re\[(Error|Info1)\] ")
others=$(grep -cvE "$line_re\[(Error|Info1)\] " "$work/level2.out")
[ "$n" -eq 4 ] && [ "$others" -eq 0 ] && pass "--level 2 keeps 4 lines" || fail "--level 2: $(cat "$work/level2.out")"

# --pid of the earlier, finished probe: the new probe's lines are filtered out.
trace otherpid --pid "$pids" --for 5
[ ! -s "$work/otherpid.out" ] && pass "--pid drops other processes" || fail "--pid let through: $(cat "$work/otherpid.out")"

# Usage errors.
for args in "--level 0" "--level 7" "--pid x" "--for" "--frob"; do
  # shellcheck disable=SC2086
  out=$(bash "$run_wine" "$zvtool" trace $args 2>&1); rc=$?
  [ $rc -eq 2 ] && grep -q 'zvtool trace' <<<"$out" && pass "usage error: $args" || fail "usage error: $args: rc=$rc $out"
done
finish zvtool_trace
