#!/usr/bin/env bash
# zvtool simulate end to end on the example manifests of tests/data/core: the exact
# standard output and exit code, and the selection's reasons with --trace.
# Usage: zvtool_simulate_test.sh SOURCE_DIR ZVTOOL...
set -uo pipefail
src=$1
shift
tool=("$@")
fail=0

# A file of the source tree as the program names it (the Z: drive under Wine).
path() {
  local p="$src/$1"
  if [ "${ZV_WINDOWS:-0}" = 1 ]; then p="Z:${p//\//\\}"; fi
  printf '%s' "$p"
}
data() { path "tests/data/core/$1.man.xml"; }
machine() { path "tests/data/expr/machines/$1.profile"; }

check() { # name expected-output expected-exit args...
  local name=$1 want=$2 wantrc=$3
  shift 3
  local got rc
  got=$("${tool[@]}" simulate "$@" 2>/dev/null | tr -d '\r')
  rc=${PIPESTATUS[0]}
  if [ "$got" != "$want" ] || [ "$rc" != "$wantrc" ]; then
    printf 'FAIL: %s\n  want [%s] exit %s\n  got  [%s] exit %s\n' "$name" "$want" "$wantrc" "$got" "$rc"
    fail=1
  else
    printf 'ok: %s\n' "$name"
  fi
}

w7=$(machine win7)
xp=$(machine xp64)

check "selection and type masks" $'selected 11 part-a 3.0\nselected 1 selected 1.0' 0 "$(data masks)" --machine "$w7"

check "no installed versions: every item passes" $'selected 1 tandemix 1.0.0.5\nselected 2 other 9.0\nselected 3 driver 2.1' 0 \
  "$(data versions)" --machine "$w7"
check "version test" 'selected 1 tandemix 1.0.0.5' 0 "$(data versions)" --machine "$w7" --installed tandemix=0.00.00 --installed driver=2.1
check "version test, all installed and current" 'selected none' 0 "$(data versions)" --machine "$w7" --installed tandemix=1.0.0.5

check "requirements on Windows 7" $'selected 1 win7-only 1.0\nselected 2 soft-fails 1.0\nselected 3 unevaluable 1.0' 0 \
  "$(data requirements)" --machine "$w7"
check "requirements with a variable set" $'selected 1 win7-only 1.0\nselected 2 soft-fails 1.0\nselected 3 unevaluable 1.0\nselected 4 german-win7 1.0' 0 \
  "$(data requirements)" --machine "$w7" --var lang=DEU
check "hard requirement fails on XP" $'selected 2 soft-fails 1.0\nselected 3 unevaluable 1.0' 0 \
  "$(data requirements)" --machine "$xp" --var lang=DEU

check "one item per product GUID, both orders" $'selected 2 newer-second 1.1\nselected 3 newer-first 2.1\nselected 5 tie-first 3.0' 0 \
  "$(data guid)" --machine "$w7"

check "bonus items" $'selected 1 tandemix 1.0\nselected 2 extra-tool 0.1' 0 "$(data bonus)" --machine "$w7"
check "bonus item passes the version test it fails" 'selected 2 extra-tool 0.1' 0 "$(data bonus)" --machine "$w7" --installed tandemix=2.0

check "containers and dependencies on Windows 7" $'selected 23 firmware 4.0\nselected 1 standalone 1.0' 0 "$(data containers)" --machine "$w7"
check "containers and dependencies on XP" $'selected 21 core-driver 4.0\nselected 22 panel 4.0\nselected 23 firmware 4.0\nselected 1 standalone 1.0' 0 \
  "$(data containers)" --machine "$xp"

check "a manifest that does not load" '' 1 "$(data broken)"
check "a missing manifest" '' 1 "$(data no-such-manifest)"

# The reader's message goes to standard error.
err=$("${tool[@]}" simulate "$(data broken)" 2>&1 >/dev/null | tr -d '\r')
case "$err" in
  *"cannot load"*"Element 'UiItems' at offset 49 not ended"*) echo "ok: reader's message" ;;
  *) echo "FAIL: reader's message: [$err]"; fail=1 ;;
esac

# The selection's reasons with --trace.
err=$("${tool[@]}" simulate "$(data versions)" --machine "$w7" --installed tandemix=0.00.00 --trace 3 2>&1 >/dev/null | tr -d '\r')
for line in \
  "[Info2] ZV: ZvLib: ----> GetListOfItems: eBonusItemMask: 4294967295l, eCriteriaResultMask: 77l, eUserSelectionMask: 2l, eTypeMask: 2l.  Ids are Id within manifest." \
  "[Info2] ZV: ZvLib: ----- GetListOfItems: T Item 1 (tandemix) passed version comparison test.  Version on server > installedVersion: 1.0.0.5 > 0.00.00" \
  "[Info2] ZV: ZvLib: ----- GetListOfItems: F Item 2 (other) failed one or more criteria (CnCv ), will not be presented to the application."; do
  if grep -qxF -- "$line" <<<"$err"; then echo "ok: trace has: ${line:0:60}..."; else echo "FAIL: trace lacks [$line]"; fail=1; fi
done
# Without --trace the library stays silent.
err=$("${tool[@]}" simulate "$(data versions)" --machine "$w7" 2>&1 >/dev/null | tr -d '\r')
if grep -q "ZV:" <<<"$err"; then echo "FAIL: log lines without --trace"; fail=1; else echo "ok: silent without --trace"; fi

# Usage errors exit 2.
for args in "" "--bogus" "$(data masks) --trace 9" "$(data masks) --installed novalue" "$(data masks) $(data bonus)" "$(data masks) --lang"; do
  # shellcheck disable=SC2086
  "${tool[@]}" simulate $args >/dev/null 2>&1
  rc=$?
  if [ "$rc" = 2 ]; then echo "ok: usage error: [$args]"; else echo "FAIL: usage error [$args] exit $rc"; fail=1; fi
done
exit $fail
