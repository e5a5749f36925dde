#!/usr/bin/env bash
# The launcher as a user meets it: the deployment folder made by the install rules, the
# demo utility 1.00 published to nginx, a fresh Wine prefix without the utility. The
# launcher must fetch, verify and run the demo installer, and then start the installed
# utility with its registered command line.
#   fresh_install.sh SOURCE_DIR BUILD_DIR WORK_DIR NATIVE_ZVTOOL
set -uo pipefail
. "$(dirname "$0")/../harness/lib.sh"
src=$1 build=$2 work=$3 zvtool=$4
[ -x "$zvtool" ] || { echo "SKIP: no native zvtool at $zvtool (build the native preset first)"; exit 77; }
harness=$src/tests/harness
rm -rf "$work" && mkdir -p "$work/www" "$work/payload"
stop_all() {
  [ -n "${trace_pid:-}" ] && kill "$trace_pid" 2>/dev/null
  bash "$harness/wine-env.sh" stop "$work/wine" >/dev/null 2>&1
  bash "$harness/nginx.sh" stop "$work/nginx" >/dev/null 2>&1
}
trap stop_all EXIT
# A set-up step that fails ends the test at once.
abort() { fail "$*"; finish system_fresh_install; }

mkdir -p "$work/key"
"$zvtool" keygen --private "$work/key/demo-private.pem" --public "$work/key/quorkey.pub" >/dev/null || abort "keygen"
bash "$harness/nginx.sh" start "$work/nginx" "$work/www" >/dev/null || abort "nginx"
server="http://127.0.0.1:$(cat "$work/nginx/port")"

# The deployment folder, exactly: the launcher, its pictures, the product file and the key.
ZV_DEMO_KEY_DIR=$work/key cmake --install "$build" --prefix "$work/deploy" >"$work/install.log" 2>&1 ||
  abort "install: $(cat "$work/install.log")"
want=$(printf '%s\n' ./Images/VeskBackground.png ./Images/by.png ./Images/close_button_grey.png \
  ./Images/close_button_red.png ./Images/logo_enu.png ./Images/logo_jpn.png ./Images/tandemLogo.png \
  ./Product.TandemVesk.xml ./VeskLaunchTandemixApp.exe ./quorkey.pub)
got=$(cd "$work/deploy" && find . -type f | LC_ALL=C sort)
[ "$got" = "$want" ] && pass "deployment folder holds exactly the launcher's files" || fail "deployment folder: $got"
cmp -s "$work/deploy/quorkey.pub" "$work/key/quorkey.pub" && pass "the given public key deployed" || fail "public key"

# This run's server in the product file and the manifest; the demo payload 1.00.
sed -i "s|<String id=\"IDS_PAYLOAD_SERVER_HOST\">[^<]*</String>|<String id=\"IDS_PAYLOAD_SERVER_HOST\">$server/Updates</String>|" \
  "$work/deploy/Product.TandemVesk.xml"
sed -e "s|@ZV_DEMO_SERVER@|$server|g" -e 's|@DEMO_VERSION@|1.00|g' -e 's|@DEMO_REVISION@|1|g' \
  -e 's|@DEMO_PAYLOAD@|kvchsetup-1.00.exe|g' "$src/demo/tandemix.man.xml.in" >"$work/KVCH_Setup.man.xml"
cp "$build/demo/1.00/KVCHSetup-1.00.exe" "$work/payload/"
"$zvtool" publish "$work/deploy/Product.TandemVesk.xml" "$work/KVCH_Setup.man.xml" "$work/payload/KVCHSetup-1.00.exe" \
  --key "$work/key/demo-private.pem" --out "$work/www" >"$work/publish.log" 2>&1 || abort "publish: $(cat "$work/publish.log")"

# A prefix of its own: the installer writes HKLM and Program Files.
bash "$harness/wine-env.sh" start "$work/wine" >"$work/wine.log" 2>&1 || abort "wine: $(cat "$work/wine.log")"
# shellcheck disable=SC1091
. "$work/wine/env"
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/ProgramData/QuorShrd/Updater"
printf '[Settings]\r\nTraceLevel=4\r\n' >"$drive_c/ProgramData/QuorShrd/Updater/ZvConfig.ini"
wine "$build/tools/zvtool.exe" trace --level 4 </dev/null >"$work/trace.log" 2>"$work/trace.err" &
trace_pid=$!
for _ in $(seq 1 100); do grep -q listening "$work/trace.err" && break; sleep 0.1; done
export KVCH_DEMO_RECORD='C:\kvch-starts.txt'
record=$drive_c/kvch-starts.txt
wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\KVCHHost.exe' >/dev/null 2>&1 &&
  abort "the fresh prefix already has the utility registered"

(cd "$work/deploy" && exec wine VeskLaunchTandemixApp.exe) </dev/null >"$work/launcher.log" 2>&1 &
for _ in $(seq 1 180); do
  grep -q 'KVCHHost 1.00 started' "$record" 2>/dev/null && break
  sleep 0.5
done
expected='KVCHHost 1.00 started: "C:\Program Files\Quorvane\Tandemix\KVCHHost.exe"'
if [ "$(tr -d '\r' <"$record" 2>/dev/null)" = "$expected" ]; then
  pass "the installed utility started once with its registered command line"
else
  fail "utility start: '$(cat "$record" 2>/dev/null)'; trace: $(tail -20 "$work/trace.log")"
fi
[ -f "$drive_c/Program Files/Quorvane/Tandemix/KVCHHost.exe" ] && pass "utility installed in Program Files" || fail "utility file"
version=$(wine reg query 'HKLM\SOFTWARE\Quorvane\Tandemix' /v Version 2>/dev/null | tr -d '\r' | awk '/Version/ {print $3}')
[ "$version" = "1.00" ] && pass "installed version registered" || fail "installed version '$version'"
# Each of the four resources once, in the order the launcher needs them, all answered.
requests=$(awk '{print $1, $3}' "$work/nginx/access.log" | sed 's/?.*//')
order=$(printf '%s\n' "$requests" | awk '{print $2}' | sed -E 's|.*/||' | uniq | tr '\n' ' ')
case "$order" in
  "kvch_setup.man.xml.sig kvch_setup.man.xml "*kvchsetup-1.00.exe*) pass "manifest signature, manifest, then the payload" ;;
  *) fail "request order: $order" ;;
esac
# 206: the size check asks for the payload's first byte only.
grep -qvE '^(200|206) ' <<<"$requests" && fail "a request was not answered: $requests" || pass "every request answered (200, or 206 for the size check)"
(cd "$work/deploy" && timeout 20 wine VeskLaunchTandemixApp.exe /x) </dev/null >/dev/null 2>&1
finish system_fresh_install
