#!/usr/bin/env bash
# zvtool check under Wine against the test run's nginx: the product file names the
# server, the tool prints the manifest URL, the outcome and the selection, and exits
# 0 when the manifest loaded, 1 when it did not, 2 for a usage error.
#   zvtool_check.sh SOURCE_DIR HTTP_STATE_DIR WORK_DIR ZVTOOL_EXE RUN_WINE
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=${1:?}; state=${2:?}; fresh_work_dir "${3:?}"; zvtool_built=${4:?}; run_wine=${5:?}
port=$(cat "$state/nginx.port")
closed=$(cat "$state/closed.port")
marker="zvcheck-$$-$RANDOM"
www="$state/www"
data="$src/tests/data/core/retrieval"

# The updater trusts the key installed beside the program.
cp "$zvtool_built" "$work/zvtool.exe"
cp "$src/tests/data/auth/test_key.pub" "$work/quorkey.pub"

write_product_file "$work/live.xml" "http://127.0.0.1:$port/$marker"
write_product_file "$work/dead.xml" "http://127.0.0.1:$closed/$marker"

# check NAME EXPECTED_EXIT EXPECTED_LINES_AFTER_URL ARGS...: $url holds the printed URL
check() {
  local name=$1 want_rc=$2 want=$3; shift 3
  local out rc
  out=$(run_wine "$run_wine" "$work/zvtool.exe" check "$@" 2>"$work/$name.err" | tr -d '\r'); rc=${PIPESTATUS[0]}
  url=$(echo "$out" | sed -n '1s/^manifest //p')
  local rest
  rest=$(echo "$out" | tail -n +2)
  if [ "$rc" -eq "$want_rc" ] && [ "$rest" = "$want" ] && [ -n "$url" ]; then
    pass "$name"
  else
    fail "$name: exit $rc (want $want_rc), output [$out], want after the URL [$want]"
  fi
}

# Nothing served yet: the signature is missing.
check "nothing served" 1 $'outcome failed\nselected none' "$(winpath "$work/live.xml")"
case "$url" in
  "http://127.0.0.1:$port/$marker/quorvane/peripherals/tandemix/1.00/0/"*"/setup.man.xml?"*) pass "manifest URL $url" ;;
  *) fail "manifest URL: $url" ;;
esac
path=${url#http://127.0.0.1:$port}
path=${path%%\?*}
mkdir -p "$www$(dirname "$path")"
cp "$data/signed.man.xml" "$www$path"
cp "$data/signed.man.xml.sig" "$www$path.sig"

check "signed manifest" 0 $'outcome loaded\nselected 7 tandemix 2.0' "$(winpath "$work/live.xml")"
# The signature was asked for before the manifest.
order=$(grep -F "$marker" "$state/nginx/access.log" | grep -o 'setup\.man\.xml[.a-z]*?' | tail -n 2 | tr '\n' ' ')
[ "$order" = "setup.man.xml.sig? setup.man.xml? " ] && pass "signature first" || fail "request order: $order"
check "installed and current" 0 $'outcome loaded\nselected none' "$(winpath "$work/live.xml")" --installed tandemix=2.0
check "trace on stderr" 0 $'outcome loaded\nselected 7 tandemix 2.0' "$(winpath "$work/live.xml")" --trace 2
grep -q "\*\*\*\* Manifest: Loaded manifest file" "$work/trace on stderr.err" && pass "trace lines" || fail "no load line at --trace 2"

cp "$data/signed.man.xml.stranger.sig" "$www$path.sig"
check "signed by another key" 1 $'outcome failed\nselected none' "$(winpath "$work/live.xml")" --trace 1
grep -q "failed authentication" "$work/signed by another key.err" && pass "refusal logged" || fail "refusal not logged"

check "dead server" 1 $'outcome failed\nselected none' "$(winpath "$work/dead.xml")"

for args in "" "--installed" "--installed tandemix" "--trace 9 x.xml" "a.xml b.xml" "--bogus a.xml"; do
  # shellcheck disable=SC2086
  run_wine "$run_wine" "$work/zvtool.exe" check $args >/dev/null 2>&1
  rc=$?
  [ "$rc" -eq 2 ] && pass "usage error: '$args'" || fail "usage error '$args': exit $rc"
done
finish zvtool_check
