#!/usr/bin/env bash
# Throughput and memory of the updater's download path against curl, on loopback.
#
#   tools/bench-fetch.sh [ROUNDS]      (default 5; needs build/windows built)
#
# Serves a 256 MiB payload from a private nginx and fetches it, alternating, with
# `zvtool fetch --resumable` (under Wine, signature then payload through the download
# cache) and with `curl -o`. Prints per-round times and the throughput ratio ours/curl,
# whole-process (Wine start included) and transfer-only (zvtool's own seconds against
# curl's time_total), as the median of the rounds' ratios and over all rounds, then the
# peak working set of a 256 MiB and a 16 MiB download.
# Ours flushes the finished file to disk before it is renamed into place; curl does not.
# So each round also times curl followed by an fsync of its file (`sync FILE`), the same
# work as ours, and prints that ratio too. Every timed run starts with nothing dirty in
# the page cache (an untimed `sync` first), so one run's write-back does not land in the next.
# It also prints the median time spent outside the transfer (whole process minus zvtool's
# own seconds: Wine, process start and exit).
# ZV_BENCH_ZVTOOL_BEFORE=PATH also runs an earlier build in every round, right after ours,
# and a bare start-up and exit (`zvtool eval 1`) of both, and prints their figures after
# the usual ones (a before/after comparison in one run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
rounds=${1:-5}
work="$root/build/bench-fetch"
zvtool=${ZV_BENCH_ZVTOOL:-"$root/build/windows/tools/zvtool.exe"}
[ -f "$zvtool" ] || { echo "bench-fetch: build the windows preset first ($zvtool missing)" >&2; exit 2; }
before=${ZV_BENCH_ZVTOOL_BEFORE:-}
[ -z "$before" ] || [ -f "$before" ] || { echo "bench-fetch: $before missing" >&2; exit 2; }
mkdir -p "$work/www" "$work/out"

cleanup() {
  bash "$root/tests/harness/nginx.sh" stop "$work/nginx" || true
  bash "$root/tests/harness/wine-env.sh" stop "$work/wine" >/dev/null || true
}
trap cleanup EXIT

make_payload() { # name MiB
  if [ ! -f "$work/www/$1" ] || [ "$(stat -c %s "$work/www/$1")" -ne $(($2 * 1048576)) ]; then
    head -c $(($2 * 1048576)) /dev/urandom > "$work/www/$1"
  fi
  printf '%s\r\n' "$(head -c 128 /dev/urandom | od -An -tx1 | tr -d ' \n' | tr a-f A-F)" > "$work/www/$1.sig"
}
make_payload big.bin 256
make_payload small.bin 16

bash "$root/tests/harness/wine-env.sh" start "$work/wine" >/dev/null
bash "$root/tests/harness/nginx.sh" start "$work/nginx" "$work/www" >/dev/null
port=$(cat "$work/nginx/port")
export ZV_WINE_STATE="$work/wine"
. "$root/tests/harness/lib.sh"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
clear_ours() { rm -f "$1" "$1.part" "$1.sig" "$1.sig.part"; }
fetch_ours() { # url outfile [exe] -> prints the outcome line
  bash "$root/tests/harness/run-wine.sh" "${3:-$zvtool}" fetch --resumable "$1" "$(winpath "$2")" 2>/dev/null | grep '^fetch:'
}
timed_fetch() { # exe outfile -> "whole_s transfer_s", the copy checked
  local t0 t1 line
  clear_ours "$2"; sync
  t0=$(now); line=$(fetch_ours "$url" "$2" "$1"); t1=$(now)
  [ "$(echo "$line" | field result)" = 1 ] || { echo "bench-fetch: $1 failed: $line" >&2; exit 1; }
  cmp -s "$2" "$work/www/big.bin" || { echo "bench-fetch: $1's copy differs" >&2; exit 1; }
  echo "$(calc "$t1 - $t0") $(echo "$line" | field seconds)"
}
timed_start() { # exe -> seconds of a bare start-up and exit
  local t0 t1
  sync
  t0=$(now); bash "$root/tests/harness/run-wine.sh" "$1" eval 1 >/dev/null 2>&1; t1=$(now)
  calc "$t1 - $t0"
}
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

