#!/usr/bin/env bash
# Copies a program to OUT, padded with PAD_KIB KiB of zeros (a program still runs with
# data after it), and writes OUT.sig: the hexadecimal RSA signature over MD5, least
# significant byte first, as the updater reads it.
#   sign_payload.sh KEY.pem IN OUT [PAD_KIB]
set -euo pipefail
key=$1 in=$2 out=$3 pad=${4:-0}
cp "$in" "$out"
[ "$pad" -eq 0 ] || head -c $((pad * 1024)) /dev/zero >> "$out"
openssl dgst -md5 -sign "$key" "$out" | python3 -c 'import sys; sys.stdout.write(sys.stdin.buffer.read()[::-1].hex().upper() + "\n")' > "$out.sig"
