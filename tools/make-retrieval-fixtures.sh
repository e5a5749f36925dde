#!/usr/bin/env bash
# Signs the manifest that the retrieval tests serve, with the native zvtool: its
# signature by the test key (tests/data/auth/test_key.pem), and one by a throw-away key
# that the updater does not trust. Rerun after editing signed.man.xml, then commit.
#
#   tools/make-retrieval-fixtures.sh [path/to/native/zvtool]
set -euo pipefail
cd "$(dirname "$0")/.."
zvtool=${1:-build/native/tools/zvtool}
[ -x "$zvtool" ] || { echo "make-retrieval-fixtures: build the native zvtool first ($zvtool)" >&2; exit 1; }
out=tests/data/core/retrieval
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$zvtool" sign --key tests/data/auth/test_key.pem "$out/signed.man.xml" >/dev/null
"$zvtool" keygen --private "$work/stranger.pem" --public "$work/stranger.pub" >/dev/null
cp "$out/signed.man.xml" "$work/signed.man.xml"
"$zvtool" sign --key "$work/stranger.pem" "$work/signed.man.xml" >/dev/null
cp "$work/signed.man.xml.sig" "$out/signed.man.xml.stranger.sig"
echo "make-retrieval-fixtures: signed $out/signed.man.xml"
