#!/usr/bin/env bash
# The signature cases every verifier must agree on, run against one `zvtool verify`:
# the native build (OpenSSL) or the Windows build under Wine (the product's CryptoAPI
# check). Both get the same fixtures and the same expectations.
#
#   auth_verify_cases.sh DATA_DIR WORK_DIR ZVTOOL [WRAPPER...]
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
data=$(cd "${1:?data dir}" && pwd)
work=${2:?work dir}
shift 2
tool=("$@")
[ ${#tool[@]} -gt 0 ] || { echo "usage: $0 DATA_DIR WORK_DIR ZVTOOL [WRAPPER...]" >&2; exit 2; }

fresh_work_dir "$work"

# check NAME EXPECTED_EXIT EXPECTED_TEXT KEY FILE [SIGFILE]
check() {
  local name=$1 want=$2 text=$3
  shift 3
  local key=$1
  shift
  local out rc
  out=$("${tool[@]}" verify --key "$key" "$@" 2>&1)
  rc=$?
  if [ "$rc" -eq "$want" ] && [[ "$out" == *"$text"* ]] && [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ]; then
    pass "$name"
  else
    fail "$name: exit $rc (want $want), output: $out (want one line with '$text')"
  fi
}

sig_line() { head -n1 "$data/$1.sig" | tr -d '\r\n'; }
hello=$(sig_line hello.txt)
key="$data/test_key.pub"
ok="verified: "
mismatch="signature does not match"
malformed="signature line is not an even number of hexadecimal digits"

check "signed text file" 0 "$ok" "$key" "$data/hello.txt"
check "signed empty file" 0 "$ok" "$key" "$data/empty.bin"
check "signed binary file" 0 "$ok" "$key" "$data/payload.bin"
check "explicit signature file" 0 "$ok" "$key" "$data/payload.bin" "$data/payload.bin.sig"
check "4096-bit key" 0 "$ok" "$data/big_key.pub" "$data/hello.txt" "$data/hello.txt.big_key.sig"

# The data changed.
python3 - "$data/payload.bin" "$work/flipped.bin" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read()); b[1500] ^= 0x01
open(sys.argv[2], 'wb').write(b)
PY
check "one bit of the data flipped" 1 "$mismatch" "$key" "$work/flipped.bin" "$data/payload.bin.sig"
{ cat "$data/hello.txt"; printf 'x'; } > "$work/longer.txt"
check "one byte appended to the data" 1 "$mismatch" "$key" "$work/longer.txt" "$data/hello.txt.sig"
head -c -1 "$data/hello.txt" > "$work/shorter.txt"
check "last byte of the data removed" 1 "$mismatch" "$key" "$work/shorter.txt" "$data/hello.txt.sig"
check "signature of another file" 1 "$mismatch" "$key" "$data/hello.txt" "$data/payload.bin.sig"
check "empty data, signature of another file" 1 "$mismatch" "$key" "$data/empty.bin" "$data/hello.txt.sig"

# Wrong keys.
check "another key of the same size" 1 "$mismatch" "$data/other_key.pub" "$data/hello.txt"
check "4096-bit key, 2048-bit signature" 1 "signature length does not match the key" "$data/big_key.pub" "$data/hello.txt"
check "missing key file" 1 "public key not found" "$work/no-such-key.pub" "$data/hello.txt"
: > "$work/empty.pub"
check "empty key file" 1 "public key not found" "$work/empty.pub" "$data/hello.txt"
head -c 100 "$key" > "$work/truncated.pub"
check "truncated key file" 1 "public key is not an RSA public-key blob" "$work/truncated.pub" "$data/hello.txt"
head -c -1 "$key" > "$work/short.pub"
check "key file one byte short" 1 "public key is not an RSA public-key blob" "$work/short.pub" "$data/hello.txt"
{ cat "$key"; printf '\n'; } > "$work/padded.pub"
check "key file with a byte appended" 1 "public key is not an RSA public-key blob" "$work/padded.pub" "$data/hello.txt"
check "private key PEM as key file" 1 "public key is not an RSA public-key blob" "$data/test_key.pem" "$data/hello.txt"
head -c 4000 /dev/zero > "$work/huge.pub"
check "key file larger than any key" 1 "public key not found" "$work/huge.pub" "$data/hello.txt"

# Signature file layouts that carry the right signature.
printf '%s' "$hello" > "$work/no-eol.sig"
check "signature without a line end" 0 "$ok" "$key" "$data/hello.txt" "$work/no-eol.sig"
printf '%s\r\n' "$hello" > "$work/crlf.sig"
check "signature with CRLF" 0 "$ok" "$key" "$data/hello.txt" "$work/crlf.sig"
printf '%s\r' "$hello" > "$work/cr.sig"
check "signature ending in a lone CR" 0 "$ok" "$key" "$data/hello.txt" "$work/cr.sig"
printf '%s\nsecond line is ignored\nZZZ\n' "$hello" > "$work/more-lines.sig"
check "further lines are ignored" 0 "$ok" "$key" "$data/hello.txt" "$work/more-lines.sig"
printf '%s\n' "$(printf '%s' "$hello" | tr 'A-F' 'a-f')" > "$work/lower.sig"
check "lower-case digits" 0 "$ok" "$key" "$data/hello.txt" "$work/lower.sig"

# Malformed or wrong signatures.
printf '%s\n' "${hello:0:-1}" > "$work/odd.sig"
check "odd number of digits" 1 "$malformed" "$key" "$data/hello.txt" "$work/odd.sig"
printf '%s\n' "G${hello:1}" > "$work/nonhex-first.sig"
check "non-hex digit first in a pair" 1 "$malformed" "$key" "$data/hello.txt" "$work/nonhex-first.sig"
printf '%s\n' "${hello:0:11}z${hello:12}" > "$work/nonhex-second.sig"
check "non-hex digit second in a pair" 1 "$malformed" "$key" "$data/hello.txt" "$work/nonhex-second.sig"
printf '%s \n' "${hello:0:-1}" > "$work/space.sig"
check "space in place of a digit" 1 "$malformed" "$key" "$data/hello.txt" "$work/space.sig"
printf '%s \n' "$hello" > "$work/trailing-space.sig"
check "trailing blank" 1 "$malformed" "$key" "$data/hello.txt" "$work/trailing-space.sig"
: > "$work/empty.sig"
check "empty signature file" 1 "$malformed" "$key" "$data/hello.txt" "$work/empty.sig"
printf '\n%s\n' "$hello" > "$work/blank-first.sig"
check "signature on the second line" 1 "$malformed" "$key" "$data/hello.txt" "$work/blank-first.sig"
printf '%s%s\n' "$hello" "$hello" > "$work/doubled.sig"
check "signature twice as long" 1 "signature length does not match the key" "$key" "$data/hello.txt" "$work/doubled.sig"
printf '%s\n' "${hello:4}" > "$work/short.sig"
check "signature two bytes short" 1 "signature length does not match the key" "$key" "$data/hello.txt" "$work/short.sig"
python3 -c 'print("A" * 10000)' > "$work/long-line.sig"
check "first line longer than any signature" 1 "$malformed" "$key" "$data/hello.txt" "$work/long-line.sig"
last=${hello: -1}
if [ "$last" = "0" ]; then other=1; else other=0; fi
printf '%s%s\n' "${hello:0:-1}" "$other" > "$work/digit.sig"
check "one digit of the signature changed" 1 "$mismatch" "$key" "$data/hello.txt" "$work/digit.sig"
python3 - "$hello" "$work/reversed.sig" <<'PY'
import sys
b = bytes.fromhex(sys.argv[1])[::-1]
open(sys.argv[2], 'w').write(b.hex().upper() + '\n')
PY
check "signature in the other byte order" 1 "$mismatch" "$key" "$data/hello.txt" "$work/reversed.sig"

python3 -c 'print("FF" * 256)' > "$work/all-ones.sig"
check "signature larger than the modulus" 1 "$mismatch" "$key" "$data/hello.txt" "$work/all-ones.sig"
python3 -c 'print("00" * 256)' > "$work/all-zero.sig"
check "signature of zeros" 1 "$mismatch" "$key" "$data/hello.txt" "$work/all-zero.sig"
cp "$data/hello.txt" "$work/name with spaces.txt"
cp "$data/hello.txt.sig" "$work/name with spaces.txt.sig"
check "paths with spaces" 0 "$ok" "$key" "$work/name with spaces.txt"

# Missing files (the product retries opening for a few seconds first).
check "missing signature file" 1 "signature file cannot be read" "$key" "$data/hello.txt" "$work/no-such.sig"
check "missing data file" 1 "data file cannot be read" "$key" "$work/no-such.txt" "$data/hello.txt.sig"

finish auth_verify_cases
