#!/usr/bin/env bash
# The two signature implementations check each other on fresh keys and files:
#   native zvtool keygen + sign (OpenSSL)  ->  Windows zvtool verify (the product, CryptoAPI under Wine)
#   CryptoAPI CryptGenKey + CryptSignHash  ->  native zvtool verify (OpenSSL)
#
#   auth_cross.sh WORK_DIR NATIVE_ZVTOOL WINDOWS_ZVTOOL CRYPTOAPI_SIGN RUN_WINE
# Exits 77 (skipped) when the native zvtool has not been built.
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
work=${1:?work dir}
native=${2:?native zvtool}
winzv=${3:?windows zvtool}
signer=${4:?cryptoapi_sign}
runwine=${5:?run-wine.sh}
if [ ! -x "$native" ]; then
  echo "SKIPPED: no native zvtool at $native (build the native preset first; tools/test.sh does)"
  exit 77
fi
fresh_work_dir "$work"
expect() { # NAME WANT_EXIT CMD...
  local name=$1 want=$2 out rc
  shift 2
  out=$("$@" 2>&1)
  rc=$?
  if [ $rc -eq "$want" ]; then pass "$name"; else fail "$name: exit $rc (want $want): $out"; fi
}
win() { run_wine "$runwine" "$@"; }

make_files() { # DIR: files of awkward sizes around the hash block and the read chunk
  mkdir -p "$1"
  : > "$1/zero.bin"
  head -c 1 /dev/urandom > "$1/one.bin"
  head -c 64 /dev/urandom > "$1/block.bin"
  head -c 262145 /dev/urandom > "$1/chunk-plus-one.bin"
  head -c 3000000 /dev/urandom > "$1/large.bin"
}
flip_last_byte() {
  python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[-1] ^= 0x80; open(p, "wb").write(b)' "$1"
}
files="zero.bin one.bin block.bin chunk-plus-one.bin large.bin"

# Native signs, the product verifies.
make_files "$work/n"
expect "native keygen" 0 "$native" keygen --private "$work/n/key.pem" --public "$work/n/key.pub"
# shellcheck disable=SC2086
expect "native sign" 0 "$native" sign --key "$work/n/key.pem" $(for f in $files; do echo "$work/n/$f"; done)
for f in $files; do
  expect "product accepts native signature of $f" 0 win "$winzv" verify --key "$work/n/key.pub" "$work/n/$f"
done
flip_last_byte "$work/n/large.bin"
expect "product refuses native signature of a changed file" 1 win "$winzv" verify --key "$work/n/key.pub" "$work/n/large.bin"
expect "native refuses it too" 1 "$native" verify --key "$work/n/key.pub" "$work/n/large.bin"

# CryptoAPI signs, OpenSSL verifies.
make_files "$work/w"
# shellcheck disable=SC2086
expect "CryptoAPI key and signatures" 0 win "$signer" "$work/w/key.pub" $(for f in $files; do echo "$work/w/$f"; done)
for f in $files; do
  expect "native accepts CryptoAPI signature of $f" 0 "$native" verify --key "$work/w/key.pub" "$work/w/$f"
done
expect "product accepts its own CryptoAPI signature" 0 win "$winzv" verify --key "$work/w/key.pub" "$work/w/block.bin"
flip_last_byte "$work/w/one.bin"
expect "native refuses CryptoAPI signature of a changed file" 1 "$native" verify --key "$work/w/key.pub" "$work/w/one.bin"
expect "native refuses the other key" 1 "$native" verify --key "$work/n/key.pub" "$work/w/block.bin"
expect "product refuses the other key" 1 win "$winzv" verify --key "$work/n/key.pub" "$work/w/block.bin"

finish auth_cross
