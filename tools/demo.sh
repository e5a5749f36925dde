#!/usr/bin/env bash
# The product end to end on this machine: installs what it needs, builds, publishes the
# demo utility 1.00 to a local nginx, runs the deployed launcher under Wine for a fresh
# install, then publishes 1.10 and runs it again for the update. On $DISPLAY when set,
# otherwise on Xvfb with screenshots. Everything it starts is stopped when it ends.
#
#   bash tools/demo.sh            output in build/demo-run (ZV_DEMO_DIR to choose)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
run=${ZV_DEMO_DIR:-$root/build/demo-run}
shots=$run/screenshots
logs=$run/logs
wait_secs=${ZV_DEMO_WAIT_SECS:-120}

say() { printf '\n== demo: %s\n' "$*"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }

bash tools/bootstrap.sh

rm -rf "$run"
mkdir -p "$shots" "$logs" "$run/www"
trace_pid=
# Screenshots only on a display of our own (Xvfb).
shooting=1
[ -z "${DISPLAY:-}" ] || shooting=
stop_all() {
  set +e
  if [ -f "$run/wine/env" ]; then
    # The launcher's own close switch first, so it ends as a user's logoff would end it.
    (cd "$run/deploy" 2>/dev/null && timeout 20 wine VeskLaunchTandemixApp.exe /x </dev/null >/dev/null 2>&1)
  fi
  [ -n "$trace_pid" ] && kill "$trace_pid" 2>/dev/null
  bash tests/harness/wine-env.sh stop "$run/wine" >/dev/null 2>&1
  bash tests/harness/nginx.sh stop "$run/nginx" >/dev/null 2>&1
  [ -n "$trace_pid" ] && wait "$trace_pid" 2>/dev/null
  if [ -n "${shooting:-}" ]; then
    printf '\ndemo: screenshots in %s\n' "$shots"
  else
    printf '\ndemo: no screenshots (the demo ran on the display %s)\n' "${DISPLAY:-}"
  fi
  printf 'demo: logs in %s\n' "$logs"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

say "local update server"
bash tests/harness/nginx.sh start "$run/nginx" "$run/www"
server="http://127.0.0.1:$(cat "$run/nginx/port")"

say "build (logs in $logs)"
[ -f build/native/build.ninja ] || cmake --preset native >"$logs/configure-native.log"
cmake --build build/native --target zvtool -j2 >"$logs/build-native.log" || die "native build failed, see $logs/build-native.log"
cmake --preset windows -DZV_DEMO_SERVER="$server" >"$logs/configure-windows.log" ||
  die "windows configure failed, see $logs/configure-windows.log"
cmake --build build/windows --target VeskLaunchTandemixApp zv_demo zvtool -j2 >"$logs/build-windows.log" ||
  die "windows build failed, see $logs/build-windows.log"
zvtool=build/native/tools/zvtool
demo=build/windows/demo

say "demo key pair and the deployment folder"
bash demo/make-demo-key.sh "$zvtool" build/demo-key
cmake --install build/windows --prefix "$run/deploy" >"$logs/install.log"
(cd "$run/deploy" && find . -type f | sort)

publish() {
  local version=$1
  "$zvtool" publish "$run/deploy/Product.TandemVesk.xml" "$demo/$version/KVCH_Setup.man.xml" \
    "$demo/$version/KVCHSetup-$version.exe" --key build/demo-key/demo-private.pem --out "$run/www" \
    >"$logs/publish-$version.log" || die "publish $version failed, see $logs/publish-$version.log"
  grep -v '^published:' "$logs/publish-$version.log" || true
}

say "publish the utility 1.00 to $server"
publish 1.00

say "Wine"
if [ -z "$shooting" ]; then
  ZV_WINE_DISPLAY=$DISPLAY bash tests/harness/wine-env.sh start "$run/wine"
else
  bash tests/harness/wine-env.sh start "$run/wine"
fi
# shellcheck disable=SC1091
. "$run/wine/env"
# On the user's screen, windows get their frames from the user's window manager.
[ -n "$shooting" ] || wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d Y /f >/dev/null 2>&1
drive_c=$WINEPREFIX/drive_c
# The library's diagnostics at level 4, read live by zvtool trace.
mkdir -p "$drive_c/ProgramData/QuorShrd/Updater"
printf '[Settings]\r\nTraceLevel=4\r\n' >"$drive_c/ProgramData/QuorShrd/Updater/ZvConfig.ini"
wine build/windows/tools/zvtool.exe trace --level 4 </dev/null >"$logs/trace.log" 2>"$logs/trace.err" &
trace_pid=$!
for _ in $(seq 1 100); do grep -q listening "$logs/trace.err" && break; sleep 0.1; done
grep -q listening "$logs/trace.err" || die "zvtool trace did not start: $(cat "$logs/trace.err")"
# The demo utility notes each start here.
export KVCH_DEMO_RECORD='C:\kvch-starts.txt'
record=$drive_c/kvch-starts.txt

shot() { [ -n "$shooting" ] && import -display "$DISPLAY" -window root "$shots/$1.png" 2>/dev/null || true; }

# Starts the launcher and waits for the utility of VERSION to be started, a screenshot a second.
run_launcher() {
  local name=$1 version=$2 i
  (cd "$run/deploy" && exec wine VeskLaunchTandemixApp.exe) </dev/null >"$logs/launcher-$name.log" 2>&1 &
  for i in $(seq -w 1 "$wait_secs"); do
    sleep 1
    shot "$name-$i"
    grep -q "KVCHHost $version started" "$record" 2>/dev/null && break
    if grep -q 'progress window requested.*none in this build' "$logs/trace.log"; then
      sleep 2
      shot "$name-no-window"
      say "this launcher build has no progress window yet, so it does not run the install flow;"
      echo "demo: the demo stops here (the launcher, server, tree and Wine set-up above worked)."
      exit 2
    fi
  done
  grep -q "KVCHHost $version started" "$record" 2>/dev/null ||
    die "the utility $version was not started within $wait_secs s; see $logs/trace.log"
  sleep 2
  shot "$name-utility"
  echo "demo: $(grep "KVCHHost $version started" "$record" | tail -1 | tr -d '\r')"
  wine reg query 'HKLM\SOFTWARE\Quorvane\Tandemix' /v Version 2>/dev/null | tr -d '\r' | grep Version || true
}

say "fresh install: the launcher finds no utility, installs 1.00 from the server and starts it"
run_launcher fresh 1.00

say "publish the utility 1.10"
publish 1.10
# The running launcher and utility end, as at a logoff; the next start is a new session.
(cd "$run/deploy" && wine VeskLaunchTandemixApp.exe /x) </dev/null >/dev/null 2>&1 || true
wine taskkill /f /im KVCHHost.exe </dev/null >/dev/null 2>&1 || true
sleep 2

say "update: the launcher finds 1.00 installed, installs 1.10 and starts it"
run_launcher update 1.10

say "done: fresh install of 1.00 and update to 1.10"
