#!/usr/bin/env bash
# The fault matrix under Wine, the launcher run as a user meets it: lays out an update
# server tree the way zvtool publish does (the manifest where zvtool urls says the launcher
# asks, the payload under payloads/, each signed by the test key), serves it with the fault
# server in tree mode, puts the matrix program beside a product file that points at that
# server, the public key and the pictures, and runs every cell. The cells' result lines go to RESULTS for the matrix table.
#
# ZV_MATRIX_VERBOSE=1 in the environment prints the library log of every cell.
#
#   fault_matrix.sh SOURCE_DIR WORK_DIR RUN_WINE MATRIX_EXE INSTALLER_EXE UTILITY_EXE ZVTOOL RESULTS
set -uo pipefail
src=$1 work=$2 run_wine=$3 matrix_exe=$4 installer_exe=$5 utility_exe=$6 zvtool=$7 results=$8
. "$src/tests/harness/lib.sh"
sign() { bash "$src/tests/updater/core/sign_payload.sh" "$src/tests/data/auth/test_key.pem" "$1" "$2"; }

rm -rf "$work" && mkdir -p "$work/app" "$work/tree" || exit 2
work=$(cd "$work" && pwd)

python3 "$src/tests/harness/fault_server.py" "$work/fault.port" --tree "$work/tree" --fault-file "$work/fault.txt" \
  </dev/null >/dev/null 2>"$work/fault-server.log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 1 50); do [ -s "$work/fault.port" ] && break; sleep 0.1; done
[ -s "$work/fault.port" ] || { echo "fault server did not start"; cat "$work/fault-server.log"; exit 1; }
origin="http://127.0.0.1:$(cat "$work/fault.port")"

sed "s|http://127.0.0.1:8080/Updates|$origin/Updates|" "$src/tests/data/tools/Product.urls.xml" >"$work/app/Product.TandemVesk.xml"
# The matrix program runs the launcher in its child processes: its pictures (the close
# button among them) go beside it, as beside the launcher.
cp "$matrix_exe" "$work/app/" && cp "$utility_exe" "$work/app/KVCHHost.exe" &&
  cp "$src/tests/data/auth/test_key.pub" "$work/app/quorkey.pub" && cp -r "$src/src/skin/images" "$work/app/Images" || exit 2

# Where the launcher on this machine asks for its manifest.
manifest_url=$(bash "$run_wine" "$zvtool" urls "$(winpath "$work/app/Product.TandemVesk.xml")" | sed -n 's|^manifest: ||p')
case "$manifest_url" in "$origin"/*) ;; *) echo "zvtool urls gave no manifest address on $origin: '$manifest_url'"; exit 1 ;; esac
manifest_path=${manifest_url#"$origin"/}
payload_path=updates/quorvane/peripherals/tandemix/payloads/kvch_setup.exe
mkdir -p "$work/tree/$(dirname "$manifest_path")" "$work/tree/$(dirname "$payload_path")"
cat >"$work/manifest.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<ZV_Manifest name="tandemix" internalName="fault-matrix" contentRevision="1">
  <UiItems>
    <Application id="1" componentName="tandemix" componentVersion="2.00.00" isSelected="1" requiredSpaceMB="5" estInstallTimeMins="1">
      <Url>$origin/$payload_path</Url>
    </Application>
  </UiItems>
</ZV_Manifest>
XML
sign "$work/manifest.xml" "$work/tree/$manifest_path" && sign "$installer_exe" "$work/tree/$payload_path" || exit 2
echo "fault_matrix: serving $manifest_path and $payload_path on $origin"

closed_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
ZV_MATRIX_WORK=$(winpath "$work") ZV_MATRIX_PAYLOAD=$(winpath "$work/tree/$payload_path") \
  ZV_MATRIX_UTILITY=$(winpath "$work/app/KVCHHost.exe") ZV_MATRIX_APP=$(winpath "$work/app") \
  ZV_MATRIX_PORT=$(cat "$work/fault.port") ZV_MATRIX_CLOSED_PORT=$closed_port \
  bash "$run_wine" "$work/app/$(basename "$matrix_exe")" | tee "$work/matrix-output.txt"
rc=${PIPESTATUS[0]}
mkdir -p "$(dirname "$results")"
grep '^MATRIX|' "$work/matrix-output.txt" >"$results"
echo "fault_matrix: $(wc -l <"$results") cell lines in $results"
python3 "$src/tools/fault-matrix-table.py" "$results" "$work/fault-matrix.md" || rc=1
exit "$rc"
