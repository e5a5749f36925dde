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

    # --- actions-*: apply actions and requirements through the launcher ---------------
    # The installer again, unpadded, under three names (padded apart): run, it registers
    # the utility, writes its "mark:" argument to ZVTEST_INSTALL_MARKS and ends with its
    # "exit:" code.
    bash "$sign" "$key" "$installer" "$state/www/flow/actions_installer.exe"
    bash "$sign" "$key" "$installer" "$state/www/flow/actions_excluded.exe" 1
    bash "$sign" "$key" "$installer" "$state/www/flow/actions_copy.exe" 2
    actions_manifest() { # NAME, the manifest on stdin: STATE/NAME.man.xml and its .sig
      cat > "$state/$1.man.xml"
      bash "$sign" "$key" "$state/$1.man.xml" "$state/$1.man.xml.tmp"
      mv "$state/$1.man.xml.tmp.sig" "$state/$1.man.xml.sig"
      rm -f "$state/$1.man.xml.tmp"
    }
    # An installer that asks for a reboot (3010), then a copy: one reboot request only.
    actions_manifest actions-reboot <<XML
<?xml version="1.0" encoding="utf-8"?>
<ZV_Manifest name="tandemix" internalName="actions-reboot" contentRevision="1">
  <UiItems>
    <Application id="1" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="1" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/actions_installer.exe</Url>
      <CommandLineArgs>"mark:reboot exit:3010"</CommandLineArgs>
      <RequiresElevation>no</RequiresElevation>
    </Application>
    <Application id="2" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="1" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/actions_copy.exe</Url>
      <CommandLineArgs>"mark:copied-was-run"</CommandLineArgs>
      <RequiresElevation>no</RequiresElevation>
      <ApplyAction>
        <RequiresElevation>0</RequiresElevation>
        <CopyCommand>
          <DestFilename>"after-reboot-item.exe"</DestFilename>
          <DestPath>"%ZVTEST_ACTIONS_DEST%"</DestPath>
        </CopyCommand>
      </ApplyAction>
    </Application>
  </UiItems>
</ZV_Manifest>
XML
    # A copy of a program that must not run, into the folder DEST_PATH (an expression).
    actions_copy_manifest() { # NAME DEST_PATH
      actions_manifest "$1" <<XML
<?xml version="1.0" encoding="utf-8"?>
<ZV_Manifest name="tandemix" internalName="$1" contentRevision="1">
  <UiItems>
    <Application id="1" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="1" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/actions_copy.exe</Url>
      <CommandLineArgs>"mark:copied-was-run"</CommandLineArgs>
      <RequiresElevation>no</RequiresElevation>
      <ApplyAction>
        <RequiresElevation>0</RequiresElevation>
        <CopyCommand>
          <DestFilename>"KVCHPlugin.exe"</DestFilename>
          <DestPath>$2</DestPath>
        </CopyCommand>
      </ApplyAction>
    </Application>
  </UiItems>
</ZV_Manifest>
XML
    }
    # Into folders that may not exist yet; and below an environment variable that is not
    # set, which leaves a folder relative to the current drive.
    actions_copy_manifest actions-copy '"%ZVTEST_ACTIONS_DEST%\nested\deeper"'
    actions_copy_manifest actions-copy-unset '"%ZVTEST_ACTIONS_UNSET%\zv-actions-unset-dest"'
    # Two installers for this product: the first needs a 32-bit machine (a hard limit this
    # 64-bit prefix fails), the second a 64-bit one; a soft requirement it fails keeps it.
    actions_manifest actions-requirements <<XML
<?xml version="1.0" encoding="utf-8"?>
<ZV_Manifest name="tandemix" internalName="actions-requirements" contentRevision="1">
  <UiItems>
    <Application id="1" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="1" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/actions_excluded.exe</Url>
      <CommandLineArgs>"mark:excluded"</CommandLineArgs>
      <RequiresElevation>no</RequiresElevation>
      <MinRequirementsIds>1</MinRequirementsIds>
    </Application>
    <Application id="2" componentName="tandemix" componentVersion="2.0" isSelected="1" isUnselectable="1" requiredSpaceMB="1" estInstallTimeMins="1">
      <Url>http://127.0.0.1:$port/flow/actions_installer.exe</Url>
      <CommandLineArgs>"mark:selected"</CommandLineArgs>
      <RequiresElevation>no</RequiresElevation>
      <MinRequirementsIds>2,3</MinRequirementsIds>
    </Application>
  </UiItems>
  <Requirements>
    <Requirement id="1" isHardLimit="1" name="x86"><ValueExpression>bitness == "32"</ValueExpression></Requirement>
    <Requirement id="2" isHardLimit="1" name="x64"><ValueExpression>bitness == "64"</ValueExpression></Requirement>
    <Requirement id="3" isHardLimit="0" name="nosuchfile"><ValueExpression>FileExists("C:\zv-no-such-file.txt")</ValueExpression></Requirement>
  </Requirements>
</ZV_Manifest>
XML
    # --- end of actions-* ---------------------------------------------------------------

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
