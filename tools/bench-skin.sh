#!/usr/bin/env bash
# Start-up cost of the progress window: milliseconds from process creation to the window
# on screen at full alpha, against a bare layered-window program of the same size under
# the same Wine, alternating in one run.
#
#   tools/bench-skin.sh [ROUNDS]      (default 15; needs build/windows built)
#
# Prints per-round figures (each program's own clock, and the whole run as the shell
# sees it), the medians and the difference ours - bare. The goal is at most 50 ms.
# When the launcher is built, every round also starts the launcher itself and times its
# window the same way (its start-up steps before the window included).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
rounds=${1:-15}
dir="$root/build/windows/tests/skin"
# ZV_BENCH_FIRST_FRAME=PATH measures another build of the probe (with its Images beside it).
ours="${ZV_BENCH_FIRST_FRAME:-$dir/first_frame_window.exe}"
# ZV_BENCH_FIRST_FRAME_BEFORE=PATH also runs an earlier build of the probe in every round and
# prints its figures after the usual ones (a before/after comparison in one run).
before="${ZV_BENCH_FIRST_FRAME_BEFORE:-}"
# The launcher itself, started by a probe that waits for its window, when both are built;
# ZV_BENCH_LAUNCHER_BEFORE=PATH adds an earlier launcher build (with Images beside it).
launcher="$root/build/windows/src/launcher/VeskLaunchTandemixApp.exe"
launcher_probe="$dir/first_frame_launcher.exe"
launcher_before="${ZV_BENCH_LAUNCHER_BEFORE:-}"
[ -f "$launcher" ] && [ -f "$launcher_probe" ] || launcher=""
bare="$dir/first_frame_bare.exe"
for f in "$ours" "$bare"; do
  [ -f "$f" ] || { echo "bench-skin: build the windows preset first ($f missing)" >&2; exit 2; }
done
work="$root/build/bench-skin"
mkdir -p "$work"
keeper_pid=""
cleanup() {
  [ -n "$keeper_pid" ] && kill "$keeper_pid" 2>/dev/null || true
  bash "$root/tests/harness/wine-env.sh" stop "$work/wine" >/dev/null || true
}
trap cleanup EXIT
bash "$root/tests/harness/wine-env.sh" start "$work/wine" >/dev/null
export ZV_WINE_STATE="$work/wine"
# Wine ends its desktop process when the last program of the prefix exits and starts it again
# (hundreds of milliseconds, at random) inside the next program's first window call. On
# Windows the desktop is always there: a program idling with a hidden window keeps it up.
keeper="$root/build/windows/tests/launcher/idle_message_loop.exe"
if [ -f "$keeper" ]; then
  bash "$root/tests/harness/run-wine.sh" "$keeper" >/dev/null 2>&1 &
  keeper_pid=$!
  sleep 2
fi
read -r w h < <(identify -format '%w %h\n' "$root/src/skin/images/VeskBackground.png")

