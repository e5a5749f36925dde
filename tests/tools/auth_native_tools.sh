#!/usr/bin/env bash
# Native zvtool keygen and sign: the committed fixtures still come out of the signer
# byte for byte (PKCS#1 v1.5 is deterministic), a fresh key pair signs what the openssl
# command line accepts once the bytes are turned round, and errors leave nothing behind.
#
#   auth_native_tools.sh DATA_DIR WORK_DIR ZVTOOL
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
data=$(cd "${1:?data dir}" && pwd)
work=${2:?work dir}
zvtool=${3:?zvtool}
fresh_work_dir "$work"

# 1. Re-signing the fixtures gives the committed signature files exactly.
for f in hello.txt empty.bin payload.bin; do
  cp "$data/$f" "$work/$f"
  if "$zvtool" sign --key "$data/test_key.pem" "$work/$f" >/dev/null && cmp -s "$work/$f.sig" "$data/$f.sig"; then
    pass "re-signing $f reproduces its committed signature"
  else
    fail "re-signing $f reproduces its committed signature"
  fi
done
line=$(head -n1 "$data/hello.txt.sig")
if [[ "$line" =~ ^[0-9A-F]{512}$ ]] && [ "$(wc -l < "$data/hello.txt.sig")" -eq 1 ]; then
  pass "signature file: 512 upper-case digits on one line"
else
  fail "signature file: 512 upper-case digits on one line"
fi

# 2. A fresh pair: blob layout, and the openssl command line agrees with the signature.
if "$zvtool" keygen --private "$work/k.pem" --public "$work/k.pub" >/dev/null; then
  pass "keygen"
else
  fail "keygen"
fi
header=$(head -c 20 "$work/k.pub" | od -An -tx1 | tr -d ' \n')
# PUBLICKEYBLOB, version 2, CALG_RSA_SIGN, "RSA1", 2048 bits, exponent 65537
if [ "$header" = "0602000000240000525341310008000001000100" ] && [ "$(stat -c %s "$work/k.pub")" -eq 276 ]; then
  pass "public key blob header and size"
else
  fail "public key blob header and size ($header)"
fi
if [ "$(stat -c %a "$work/k.pem")" = "600" ]; then pass "private key readable by its owner only"; else fail "private key mode"; fi
modulus_blob=$(tail -c 256 "$work/k.pub" | od -An -v -tx1 | tr -d ' \n' | fold -w2 | tac | tr -d '\n' | tr 'a-f' 'A-F')
modulus_pem=$(openssl rsa -in "$work/k.pem" -noout -modulus | sed 's/^Modulus=//')
if [ "$modulus_blob" = "$modulus_pem" ]; then pass "blob modulus is the key's, least significant byte first"; else fail "blob modulus"; fi

head -c 70000 /dev/urandom > "$work/random.bin"
"$zvtool" sign --key "$work/k.pem" "$work/random.bin" >/dev/null
openssl pkey -in "$work/k.pem" -pubout -out "$work/k-pub.pem" 2>/dev/null
python3 -c 'import sys; open(sys.argv[2], "wb").write(bytes.fromhex(open(sys.argv[1]).readline().strip())[::-1])' \
  "$work/random.bin.sig" "$work/random.bin.sig.raw"
if openssl dgst -md5 -verify "$work/k-pub.pem" -signature "$work/random.bin.sig.raw" "$work/random.bin" >/dev/null; then
  pass "openssl dgst -md5 -verify accepts the turned-round signature"
else
  fail "openssl dgst -md5 -verify accepts the turned-round signature"
fi
if "$zvtool" verify --key "$work/k.pub" "$work/random.bin" >/dev/null; then pass "verify of a fresh signature"; else fail "verify of a fresh signature"; fi

# 3. Refusals.
before=$(cat "$work/k.pub" | md5sum)
if ! "$zvtool" keygen --private "$work/k.pem" --public "$work/k.pub" >/dev/null 2>&1 && [ "$(cat "$work/k.pub" | md5sum)" = "$before" ]; then
  pass "keygen keeps existing key files"
else
  fail "keygen keeps existing key files"
