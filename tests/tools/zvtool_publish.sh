#!/usr/bin/env bash
# zvtool publish: the tree lands where zvtool urls says the launcher asks, every file
# verifies, and each refused manifest leaves the output folder exactly as it was.
#   zvtool_publish.sh SOURCE_DIR WORK_DIR ZVTOOL
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=$1 work=$2 zvtool=$3
data=$src/tests/data/tools/publish
xml=$src/tests/data/tools/Product.urls.xml
rm -rf "$work" && mkdir -p "$work/payloads"
"$zvtool" keygen --private "$work/k.pem" --public "$work/k.pub" >/dev/null || fail "keygen"
head -c 70000 /dev/urandom >"$work/payloads/KVCH_Setup.exe"
head -c 3000 /dev/urandom >"$work/payloads/extra.exe"
pay=("$work/payloads/KVCH_Setup.exe" "$work/payloads/extra.exe")
out=$work/server

# The good manifest: every OS row's manifest address and both payloads, all signed.
if "$zvtool" publish "$xml" "$data/good.man.xml" "${pay[@]}" --key "$work/k.pem" --out "$out" >"$work/log" 2>&1; then
  pass "publish of the good manifest"
else
  fail "publish of the good manifest: $(cat "$work/log")"
fi
grep -qx 'rows selecting: 20 of 20' "$work/log" && pass "rows counted" || fail "rows counted: $(tail -1 "$work/log")"
for row in "xp 32" "_w7 64" "s12 32" "2k 64"; do
  set -- $row
  path=$("$zvtool" urls "$xml" --os "$1" --bits "$2" | sed -n 's|^manifest: http://[^/]*/||p')
  if cmp -s "$out/$path" "$data/good.man.xml" && "$zvtool" verify --key "$work/k.pub" "$out/$path" >/dev/null; then
    pass "manifest for $row at $path, verified"
  else
    fail "manifest for $row at $path"
  fi
done
for name in kvch_setup.exe extra.exe; do
  file=$out/updates/quorvane/peripherals/tandemix/payloads/$name
  src_file=$(ls "$work"/payloads/* | grep -i "/$name\$")
  if cmp -s "$file" "$src_file" && "$zvtool" verify --key "$work/k.pub" "$file" >/dev/null; then
    pass "payload $name in place, verified"
  else
    fail "payload $name"
  fi
done
# Nothing but the 20 manifests, the 2 payloads and their signatures; no staging left behind.
count=$(find "$out" -type f | wc -l)
[ "$count" -eq 44 ] && pass "44 files published" || fail "$count files published, want 44"
ls -A "$work" | grep -q '^\.zvpublish' && fail "staging folder left behind" || pass "no staging folder left"

# Refusals: exit 1, the message, and the output folder unchanged (an empty one and the
# published one).
snapshot() { (cd "$1" 2>/dev/null && find . -type f -exec md5sum {} + | sort); }
while IFS='|' read -r name manifest payloads message; do
  for target in "$work/empty" "$out"; do
    before=$(snapshot "$target")
    # shellcheck disable=SC2086
    got=$("$zvtool" publish "$xml" "$data/$manifest" $payloads --key "$work/k.pem" --out "$target" 2>&1); rc=$?
    if [ $rc -eq 1 ] && grep -q "zvtool publish: refused: .*$message.*; nothing written" <<<"$got" &&
       [ "$(snapshot "$target")" = "$before" ] && [ ! -e "$work/empty" ] && ! ls -A "$work" | grep -q '^\.zvpublish'; then
      pass "refused: $name ($(basename "$target"))"
    else
      fail "refused: $name ($(basename "$target")): rc=$rc $got"
    fi
  done
done <<EOF
manifest does not load|broken.man.xml|${pay[*]}|does not load
manifest missing|missing.man.xml|${pay[*]}|does not load
selects nothing for any OS row|none.man.xml|${pay[0]}|selects nothing for any OS row
URL on another host|elsewhere.man.xml|${pay[0]}|outside the server tree
URL climbs out of the tree|climbs.man.xml|${pay[0]}|outside the server tree
URL names a payload not given|unknown.man.xml|${pay[0]}|no payload named other.exe
given payload unused|good.man.xml|${pay[*]} $work/k.pub|payload $work/k.pub is named by no selectable item
payload file missing|good.man.xml|${pay[*]} $work/nothing.exe|is not a readable file
EOF

# A key that does not load: refused before anything is staged.
got=$("$zvtool" publish "$xml" "$data/good.man.xml" "${pay[@]}" --key "$work/k.pub" --out "$work/empty" 2>&1); rc=$?
[ $rc -eq 1 ] && [ ! -e "$work/empty" ] && grep -q 'refused' <<<"$got" && pass "refused: unusable key" || fail "refused: unusable key: rc=$rc $got"
finish zvtool_publish
