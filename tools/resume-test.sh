#!/usr/bin/env bash
# Kill-and-resume test of the updater's download cache against a rate-limited nginx.
#
#   tools/resume-test.sh [KILLS] [SIZE_MIB] [RATE]   (defaults 20, 128, 2m; needs build/windows,
#                                                     and build/native to sign: exit 77 without it)
#
# Runs `zvtool fetch --resumable` under Wine KILLS times and kills it (SIGKILL) at a
# random point 1.5 to 3 s after its start, then lets one run finish. (nginx's rate
# limit lets one second's worth through at once when a request starts; a kill inside
# that second loses what sits in the socket buffers, whoever the client.) Passes when the payload is
# byte-for-byte the served one and its signature verifies, nginx's access log shows every restart as a ranged
# request (206) starting at the length the partial file had before that run, and nginx
# sent at most 1.1 times the payload size in total for the bodies. The size query is a
# GET: a run from nothing reads the file from its answer; before a ranged request its
# body is left unread (the connection closes), and what the socket buffers took of it
# is counted apart and must stay well below the payload, which shows it was not drained. RESUME_WORK overrides the folder,
# RESUME_ZVTOOL and RESUME_SIGNER the Windows and native zvtool.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
kills=${1:-20}
size_mib=${2:-128}
rate=${3:-2m}
work=${RESUME_WORK:-$root/build/resume-test}
zvtool=${RESUME_ZVTOOL:-$root/build/windows/tools/zvtool.exe}
signer=${RESUME_SIGNER:-$root/build/native/tools/zvtool}
[ -f "$zvtool" ] || { echo "resume-test: build the windows preset first ($zvtool missing)" >&2; exit 2; }
# The signature check is part of the verdict: without the signer there is no test (77: skipped).
[ -x "$signer" ] || { echo "resume-test: SKIP: no native zvtool ($signer) to sign the payload; build the native preset" >&2; exit 77; }
rm -rf "$work/out" "$work/runs"
mkdir -p "$work/www" "$work/out" "$work/runs"

wine_pid=
# Inside a test run the run's Wine prefix is used; otherwise one of our own.
own_wine=
wine_state=${ZV_WINE_STATE:-}
if [ -z "$wine_state" ] || [ ! -f "$wine_state/env" ]; then wine_state="$work/wine"; own_wine=1; fi
cleanup() {
  [ -n "$wine_pid" ] && kill -9 "$wine_pid" 2>/dev/null || true
  bash "$root/tests/harness/nginx.sh" stop "$work/nginx" || true
  [ -z "$own_wine" ] || bash "$root/tests/harness/wine-env.sh" stop "$wine_state" >/dev/null || true
}
trap cleanup EXIT

payload="$work/www/payload.bin"
if [ ! -f "$payload" ] || [ "$(stat -c %s "$payload")" -ne $((size_mib * 1048576)) ]; then
  head -c $((size_mib * 1048576)) /dev/urandom > "$payload"
fi
mkdir -p "$work/keys"
[ -f "$work/keys/key.pem" ] || "$signer" keygen --private "$work/keys/key.pem" --public "$work/keys/quorkey.pub" >/dev/null
"$signer" sign --key "$work/keys/key.pem" "$payload" >/dev/null
size=$(stat -c %s "$payload")

[ -z "$own_wine" ] || bash "$root/tests/harness/wine-env.sh" start "$wine_state" >/dev/null
bash "$root/tests/harness/nginx.sh" start "$work/nginx" "$work/www" "$rate" >/dev/null
port=$(cat "$work/nginx/port")
# shellcheck disable=SC1091
. "$wine_state/env"

out="$work/out/payload.bin"
target="Z:$(echo "$out" | tr / '\\')"
run() { # run number -> starts zvtool in the background, sets wine_pid
  wine "$zvtool" fetch --resumable "http://127.0.0.1:$port/payload.bin?run=$1" "$target" \
    >"$work/runs/$1.out" 2>"$work/runs/$1.err" &
  wine_pid=$!
}

