#!/usr/bin/env bash
# zvtool install under Wine against the test run's nginx: the product file names the
# server; the tool checks for real (signed manifest), downloads the signed payloads and
# runs them, printing each step's start and result, the progress and each installer's
# result code. Exit 0 installed, 1 failed, 2 usage.
#   zvtool_install.sh SOURCE_DIR HTTP_STATE_DIR WORK_DIR ZVTOOL_EXE FAKE_INSTALLER_EXE RUN_WINE
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=${1:?}; state=${2:?}; fresh_work_dir "${3:?}"; zvtool_built=${4:?}; installer=${5:?}; run_wine=${6:?}
port=$(cat "$state/nginx.port")
marker="zvinstall-$$-$RANDOM"
www="$state/www"
key="$src/tests/data/auth/test_key.pem"
sign() { bash "$src/tests/updater/core/sign_payload.sh" "$key" "$@"; }

# The updater trusts the key installed beside the program.
cp "$zvtool_built" "$work/zvtool.exe"
cp "$src/tests/data/auth/test_key.pub" "$work/quorkey.pub"
write_product_file "$work/product.xml" "http://127.0.0.1:$port/$marker"
product=$(winpath "$work/product.xml")

# install NAME ARGS...: output (CR dropped) in $out, exit code in $rc
install() {
  local name=$1; shift
  out=$(run_wine "$run_wine" "$work/zvtool.exe" install "$@" 2>"$work/$name.err" | tr -d '\r'); rc=${PIPESTATUS[0]}
}
# expect NAME WANT_RC WANT_LINES: the output without its manifest and progress lines
expect() {
  local got
  # The estimate depends on the rate measured so far.
  got=$(echo "$out" | grep -v -e '^check: manifest ' -e '^progress: ' | sed 's/, about [0-9]* s$/, about N s/')
  if [ "$rc" -eq "$2" ] && [ "$got" = "$3" ]; then pass "$1"; else fail "$1: exit $rc (want $2), lines [$got], want [$3]"; fi
}

install "nothing served" "$product"
expect "nothing served" 1 $'check: start\ncheck: result 0'
url=$(echo "$out" | sed -n 's/^check: manifest //p')
path=${url#http://127.0.0.1:$port}
path=${path%%\?*}
case "$url" in
  "http://127.0.0.1:$port/$marker/quorvane/peripherals/tandemix/1.00/0/"*"/setup.man.xml?"*) pass "manifest URL" ;;
  *) fail "manifest URL: [$url]"; finish zvtool_install ;;
esac

# serve ITEMS_XML: the manifest, signed
serve() {
  mkdir -p "$www$(dirname "$path")"
  printf '<?xml version="1.0"?><ZV_Manifest name="tandemix" internalName="zvinstall" contentRevision="1"><UiItems>%s</UiItems></ZV_Manifest>\n' "$1" > "$work/manifest.xml"
  sign "$work/manifest.xml" "$www$path"
}
# item ID NAME PAYLOAD ARGS
item() {
  printf '<Application id="%s" componentName="%s" componentVersion="2.0" isSelected="1" requiredSpaceMB="1" estInstallTimeMins="1"><Url>http://127.0.0.1:%s/%s/%s</Url><CommandLineArgs>%s</CommandLineArgs><RequiresElevation>0</RequiresElevation></Application>' \
    "$1" "$2" "$port" "$marker" "$3" "$4"
}
mkdir -p "$www/$marker"
# A payload padded to 2 MiB, so that the progress moves in steps.
sign "$installer" "$www/$marker/one.exe" 2048
sign "$installer" "$www/$marker/two.exe"
bytes=$(stat -c %s "$www/$marker/one.exe")

# Fresh ids each run: a payload's local name carries its id, so no earlier run's copy counts.
id=$(( RANDOM % 9000 * 100 + 100000 ))
ran="$work/ran-one.txt"
serve "$(item $id tandemix one.exe "sleep 10 $(winpath "$ran")")"
install "one installable" "$product"
expect "one installable" 0 "check: start
check: result 1
selected $id tandemix 2.0
download: start
download: 1 installable(s), $bytes bytes, about N s
download: 1/1 'tandemix' from byte 0
download: result 1 (cancelled 0, connection error 0)
install: start
install: 1 'tandemix' applied 1 succeeded 1 result code 0
install: result 1"
[ -f "$ran" ] && pass "the installer ran" || fail "the installer did not run (no $ran)"
progress=$(echo "$out" | sed -n 's/^progress: \([0-9]*\)%$/\1/p' | tr '\n' ' ')
python3 -c '
import sys
p = [int(x) for x in sys.argv[1].split()]
sys.exit(0 if len(p) >= 3 and p == sorted(set(p)) and p[-1] == 100 else 1)' "$progress" \
  && pass "progress rises to 100: $progress" || fail "progress lines: [$progress]"