fi
# The private key is owner-only from its creation, also when --force replaces a file
# that others could read, and no key is ever written through a symbolic link.
(umask 000 && "$zvtool" keygen --private "$work/u.pem" --public "$work/u.pub" >/dev/null)
if [ "$(stat -c %a "$work/u.pem")" = "600" ]; then pass "private key mode 600 under umask 000"; else fail "private key mode under umask 000 ($(stat -c %a "$work/u.pem"))"; fi
printf 'old' > "$work/wide.pem" && chmod 644 "$work/wide.pem"
if "$zvtool" keygen --force --private "$work/wide.pem" --public "$work/wide.pub" >/dev/null && \
   [ "$(stat -c %a "$work/wide.pem")" = "600" ] && grep -q "PRIVATE KEY" "$work/wide.pem"; then
  pass "keygen --force over a world-readable file leaves an owner-only key"
else
  fail "keygen --force over a world-readable file leaves an owner-only key ($(stat -c %a "$work/wide.pem"))"
fi
printf 'victim' > "$work/victim" && chmod 644 "$work/victim"
ln -s "$work/victim" "$work/link.pem"
ln -s "$work/nowhere.pem" "$work/dangling.pem"
for force in "" "--force"; do
  for link in link dangling; do
    # shellcheck disable=SC2086
    "$zvtool" keygen $force --private "$work/$link.pem" --public "$work/$link-$force.pub" >/dev/null 2>&1
    rc=$?
    if [ $rc -eq 1 ] && [ -L "$work/$link.pem" ] && [ "$(cat "$work/victim")" = "victim" ] && \
       [ "$(stat -c %a "$work/victim")" = "644" ] && [ ! -e "$work/nowhere.pem" ] && [ ! -e "$work/$link-$force.pub" ]; then
      pass "keygen ${force:-without --force} refuses a symbolic link ($link) as private key"
    else
      fail "keygen ${force:-without --force} refuses a symbolic link ($link) as private key (exit $rc)"
    fi
  done
done
ln -s "$work/victim" "$work/link.pub"
"$zvtool" keygen --force --private "$work/l2.pem" --public "$work/link.pub" >/dev/null 2>&1
rc=$?
if [ $rc -eq 1 ] && [ "$(cat "$work/victim")" = "victim" ] && [ ! -e "$work/l2.pem" ]; then
  pass "keygen --force refuses a symbolic link as public key and writes nothing"
else
  fail "keygen --force refuses a symbolic link as public key and writes nothing (exit $rc)"
fi
if ls "$work" | grep -q '\.new-'; then fail "temporary key files left behind"; else pass "no temporary key files left behind"; fi

"$zvtool" sign --key "$work/k.pem" "$work/no-such-file" >/dev/null 2>&1
rc=$?
if [ $rc -eq 1 ] && [ ! -e "$work/no-such-file.sig" ] && [ ! -e "$work/no-such-file.sig.tmp" ]; then
  pass "signing a missing file fails and writes nothing"
else
  fail "signing a missing file fails and writes nothing (exit $rc)"
fi
cp "$data/hello.txt" "$work/mixed.txt"
"$zvtool" sign --key "$work/k.pem" "$work/no-such-file" "$work/mixed.txt" >/dev/null 2>&1
rc=$?
if [ $rc -eq 1 ] && "$zvtool" verify --key "$work/k.pub" "$work/mixed.txt" >/dev/null; then
  pass "a missing file among others fails the run; the others are still signed"
else
  fail "a missing file among others fails the run; the others are still signed (exit $rc)"
fi
cp "$work/random.bin.sig" "$work/keep.sig"
"$zvtool" sign --key "$data/test_key.pub" "$work/random.bin" >/dev/null 2>&1
rc=$?
if [ $rc -eq 1 ] && cmp -s "$work/random.bin.sig" "$work/keep.sig"; then
  pass "a public key blob is no signing key; the old signature stays"
else
  fail "a public key blob is no signing key (exit $rc)"
fi
for args in "sign" "sign --key $work/k.pem" "verify --key $work/k.pub" "verify $work/random.bin" "keygen --private $work/x.pem" \
            "keygen --private $work/x.pem --public $work/x.pub --bits 1000" "verify --key $work/k.pub a b c"; do
  # shellcheck disable=SC2086
  "$zvtool" $args >/dev/null 2>&1
  rc=$?
  if [ $rc -eq 2 ]; then pass "usage error: zvtool ${args//$work\//}"; else fail "usage error: zvtool ${args//$work\//} (exit $rc)"; fi
done
[ ! -e "$work/x.pem" ] && [ ! -e "$work/x.pub" ] && pass "no key written on a usage error" || fail "key written on a usage error"

finish auth_native_tools
