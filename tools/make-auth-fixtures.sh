#!/usr/bin/env bash
# Regenerates the signature test fixtures in tests/data/auth with the native zvtool:
# a fixed test key pair (test only: never deploy it), a second key that signed nothing
# there, a 4096-bit key, and signed sample files. The tests compare against these files,
# so rerun this only when the formats change, then commit the result.
#
#   tools/make-auth-fixtures.sh [path/to/native/zvtool]
set -euo pipefail
cd "$(dirname "$0")/.."
zvtool=${1:-build/native/tools/zvtool}
[ -x "$zvtool" ] || { echo "make-auth-fixtures: build the native zvtool first ($zvtool)" >&2; exit 1; }
out=tests/data/auth
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$out"
rm -f "$out"/*.pem "$out"/*.pub "$out"/*.sig "$out"/*.txt "$out"/*.bin

"$zvtool" keygen --private "$out/test_key.pem" --public "$out/test_key.pub" >/dev/null
"$zvtool" keygen --private "$work/other.pem" --public "$out/other_key.pub" >/dev/null
"$zvtool" keygen --bits 4096 --private "$work/big.pem" --public "$out/big_key.pub" >/dev/null

printf 'Quorvane update manifest sample\r\nsecond line\r\n' > "$out/hello.txt"
: > "$out/empty.bin"
# Binary content with NUL, CR, LF and high bytes.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 37 + 11) % 256 for i in range(3001)))' > "$out/payload.bin"
"$zvtool" sign --key "$out/test_key.pem" "$out/hello.txt" "$out/empty.bin" "$out/payload.bin" >/dev/null

# The same file signed with the 4096-bit key, under another name.
cp "$out/hello.txt" "$work/hello.txt"
"$zvtool" sign --key "$work/big.pem" "$work/hello.txt" >/dev/null
cp "$work/hello.txt.sig" "$out/hello.txt.big_key.sig"
echo "make-auth-fixtures: wrote $(ls "$out" | wc -l) files to $out"