: > "$work/runs/stored"
for k in $(seq 1 "$kills"); do
  if [ -f "$out.part" ]; then stored=$(stat -c %s "$out.part"); else stored=none; fi
  echo "$k $stored" >> "$work/runs/stored"
  run "$k"
  sleep "$(awk -v s="$RANDOM" 'BEGIN { srand(s); printf "%.2f", 1.5 + rand() * 1.5 }')"
  kill -9 "$wine_pid" 2>/dev/null || true
  wait "$wine_pid" 2>/dev/null || true
  wine_pid=
  echo "resume-test: run $k killed; partial file $(stat -c %s "$out.part" 2>/dev/null || echo absent) bytes"
done
final=$((kills + 1))
if [ -f "$out.part" ]; then stored=$(stat -c %s "$out.part"); else stored=none; fi
echo "$final $stored" >> "$work/runs/stored"
run "$final"
wait "$wine_pid" || true
wine_pid=
tr -d '\r' < "$work/runs/$final.out"
verdict=0
wine "$zvtool" verify --key "Z:$(echo "$work/keys/quorkey.pub" | tr / '\\')" "$target" 2>/dev/null | tr -d '\r' || verdict=1

python3 - "$work/nginx/access.log" "$work/runs/stored" "$size" "$out" "$payload" "$verdict" <<'PY'
import filecmp, re, sys
log, stored_file, size, out, payload = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
failures = []
if sys.argv[6] != "0":
    failures.append("zvtool verify did not accept the payload")
if not filecmp.cmp(out, payload, shallow=False):
    failures.append("the payload differs from the served one")
stored = {}
for line in open(stored_file):
    k, s = line.split()
    stored[int(k)] = None if s == "none" else int(s)
lines = [l.split() for l in open(log) if l.strip()]
sent = lambda l: int(re.search(r"sent=(\d+)", " ".join(l)).group(1))
queries = []
for k in sorted(stored):
    body = [l for l in lines if l[2].startswith("/payload.bin?") and l[2].endswith("run=%d" % k)]
    # A whole-file run reads the size query's answer; a resumed one asks again with a range.
    if len(body) >= 2:
        queries.append(body[0])
total = sum(sent(l) for l in lines if not any(l is q for q in queries))
query_bytes = sum(sent(l) for l in queries)
print("size queries: %d, nginx pushed %d bytes of their unread bodies" % (len(queries), query_bytes))
for q in queries:
    if sent(q) > size / 4:
        failures.append("a size query's body was drained: %s" % " ".join(q))
restarts = 0
for k in sorted(stored):
    body = [l for l in lines if l[2].startswith("/payload.bin?") and l[2].endswith("run=%d" % k)]
    # The first request of a run is the size query; a ranged second one carries the
    # rest. A run from nothing reads the whole file from the size query's answer.
    have = stored[k]
    if have is None and len(body) == 1:
        body = body * 2
    if len(body) < 2:
        continue
    status, rng = body[1][0], body[1][3]
    if have is None:
        ok = status == "200" and rng == "range=-"
        what = "whole file"
    else:
        restarts += 1
        ok = (status == "206" and rng == "range=bytes=%d-%d" % (have, size - 1)) or \
             (have == size and status == "416")
        what = "from byte %d" % have
    print("run %2d: %s %s (%s)%s" % (k, status, rng, what, "" if ok else "  <-- WRONG"))
    if not ok:
        failures.append("run %d did not continue %s" % (k, what))
print("restarts as ranged requests: %d" % restarts)
print("payload %d bytes; nginx sent %d bytes for the bodies (%.3f x)" % (size, total, total / size))
if total > 1.1 * size:
    failures.append("nginx sent more than 1.1 x the payload")
if restarts < 1:
    failures.append("no run was resumed")
for f in failures:
    print("resume-test: FAIL: " + f)
print("resume-test: " + ("FAIL" if failures else "PASS"))
sys.exit(1 if failures else 0)
PY
