#!/usr/bin/env bash
# A large payload through the download pass, interrupted and resumed, then installed.
#
#   tools/install-resume-test.sh [SIZE_MIB] [RATE] [KILL_AFTER_S]   (defaults 64, 8m, 6; needs build/windows)
#
# Serves a signed stand-in installer padded to SIZE_MIB from a rate-limited nginx with a
# signed manifest offering it, runs `zvtool install` (the real check, download and
# install) under Wine and kills it (SIGKILL) KILL_AFTER_S seconds in, then runs it again
# to the end. Passes when nginx sent at most 1.05 times the payload for it in total (its
# access log), the second run continued with a ranged request, and the installer ran
# exactly once, with result code 0; exits 1 otherwise. The test key of tests/data/auth signs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/tests/harness/lib.sh"
size_mib=${1:-64}
rate=${2:-8m}
kill_after=${3:-6}
work=${RESUME_WORK:-$root/build/install-resume-test}
build=$root/build/windows
for f in "$build/tools/zvtool.exe" "$build/tests/updater/transfer/fake_installer.exe"; do
  [ -f "$f" ] || { echo "install-resume-test: build the windows preset first ($f missing)" >&2; exit 2; }
done
rm -rf "$work/runs" "$work/www" "$work/bin"
mkdir -p "$work/www" "$work/runs" "$work/bin"

wine_pid=
own_wine=
wine_state=${ZV_WINE_STATE:-}
if [ -z "$wine_state" ] || [ ! -f "$wine_state/env" ]; then wine_state="$work/wine"; own_wine=1; fi
cleanup() {
  [ -n "$wine_pid" ] && kill -9 "$wine_pid" 2>/dev/null || true
  bash "$root/tests/harness/nginx.sh" stop "$work/nginx" || true
  [ -z "$own_wine" ] || bash "$root/tests/harness/wine-env.sh" stop "$wine_state" >/dev/null || true
}
trap cleanup EXIT

exe_kib=$(( ($(stat -c %s "$build/tests/updater/transfer/fake_installer.exe") + 1023) / 1024 ))
bash "$root/tests/updater/core/sign_payload.sh" "$root/tests/data/auth/test_key.pem" \
  "$build/tests/updater/transfer/fake_installer.exe" "$work/www/inst.exe" $((size_mib * 1024 - exe_kib))
size=$(stat -c %s "$work/www/inst.exe")
# The updater reads its key beside the program.
cp "$build/tools/zvtool.exe" "$work/bin/"
cp "$root/tests/data/auth/test_key.pub" "$work/bin/quorkey.pub"

[ -z "$own_wine" ] || bash "$root/tests/harness/wine-env.sh" start "$wine_state" >/dev/null
bash "$root/tests/harness/nginx.sh" start "$work/nginx" "$work/www" "$rate" >/dev/null
port=$(cat "$work/nginx/port")
# shellcheck disable=SC1091
. "$wine_state/env"

marker="resume-$$-$RANDOM"
write_product_file "$work/bin/product.xml" "http://127.0.0.1:$port/$marker"
run() { # run number
  wine "$work/bin/zvtool.exe" install "$(winpath "$work/bin/product.xml")" \
    >"$work/runs/$1.out" 2>"$work/runs/$1.err" &
  wine_pid=$!
}
# A first check finds nothing and names the manifest's address.
run 0
wait "$wine_pid" || true
wine_pid=
url=$(tr -d '\r' < "$work/runs/0.out" | sed -n 's/^check: manifest //p')
path=${url#http://127.0.0.1:$port}
path=${path%%\?*}
[ -n "$url" ] && [ "$path" != "$url" ] || { echo "install-resume-test: no manifest address from zvtool install" >&2; exit 1; }

# A fresh id each time: the payload's local name carries it, so no earlier run's cache counts.
id=$(( (RANDOM << 15 | RANDOM) % 900000 + 1000 ))
mkdir -p "$work/www$(dirname "$path")"
cat > "$work/www$path" <<XML
<?xml version="1.0"?><ZV_Manifest name="tandemix" internalName="tdx" contentRevision="7"><UiItems>
<Application id="$id" componentName="tandemix" componentVersion="1.0.0.0" isSelected="1" isUnselectable="1" requiredSpaceMB="80" estInstallTimeMins="1">
<Url>http://127.0.0.1:$port/inst.exe</Url><CommandLineArgs>exit 0</CommandLineArgs><RequiresElevation>0</RequiresElevation></Application>
</UiItems></ZV_Manifest>
XML
bash "$root/tests/updater/core/sign_payload.sh" "$root/tests/data/auth/test_key.pem" "$work/www$path" "$work/www$path.signed"
mv "$work/www$path.signed.sig" "$work/www$path.sig"
rm -f "$work/www$path.signed"
run 1
sleep "$kill_after"
kill -9 "$wine_pid" 2>/dev/null || true
wait "$wine_pid" 2>/dev/null || true
wine_pid=
run 2
wait "$wine_pid" || true
wine_pid=
tr -d '\r' < "$work/runs/2.out" | grep -v '^progress' || true

python3 - "$work/nginx/access.log" "$size" "$work/runs" <<'PY'
import re, sys, glob
log, size, runs = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lines = [l.split() for l in open(log) if l.strip()]
payload = [l for l in lines if l[2].startswith("/inst.exe?")]
total = sum(int(re.search(r"sent=(\d+)", " ".join(l)).group(1)) for l in payload)
failures = []
for l in payload: print("nginx: " + " ".join(l))
if not any(l[0] == "206" and l[3].startswith("range=bytes=") for l in payload):
    failures.append("no ranged request continued the payload")
installs = 0
for out in sorted(glob.glob(runs + "/*.out")):
    text = open(out, encoding="utf-8", errors="replace").read().replace("\r", "")
    installs += len(re.findall(r"^install: \d+ .* applied 1 succeeded 1 result code 0$", text, re.M))
print("payload %d bytes; nginx sent %d bytes for it (%.3f x); installer runs: %d" % (size, total, total / size, installs))
if total > 1.05 * size: failures.append("nginx sent more than 1.05 x the payload")
if installs != 1: failures.append("the installer ran %d times" % installs)
for f in failures: print("install-resume-test: FAIL: " + f)
sys.exit(1 if failures else 0)
PY
