#!/usr/bin/env bash
# A whole-file download that cannot finish writing keeps the old copy: zvtool fetch
# under Wine with a file-size limit stands in for a full disk (the write fails) and,
# with the limit's signal left on, for a crash in the middle of the write.
#   whole_file_full_disk.sh HTTP_STATE_DIR WORK_DIR ZVTOOL_EXE RUN_WINE
set -uo pipefail
state=${1:?}; work=${2:?}; zvtool=${3:?}; run_wine=${4:?}
rm -rf "$work"; mkdir -p "$work"
url="http://127.0.0.1:$(cat "$state/nginx.port")/payload.bin"
www="$state/www"
winpath() { echo "Z:$1" | tr / '\\'; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
old="the copy from before"

# The payload is over 1 MiB; the limit lets 256 KiB be written.
printf '%s' "$old" > "$work/full.bin"
( trap '' XFSZ; ulimit -f 256; bash "$run_wine" "$zvtool" fetch "$url" "$(winpath "$work/full.bin")" ) \
  > "$work/full.out" 2>&1; rc=$?
echo "full disk: exit $rc: $(grep '^fetch:' "$work/full.out")"
[ "$rc" -eq 1 ] || fail "full disk: exit $rc, expected 1"
grep -q '^fetch: result=0 ' "$work/full.out" || fail "full disk: not reported as failed"
[ "$(cat "$work/full.bin")" = "$old" ] || fail "full disk: the old copy was damaged"
[ -z "$(ls "$work" | grep -v -e '^full\.bin$' -e '^full\.out$')" ] || fail "full disk: files left behind: $(ls "$work")"

printf '%s' "$old" > "$work/crash.bin"
( ulimit -f 256; bash "$run_wine" "$zvtool" fetch "$url" "$(winpath "$work/crash.bin")" ) > "$work/crash.out" 2>&1
rc=$?
echo "crash: exit $rc"
[ "$rc" -ne 0 ] || fail "crash: the process was not stopped by the limit"
[ "$(cat "$work/crash.bin")" = "$old" ] || fail "crash: the old copy was damaged"

# Without the limit the same download replaces the old copy, crash leftover included.
out=$(bash "$run_wine" "$zvtool" fetch "$url" "$(winpath "$work/crash.bin")" 2>/dev/null); rc=$?
echo "after: exit $rc: $out"
[ "$rc" -eq 0 ] || fail "after: exit $rc, expected 0"
cmp -s "$work/crash.bin" "$www/payload.bin" || fail "after: bytes differ"
[ -z "$(ls "$work" | grep zvnew)" ] || fail "after: temporary file left behind"

[ "$failures" -eq 0 ] && echo "full disk cases: all passed" || { echo "full disk cases: $failures failed"; exit 1; }
