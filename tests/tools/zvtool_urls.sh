#!/usr/bin/env bash
# zvtool urls prints exactly the addresses the updater requests.
#   zvtool_urls.sh PRODUCT_XML RUNNER... (the zvtool command, possibly behind run-wine.sh)
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
xml=$1
shift
tool=("$@")

# expect_urls NAME FOLDER QUERY ARGS...: FOLDER holds the payload and the manifest.
expect_urls() {
  local name=$1 dir=$2 query=$3
  shift 3
  local expected="payload: $dir/kvch_setup.exe
payload-signature: $dir/kvch_setup.exe.sig
manifest: $dir/kvch_setup.man.xml
manifest-signature: $dir/kvch_setup.man.xml.sig
query: $query
manifest-request: $dir/kvch_setup.man.xml?$query
manifest-signature-request: $dir/kvch_setup.man.xml.sig?$query"
  local got
  got=$("${tool[@]}" urls "$xml" "$@" 2>&1)
  if [ "$got" != "$expected" ]; then
    fail "$name"
    diff <(echo "$expected") <(echo "$got")
  else
    pass "$name"
  fi
}

expect_urls "xp 32, launcher defaults" \
  'http://127.0.0.1:8080/updates/quorvane/peripherals/tandemix/1.00/0/_xp/32' \
  'zv.uos=xp&zv.ubi=32&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=quorvane&h.tandemix=0.00.00' \
  --os xp --bits 32
expect_urls "7 64, brand and installed version" \
  'http://127.0.0.1:8080/updates/tessaron/peripherals/tandemix/1.00/0/_w7/64' \
  'zv.uos=_w7&zv.ubi=64&zv.ulv=2.40.40&zv.hp=tandemvesk&zv.hv=1.00&zv.hpo=0&zv.hl=enu&zv.hbr=tessaron&h.tandemix=2.10.5' \
  --brand Tessaron --installed tandemix=2.10.5 --os w7 --bits 64

# Errors: a clear line and the exit code (2 for usage errors, 1 for an unreadable file).
while read -r want args; do
  # shellcheck disable=SC2086
  out=$("${tool[@]}" $args 2>&1); rc=$?
  if [ $rc -ne "$want" ] || ! grep -q 'zvtool urls' <<<"$out"; then
    fail "error case '$args' (rc=$rc, want $want): $out"
  else
    pass "error case '$args'"
  fi
done <<EOF
2 urls
2 urls $xml --os xp
2 urls $xml --os beos --bits 32
2 urls $xml --bits 16 --os xp
2 urls $xml --frob
2 urls $xml --brand
2 urls $xml --installed tandemix
2 urls $xml --installed =2.10.5
2 urls $xml $xml
1 urls /nonexistent/Product.xml
EOF
finish "zvtool urls"
