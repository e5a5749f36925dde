#!/usr/bin/env bash
# A demo-only signing key pair, made fresh on this machine and never committed:
#   make-demo-key.sh ZVTOOL OUT_DIR
# OUT_DIR/demo-private.pem signs the demo server's files; OUT_DIR/quorkey.pub goes into the
# deployment folder. An existing pair is kept, so a published tree stays valid.
set -euo pipefail
zvtool=${1:?native zvtool}
out=${2:?output folder}
mkdir -p "$out"
if [ -s "$out/demo-private.pem" ] && [ -s "$out/quorkey.pub" ]; then
  echo "demo key: keeping $out/quorkey.pub"
  exit 0
fi
"$zvtool" keygen --private "$out/demo-private.pem" --public "$out/quorkey.pub" --force