url="http://127.0.0.1:$port/big.bin"
size=$(stat -c %s "$work/www/big.bin")
ours_total=0; curl_total=0; ours_xfer=0; curl_xfer=0; durable_total=0
whole_ratios=(); xfer_ratios=(); durable_ratios=(); outside=()
before_whole=(); before_xfer=(); before_outside=(); start_ours=(); start_before=(); before_ratios=()
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-6s %12s %12s %12s %12s %14s\n' round ours_s curl_s ours_xfer_s curl_xfer_s curl_sync_s
for r in $(seq 1 "$rounds"); do
  clear_ours "$work/out/ours.bin"; sync
  t0=$(now); line=$(fetch_ours "$url" "$work/out/ours.bin"); t1=$(now)
  [ "$(echo "$line" | field result)" = 1 ] || { echo "bench-fetch: zvtool failed: $line" >&2; exit 1; }
  cmp -s "$work/out/ours.bin" "$work/www/big.bin" || { echo "bench-fetch: zvtool's copy differs" >&2; exit 1; }
  ours_s=$(calc "$t1 - $t0"); ours_x=$(echo "$line" | field seconds)
  outside+=("$(calc "$ours_s - $ours_x")")
  if [ -n "$before" ]; then
    b=$(timed_fetch "$before" "$work/out/before.bin"); read -r b_s b_x <<< "$b"
    rm -f "$work/out/before.bin"
    before_whole+=("$b_s"); before_xfer+=("$b_x"); before_outside+=("$(calc "$b_s - $b_x")")
    # Which one starts first alternates, so neither always follows a fetch's clean-up.
    if ((r % 2)); then
      start_ours+=("$(timed_start "$zvtool")"); start_before+=("$(timed_start "$before")")
    else
      start_before+=("$(timed_start "$before")"); start_ours+=("$(timed_start "$zvtool")")
    fi
  fi
  rm -f "$work/out/curl.bin"; sync
  t0=$(now); curl_x=$(curl -s -o "$work/out/curl.bin" -w '%{time_total}' "$url"); t1=$(now)
  curl_s=$(calc "$t1 - $t0")
  rm -f "$work/out/curl.bin"; sync
  t0=$(now); curl -s -o "$work/out/curl.bin" "$url"; sync "$work/out/curl.bin"; t1=$(now)
  durable_s=$(calc "$t1 - $t0")
  printf '%-6s %12.3f %12.3f %12.3f %12.3f %14.3f\n' "$r" "$ours_s" "$curl_s" "$ours_x" "$curl_x" "$durable_s"
  durable_total=$(calc "$durable_total + $durable_s"); durable_ratios+=("$(calc "$durable_s / $ours_s")")
  ours_total=$(calc "$ours_total + $ours_s"); curl_total=$(calc "$curl_total + $curl_s")
  ours_xfer=$(calc "$ours_xfer + $ours_x"); curl_xfer=$(calc "$curl_xfer + $curl_x")
  whole_ratios+=("$(calc "$curl_s / $ours_s")"); xfer_ratios+=("$(calc "$curl_x / $ours_x")")
  [ -z "$before" ] || before_ratios+=("$(calc "$curl_s / ${before_whole[-1]}")")
done
mib=$(calc "$size / 1048576")
printf 'throughput MiB/s: ours %.0f, curl %.0f (whole process)\n' \
  "$(calc "$mib * $rounds / $ours_total")" "$(calc "$mib * $rounds / $curl_total")"
printf 'ratio ours/curl, whole process: median %.2f, all rounds %.2f (goal >= 0.8)\n' \
  "$(median "${whole_ratios[@]}")" "$(calc "$curl_total / $ours_total")"
printf 'ratio ours/curl, transfer only: median %.2f, all rounds %.2f\n' \
  "$(median "${xfer_ratios[@]}")" "$(calc "$curl_xfer / $ours_xfer")"
printf 'ratio ours/(curl + fsync), whole process: median %.2f, all rounds %.2f\n' \
  "$(median "${durable_ratios[@]}")" "$(calc "$durable_total / $ours_total")"
printf 'outside the transfer (whole process - seconds): median %.3f s\n' "$(median "${outside[@]}")"
if [ -n "$before" ]; then
  printf 'before build: whole %.3f s, transfer %.3f s, outside the transfer %.3f s (medians)\n' \
    "$(median "${before_whole[@]}")" "$(median "${before_xfer[@]}")" "$(median "${before_outside[@]}")"
  printf 'before build: ratio ours/curl, whole process: median %.2f\n' "$(median "${before_ratios[@]}")"
  printf 'start-up and exit alone (zvtool eval 1): ours %.3f s, before %.3f s (medians)\n' \
    "$(median "${start_ours[@]}")" "$(median "${start_before[@]}")"
fi

clear_ours "$work/out/ours.bin"; clear_ours "$work/out/small.bin"
big=$(fetch_ours "$url" "$work/out/ours.bin" | field peak_working_set)
small=$(fetch_ours "http://127.0.0.1:$port/small.bin" "$work/out/small.bin" | field peak_working_set)
diff=$(( big - small ))
printf 'peak working set: 256 MiB download %d bytes, 16 MiB download %d bytes, difference %.2f MiB (goal < 8)\n' \
  "$big" "$small" "$(calc "$diff / 1048576")"
rm -f "$work/out/"*
