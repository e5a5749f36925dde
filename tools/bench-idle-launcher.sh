#!/usr/bin/env bash
# The idle launcher against a bare Win32 message-loop program under the same Wine:
# wake-ups per minute (context switches of all the process's threads) and resident memory.
#
#   tools/bench-idle-launcher.sh [SECONDS]   (default 60; needs build/windows built)
#
# Both programs run at once in one private prefix; after a settling pause the script counts
# each one's context switches over the period and reads VmRSS, then prints both and the
# differences (launcher minus reference). Goals: 0 extra wake-ups, at most 2 MB more memory.
# A second reference runs alongside: the bare loop plus the calls the launcher's start-up
# must make and keep (common controls, COM, GDI+, the HID library, device notifications on a
# hidden window); the launcher minus that one is what the launcher holds of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
work="$root/build/bench-idle"
# ZV_BENCH_LAUNCHER=PATH measures another build of the launcher (a before/after comparison).
launcher="${ZV_BENCH_LAUNCHER:-$root/build/windows/src/launcher/VeskLaunchTandemixApp.exe}"
reference="$root/build/windows/tests/launcher/idle_message_loop.exe"
startup_reference="$root/build/windows/tests/launcher/idle_startup_reference.exe"
for f in "$launcher" "$reference" "$startup_reference"; do
  [ -f "$f" ] || { echo "bench-idle: build the windows preset first ($f missing)" >&2; exit 2; }
done
mkdir -p "$work/bin"
# As deployed: without the debug sections, which Wine would map with the image.
x86_64-w64-mingw32-strip -o "$work/bin/VeskLaunchTandemixApp.exe" "$launcher"
cp "$reference" "$work/bin/zv_idle_reference.exe"
cp "$startup_reference" "$work/bin/zv_idle_startup_reference.exe"

ref_pid=""
sref_pid=""
cleanup() {
  if [ -f "$work/wine/env" ]; then
    (. "$work/wine/env"; wine "$work/bin/VeskLaunchTandemixApp.exe" /x >/dev/null 2>&1) || true
  fi
  [ -n "$ref_pid" ] && kill "$ref_pid" 2>/dev/null || true
  [ -n "$sref_pid" ] && kill "$sref_pid" 2>/dev/null || true
  bash "$root/tests/harness/wine-env.sh" stop "$work/wine" >/dev/null || true
}
trap cleanup EXIT

bash "$root/tests/harness/wine-env.sh" start "$work/wine" >/dev/null
# shellcheck disable=SC1091
. "$work/wine/env"

# The Linux process that runs a Windows program of this run (found by its unique path).
find_pid() {
  local pattern=$1 pid=""
  for _ in $(seq 1 100); do
    pid=$(pgrep -f "$pattern" | head -n1 || true)
    [ -n "$pid" ] && { echo "$pid"; return 0; }
    sleep 0.1
  done
  return 1
}
switches() { # all threads' voluntary and involuntary context switches
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n + 0}'
}
rss_kb() { awk '/^VmRSS/ {print $2}' /proc/"$1"/status; }

wine "$work/bin/zv_idle_reference.exe" >/dev/null 2>&1 &
wine "$work/bin/zv_idle_startup_reference.exe" >/dev/null 2>&1 &
wine "$work/bin/VeskLaunchTandemixApp.exe" /s >/dev/null 2>&1 &
ref_pid=$(find_pid 'bench-idle.bin.zv_idle_reference\.exe')
sref_pid=$(find_pid 'bench-idle.bin.zv_idle_startup_reference\.exe')
app_pid=$(find_pid 'bench-idle.bin.VeskLaunchTandemixApp\.exe')
sleep 5 # start-up work is not idle work

ref0=$(switches "$ref_pid"); app0=$(switches "$app_pid"); sref0=$(switches "$sref_pid")
sleep "$seconds"
ref1=$(switches "$ref_pid"); app1=$(switches "$app_pid"); sref1=$(switches "$sref_pid")
ref_rss=$(rss_kb "$ref_pid"); app_rss=$(rss_kb "$app_pid"); sref_rss=$(rss_kb "$sref_pid")

per_min() { echo $(( ($2 - $1) * 60 / seconds )); }
ref_wake=$(per_min "$ref0" "$ref1"); app_wake=$(per_min "$app0" "$app1")
printf '%-22s %14s %12s\n' program "wakeups/min" "RSS KiB"
printf '%-22s %14s %12s\n' reference "$ref_wake" "$ref_rss"
printf '%-22s %14s %12s\n' launcher "$app_wake" "$app_rss"
printf '%-22s %14s %12s\n' "difference" "$((app_wake - ref_wake))" "$((app_rss - ref_rss))"
sref_wake=$(per_min "$sref0" "$sref1")
printf '%-22s %14s %12s\n' "start-up reference" "$sref_wake" "$sref_rss"
printf '%-22s %14s %12s\n' "start-up ref - bare" "$((sref_wake - ref_wake))" "$((sref_rss - ref_rss))"
printf '%-22s %14s %12s\n' "launcher - start-up" "$((app_wake - sref_wake))" "$((app_rss - sref_rss))"

# Where the difference sits: resident KiB per mapping (file, or anonymous), largest first.
per_mapping() {
  awk '/^[0-9a-f]+-/ { name = ($6 == "") ? "(anonymous)" : $6 } /^Rss:/ { r[name] += $2 } END { for (n in r) print n, r[n] }' \
    /proc/"$1"/smaps | sort
}
echo "difference by mapping (KiB, over 100):"
join -a 2 -e 0 -o 0,1.2,2.2 <(per_mapping "$ref_pid") <(per_mapping "$app_pid") |
  awk '{ d = $3 - $2; if (d > 100 || d < -100) printf "  %6d %s\n", d, $1 }' | sort -rn
printf 'private (unshared) KiB: reference %s, launcher %s\n' \
  "$(awk '/^Private/ {n += $2} END {print n}' /proc/"$ref_pid"/smaps_rollup)" \
  "$(awk '/^Private/ {n += $2} END {print n}' /proc/"$app_pid"/smaps_rollup)"
echo "difference from the start-up reference by mapping (KiB, over 100):"
join -a 1 -a 2 -e 0 -o 0,1.2,2.2 <(per_mapping "$sref_pid") <(per_mapping "$app_pid") |
  awk '{ d = $3 - $2; if (d > 100 || d < -100) printf "  %6d %s\n", d, $1 }' | sort -rn
printf 'private (unshared) KiB: start-up reference %s\n' \
  "$(awk '/^Private/ {n += $2} END {print n}' /proc/"$sref_pid"/smaps_rollup)"
