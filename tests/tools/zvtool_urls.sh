#!/usr/bin/env bash
# zvtool urls prints exactly the addresses the updater requests.
#   zvtool_urls.sh PRODUCT_XML RUNNER... (the zvtool command, possibly behind run-wine.sh)
set -uo pipefail
xml=$1
shift
fail=0

check() {
  local name=$1 expected=$2
  shift 2
  local got
  got=$("$@" 2>&1)
  if [ "$got" != "$expected" ]; then
    echo "FAIL $name"
    diff <(echo "$expected") <(echo "$got")
    fail=1
  else
    echo "ok   $name"
  fi
}

base='http://127.0.0.1:8080/updates/quorvane/peripherals/tandemix/1.00/0'
check "xp 32, launcher defaults" "payload: $base/_xp/32/kvch_setup.exe
payload-signature: $base/_xp/32/kvch_setup.exe.sig
manifest: $base/_xp/32/kvch_setup.man.xml
manifest-signature: $base/_xp/32/kvch_setup.man.xml.sig
query: zv.uos=xp&zv.ubi=32&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=quorvane&h.tandemix=0.00.00
manifest-request: $base/_xp/32/kvch_setup.man.xml?zv.uos=xp&zv.ubi=32&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=quorvane&h.tandemix=0.00.00
manifest-signature-request: $base/_xp/32/kvch_setup.man.xml.sig?zv.uos=xp&zv.ubi=32&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=quorvane&h.tandemix=0.00.00" \
  "$@" urls "$xml" --os xp --bits 32

b2='http://127.0.0.1:8080/updates/tessaron/peripherals/tandemix/1.00/0'
check "7 64, brand and installed version" "payload: $b2/_w7/64/kvch_setup.exe
payload-signature: $b2/_w7/64/kvch_setup.exe.sig
manifest: $b2/_w7/64/kvch_setup.man.xml
manifest-signature: $b2/_w7/64/kvch_setup.man.xml.sig
query: zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=tessaron&h.tandemix=2.10.5
manifest-request: $b2/_w7/64/kvch_setup.man.xml?zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=tessaron&h.tandemix=2.10.5
manifest-signature-request: $b2/_w7/64/kvch_setup.man.xml.sig?zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=tessaron&h.tandemix=2.10.5" \
  "$@" urls "$xml" --brand Tessaron --installed tandemix=2.10.5 --os w7 --bits 64

# Errors: a clear line and a non-zero exit.
for args in "urls" "urls $xml --os xp" "urls $xml --os beos --bits 32" "urls $xml --bits 16 --os xp" "urls $xml --frob" "urls /nonexistent/Product.xml"; do
  # shellcheck disable=SC2086
  out=$("$@" $args 2>&1); rc=$?
  if [ $rc -eq 0 ] || ! grep -q 'zvtool urls' <<<"$out"; then
    echo "FAIL error case '$args' (rc=$rc): $out"; fail=1
  else
    echo "ok   error case '$args'"
  fi
done
exit $fail