now() { date +%s.%N; }
run() { # exe args... -> "first_frame_ms wall_ms opaque_ms show_ms" (the bare program is opaque at
  # once; show_ms, the probe's time from the show call to the first frame, is "-" where not reported)
  local t0 t1 out first opaque show
  t0=$(now)
  out=$(bash "$root/tests/harness/run-wine.sh" "$@" 2>/dev/null) || { echo "bench-skin: $1 failed (exit $?)" >&2; exit 1; }
  t1=$(now)
  first=$(echo "$out" | sed -n 's/^first-frame-ms=//p')
  opaque=$(echo "$out" | sed -n 's/^opaque-ms=//p')
  show=$(echo "$out" | sed -n 's/^show-to-first-frame-ms=//p')
  echo "$first $(awk "BEGIN { printf \"%.2f\", ($t1 - $t0) * 1000 }") ${opaque:-$first} ${show:--}"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One warm-up each: the first start of a program pays Wine's cold loading.
run "$ours" >/dev/null; run "$bare" "$w" "$h" >/dev/null
[ -n "$before" ] && run "$before" >/dev/null
xs=(); xdiffs=(); ls_=(); ldiffs=(); lxs=(); lxdiffs=()
if [ -n "$launcher" ]; then
  run "$launcher_probe" "$launcher" >/dev/null
  [ -n "$launcher_before" ] && run "$launcher_probe" "$launcher_before" >/dev/null
fi
os=(); ow=(); oo=(); bs=(); bw=(); diffs=(); oshow=(); xshow=()
printf '%-6s %12s %12s %12s %12s %12s\n' round ours_first bare_first ours_opaque ours_wall bare_wall
for r in $(seq 1 "$rounds"); do
  read -r a b e g < <(run "$ours"); os+=("$a"); ow+=("$b"); oo+=("$e")
  if [ "$g" != "-" ]; then oshow+=("$g"); fi
  read -r c d _ < <(run "$bare" "$w" "$h"); bs+=("$c"); bw+=("$d")
  diffs+=("$(awk "BEGIN { print $a - $c }")")
  printf '%-6s %12s %12s %12s %12s %12s\n' "$r" "$a" "$c" "$e" "$b" "$d"
  if [ -n "$before" ]; then
    read -r x _ _ g < <(run "$before"); xs+=("$x")
    if [ "$g" != "-" ]; then xshow+=("$g"); fi
    xdiffs+=("$(awk "BEGIN { print $x - $c }")")
  fi
  if [ -n "$launcher" ]; then
    read -r l _ _ < <(run "$launcher_probe" "$launcher"); ls_+=("$l")
    ldiffs+=("$(awk "BEGIN { print $l - $c }")")
    if [ -n "$launcher_before" ]; then
      read -r l _ _ < <(run "$launcher_probe" "$launcher_before"); lxs+=("$l")
      lxdiffs+=("$(awk "BEGIN { print $l - $c }")")
    fi
  fi
done
mos=$(median "${os[@]}"); mbs=$(median "${bs[@]}"); moo=$(median "${oo[@]}")
mow=$(median "${ow[@]}"); mbw=$(median "${bw[@]}")
printf 'median ms from process creation: first frame ours %s, bare %s; ours opaque %s\n' "$mos" "$mbs" "$moo"
printf 'median ms of whole runs: ours %s, bare %s\n' "$mow" "$mbw"
minimum() { printf '%s\n' "$@" | sort -g | head -n1; }
# On a busy machine the fastest round shows the cost best.
printf 'fastest rounds: first frame ours %s, bare %s\n' "$(minimum "${os[@]}")" "$(minimum "${bs[@]}")"
printf 'ours - bare, median of the rounds: %s ms to the first frame (goal <= 50)\n' "$(median "${diffs[@]}")"
if [ -n "$before" ]; then
  printf 'before: median first frame %s ms, fastest %s ms\n' "$(median "${xs[@]}")" "$(minimum "${xs[@]}")"
  printf 'before - bare, median of the rounds: %s ms to the first frame\n' "$(median "${xdiffs[@]}")"
fi
# The window's own share (show call to first frame), when the probes report it.
if [ ${#oshow[@]} -gt 0 ]; then printf 'show call to first frame, median: ours %s ms\n' "$(median "${oshow[@]}")"; fi
if [ ${#xshow[@]} -gt 0 ]; then printf 'show call to first frame, median: before %s ms\n' "$(median "${xshow[@]}")"; fi
if [ -n "$launcher" ]; then
  printf 'launcher: median first frame %s ms, fastest %s ms\n' "$(median "${ls_[@]}")" "$(minimum "${ls_[@]}")"
  printf 'launcher - bare, median of the rounds: %s ms to the first frame\n' "$(median "${ldiffs[@]}")"
  if [ -n "$launcher_before" ]; then
    printf 'launcher before: median first frame %s ms, fastest %s ms\n' "$(median "${lxs[@]}")" "$(minimum "${lxs[@]}")"
    printf 'launcher before - bare, median of the rounds: %s ms to the first frame\n' "$(median "${lxdiffs[@]}")"
  fi
fi
