#!/usr/bin/env bash
# zvtool fetch under Wine against the test run's HTTP servers: outcome line, exit code
# and the bytes on disk for a whole-file download, a resumable one, a continued one,
# Ctrl+C during a slow one, a missing file, a dead port and usage errors.
#   fetch_cases.sh HTTP_STATE_DIR WORK_DIR ZVTOOL_EXE RUN_WINE
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
state=${1:?}; work=${2:?}; zvtool=${3:?}; run_wine=${4:?}
rm -rf "$work"; mkdir -p "$work"
nginx="http://127.0.0.1:$(cat "$state/nginx.port")"
closed="http://127.0.0.1:$(cat "$state/closed.port")"
www="$state/www"

# fetch NAME EXPECTED_EXIT ARGS... -> $out holds stdout, $err stderr
fetch() {
  local name=$1 expected=$2; shift 2
  out=$(run_wine "$run_wine" "$zvtool" fetch "$@" 2>"$work/$name.err"); local rc=$?
  err=$(cat "$work/$name.err")
  echo "$name: exit $rc: $(echo "$out" | tail -n1)"
  [ "$rc" -eq "$expected" ] || fail "$name: exit $rc, expected $expected"
}
has() { echo "$out" | tail -n1 | grep -q -- "$1" || fail "$2: outcome line lacks '$1'"; }

fetch whole 0 "$nginx/payload.bin" "$(winpath "$work/whole.bin")"
has 'result=1 cancelled=0 connection_error=0 http_status=200' whole
has "bytes=$(stat -c %s "$www/payload.bin") " whole
echo "$out" | tail -n1 | grep -Eq 'seconds=[0-9.]+ peak_working_set=[1-9][0-9]*$' || fail "whole: no seconds or working set"
cmp -s "$work/whole.bin" "$www/payload.bin" || fail "whole: bytes differ"

fetch resumable 0 "$nginx/payload.bin" "$(winpath "$work/res.bin")" --resumable --trace 3
has 'result=1' resumable
cmp -s "$work/res.bin" "$www/payload.bin" || fail "resumable: bytes differ"
cmp -s "$work/res.bin.sig" "$www/payload.bin.sig" || fail "resumable: signature not fetched beside it"
[ -f "$work/res.bin.sig.part" ] || fail "resumable: no fingerprint of the cache"
echo "$err" | grep -q 'ZV: ZvLib: ---> Downloader (.*HttpGrabFileResumable:  Getting url:' || fail "resumable: no library lines at --trace 3"

# A partial file of the same signature is continued, not started again.
head -c 123456 "$www/payload.bin" > "$work/cont.bin.part"
cp "$www/payload.bin.sig" "$work/cont.bin.sig.part"
fetch continued 0 "$nginx/payload.bin?cont" "$(winpath "$work/cont.bin")" --resumable --trace 3
cmp -s "$work/cont.bin" "$www/payload.bin" || fail "continued: bytes differ"
echo "$err" | grep -q "Bytes requested :     123456 to" || fail "continued: not resumed from the partial length"
[ ! -f "$work/cont.bin.part" ] || fail "continued: partial file left behind"

fetch explicit-sig 0 "$nginx/small.txt" "$(winpath "$work/small.txt")" --sig-url "$nginx/payload.bin.sig" \
  --sig "$(winpath "$work/small.sig")"
cmp -s "$work/small.sig" "$www/payload.bin.sig" || fail "explicit-sig: signature not stored"

# Ctrl+C (SIGINT under Wine) cancels a slow download: exit 3, the partial payload
# keeps what arrived, no complete file; a retry finishes it.
fault="http://127.0.0.1:$(cat "$state/fault.port")"
is_content_prefix() { python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
sys.exit(0 if data and data == bytes((i * 131 + 7) % 256 for i in range(len(data))) else 1)' "$1"; }
bash "$run_wine" "$zvtool" fetch "$fault/trickle?len=1000000&chunk=1000&delay=20" "$(winpath "$work/ctrlc.bin")" \
  --resumable --sig-url "$nginx/payload.bin.sig" --sig "$(winpath "$work/ctrlc.bin.sig")" >"$work/ctrlc.out" 2>&1 &
job=$!
for _ in $(seq 1 100); do [ -s "$work/ctrlc.bin.part" ] && break; sleep 0.1; done
# The Wine process itself, not the shell around it.
pid=$(pgrep -f "^[^ ]*zvtool.exe fetch $fault/trickle" | head -n1)
if [ -n "$pid" ] && kill -INT "$pid"; then
  wait "$job"; rc=$?
  out=$(cat "$work/ctrlc.out")
  echo "ctrl-c: exit $rc: $(echo "$out" | tail -n1)"
  [ "$rc" -eq 3 ] || fail "ctrl-c: exit $rc, expected 3"
  has 'result=0 cancelled=1 connection_error=0' ctrl-c
  # Noticed at once, not after the 20 s the trickle takes.
  secs=$(echo "$out" | tail -n1 | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
  awk -v s="${secs:-99}" 'BEGIN { exit !(s < 10) }' || fail "ctrl-c: took ${secs:-?} s"
  [ ! -f "$work/ctrlc.bin" ] || fail "ctrl-c: a complete file was left"
  is_content_prefix "$work/ctrlc.bin.part" || fail "ctrl-c: the partial file lost or garbled its bytes"
  fetch ctrl-c-retry 0 "$fault/trickle?len=1000000&chunk=100000&delay=1" "$(winpath "$work/ctrlc.bin")" \
    --resumable --sig-url "$nginx/payload.bin.sig" --sig "$(winpath "$work/ctrlc.bin.sig")"
  [ "$(stat -c %s "$work/ctrlc.bin" 2>/dev/null)" = 1000000 ] && is_content_prefix "$work/ctrlc.bin" ||
    fail "ctrl-c-retry: the payload is not complete"
else
  fail "ctrl-c: no running zvtool to interrupt"
  kill "$job" 2>/dev/null; wait "$job" 2>/dev/null
fi

fetch missing 1 "$nginx/no-such-file.bin" "$(winpath "$work/missing.bin")"
has 'result=0 cancelled=0 connection_error=0 http_status=404' missing
[ ! -f "$work/missing.bin" ] || fail "missing: a file was written"

fetch dead-port 1 "$closed/payload.bin" "$(winpath "$work/dead.bin")" --resumable
has 'result=0 cancelled=0 connection_error=1' dead-port

fetch no-args 2
fetch bad-trace 2 "$nginx/small.txt" x --trace 9
fetch half-sig 2 "$nginx/small.txt" x --sig-url "$nginx/payload.bin.sig"
fetch unknown-option 2 "$nginx/small.txt" x --fast

finish "fetch cases"