# Two installables: each result code; a nonzero exit code is recorded, not judged.
rm -f "$ran"
id2=$((id + 1)); id3=$((id + 2))
serve "$(item $id2 tandemix one.exe "sleep 10 $(winpath "$ran")")$(item $id3 tandemix-extra two.exe "exit 1603")"
install "two installables" "$product" --installed tandemix-extra=1.0
got=$(echo "$out" | grep -e '^install: ' -e '^selected ' -e '^download: result')
want="selected $id2 tandemix 2.0
selected $id3 tandemix-extra 2.0
download: result 1 (cancelled 0, connection error 0)
install: start
install: 1 'tandemix' applied 1 succeeded 1 result code 0
install: 2 'tandemix-extra' applied 1 succeeded 1 result code 1603
install: result 1"
[ "$rc" -eq 0 ] && [ "$got" = "$want" ] && pass "two installables" || fail "two installables: exit $rc, lines [$got]"
[ -f "$ran" ] && pass "the first installer ran" || fail "the first installer did not run"

# Current already: nothing to download or run.
install "installed and current" "$product" --installed tandemix=2.0 --installed tandemix-extra=2.0
expect "installed and current" 0 "check: start
check: result 1
selected none
download: start
download: result 1 (cancelled 0, connection error 0)
install: start
install: result 1"

# A payload whose signature is another's: downloaded, refused, never run.
rm -f "$ran"
id4=$((id + 3))
cp "$www/$marker/two.exe.sig" "$www/$marker/one.exe.sig"
serve "$(item $id4 tandemix one.exe "sleep 10 $(winpath "$ran")")"
install "tampered payload" "$product" --trace 1
got=$(echo "$out" | grep -e '^download: result' -e '^install')
[ "$rc" -eq 1 ] && [ "$got" = "download: result 0 (cancelled 0, connection error 0)" ] && pass "tampered payload refused" \
  || fail "tampered payload: exit $rc, lines [$got]"
[ ! -f "$ran" ] && pass "the tampered payload did not run" || fail "the tampered payload ran"
grep -q "failed authentication" "$work/tampered payload.err" && pass "refusal traced" || fail "refusal not traced"

# Ctrl+C during a slow download: cancelled, nothing run, exit 3. The payload comes from
# an nginx of this test's own, limited to 1 MiB/s.
slow="$work/slow-nginx"
trap 'bash "$src/tests/harness/nginx.sh" stop "$slow" >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir -p "$work/slow-www/$marker"
bash "$src/tests/harness/nginx.sh" start "$slow" "$work/slow-www" 1m >/dev/null
slow_port=$(cat "$slow/port")
sed "s#127.0.0.1:$port/#127.0.0.1:$slow_port/#" "$work/product.xml" > "$work/slow.xml"
sign "$installer" "$work/slow-www/$marker/slow.exe" 16384
rm -f "$ran"
id5=$((id + 4))
mkdir -p "$work/slow-www$(dirname "$path")"
printf '<?xml version="1.0"?><ZV_Manifest name="tandemix" internalName="zvinstall" contentRevision="1"><UiItems>%s</UiItems></ZV_Manifest>\n' \
  "$(item $id5 tandemix slow.exe "sleep 10 $(winpath "$ran")" | sed "s#127.0.0.1:$port/#127.0.0.1:$slow_port/#")" > "$work/slow-manifest.xml"
sign "$work/slow-manifest.xml" "$work/slow-www$path"
# shellcheck disable=SC1091
. "${ZV_WINE_STATE:?}/env"
wine "$work/zvtool.exe" install "$(winpath "$work/slow.xml")" >"$work/ctrlc.out" 2>"$work/ctrlc.err" &
pid=$!
for _ in $(seq 1 300); do grep -q "^progress: [1-9]" "$work/ctrlc.out" 2>/dev/null && break; sleep 0.1; done
kill -INT "$pid"
wait "$pid"; rc=$?
got=$(tr -d '\r' < "$work/ctrlc.out" | grep -e '^download: result' -e '^install')
[ "$rc" -eq 3 ] && [ "$got" = "download: result 0 (cancelled 1, connection error 0)" ] && pass "Ctrl+C cancels the download" \
  || fail "Ctrl+C: exit $rc, lines [$got]"
grep -q "zvtool install: cancelling" "$work/ctrlc.err" && pass "Ctrl+C acknowledged" || fail "no cancelling line"
[ ! -f "$ran" ] && pass "nothing ran after Ctrl+C" || fail "the installer ran after Ctrl+C"

for args in "" "--installed" "--installed tandemix x.xml" "--trace 9 x.xml" "a.xml b.xml" "--manifest m.xml a.xml"; do
  # shellcheck disable=SC2086
  run_wine "$run_wine" "$work/zvtool.exe" install $args >/dev/null 2>"$work/usage.err"
  code=$?
  [ "$code" -eq 2 ] && pass "usage error: '$args'" || fail "usage error '$args': exit $code: $(head -c 400 "$work/usage.err")"
done
finish zvtool_install
