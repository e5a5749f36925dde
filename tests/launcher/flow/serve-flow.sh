#!/usr/bin/env bash
# The update server of the launcher's flow tests: a private nginx, slowed to 1 MB/s so a
# download lasts a few seconds, serving a signed installer, and a signed manifest that
# names it, staged for the test to put where this machine's request asks for it.
#
#   serve-flow.sh start STATE_DIR KEY.pem INSTALLER.exe
#   serve-flow.sh stop  STATE_DIR
# STATE_DIR/nginx/port, STATE_DIR/nginx/access.log, STATE_DIR/www, STATE_DIR/staged.man.xml(.sig)
set -euo pipefail
cmd=${1:?start or stop}
state=$(mkdir -p "${2:?state directory}" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
harness="$here/../../harness"
sign="$here/../../updater/core/sign_payload.sh"

case "$cmd" in
  start)
    key=${3:?key} installer=${4:?installer}
    rm -rf "$state/www" && mkdir -p "$state/www/flow"
    bash "$harness/nginx.sh" start "$state/nginx" "$state/www" 1m
    port=$(cat "$state/nginx/port")
    # About three seconds at the server's rate.
    bash "$sign" "$key" "$installer" "$state/www/flow/kvch_payload.exe" 3072
    cat > "$state/staged.man.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<ZV_Manifest name="tandemix" internalName="flow" contentRevision="1">
  <UiItems>
    <Application id="1" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="10" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/kvch_payload.exe</Url>
      <CommandLineArgs></CommandLineArgs>
      <RequiresElevation>0</RequiresElevation>
    </Application>
  </UiItems>
</ZV_Manifest>
XML
    bash "$sign" "$key" "$state/staged.man.xml" "$state/staged.man.xml.tmp"
    mv "$state/staged.man.xml.tmp.sig" "$state/staged.man.xml.sig"
    rm -f "$state/staged.man.xml.tmp"

    # --- recovery-*: what must never run. A payload changed after signing, a manifest
    # changed after signing, and a manifest signed with a key the launcher does not hold;
    # each staged as STATE/recovery-<case>.man.xml(.sig).
    recovery_manifest() { # NAME PAYLOAD_FILE KEY
      sed "s|/flow/kvch_payload.exe|/flow/$2|" "$state/staged.man.xml" > "$state/$1.man.xml"
      bash "$sign" "$3" "$state/$1.man.xml" "$state/$1.man.xml.tmp"
      mv "$state/$1.man.xml.tmp.sig" "$state/$1.man.xml.sig"
      rm -f "$state/$1.man.xml.tmp"
    }
    # The last byte of the padding changed: the program still runs, were it ever started.
    tampered="$state/www/flow/recovery_tampered.exe"
    bash "$sign" "$key" "$installer" "$tampered" 64
    printf '\001' | dd of="$tampered" bs=1 seek=$(( $(stat -c %s "$tampered") - 1 )) conv=notrunc status=none
    recovery_manifest recovery-payload recovery_tampered.exe "$key"
    # A newer version claimed after signing: still a well-formed manifest naming the real payload.
    recovery_manifest recovery-manifest kvch_payload.exe "$key"
    sed -i 's/componentVersion="2.0"/componentVersion="2.5"/' "$state/recovery-manifest.man.xml"
    openssl genrsa -out "$state/recovery-other-key.pem" 2048 2>/dev/null
    recovery_manifest recovery-otherkey kvch_payload.exe "$state/recovery-other-key.pem"
    # --- end of recovery-*
    ;;
  stop) bash "$harness/nginx.sh" stop "$state/nginx" ;;
  *) echo "usage: $0 start STATE_DIR KEY INSTALLER | stop STATE_DIR" >&2; exit 2 ;;
esac
