#!/usr/bin/env bash
# The Windows test platform: one Wine prefix inside the build tree, a persistent
# wineserver and an Xvfb display of its own for the duration of a test run.
#
#   wine-env.sh start STATE_DIR   boot the prefix once, start Xvfb and wineserver
#                                 (ZV_WINE_DISPLAY=:N uses that display instead of Xvfb)
#   wine-env.sh stop  STATE_DIR   end every process the run started, by PID
#
# STATE_DIR/env holds the variables run-wine.sh exports for each test program.
set -euo pipefail

cmd=${1:?start or stop}
state=$(mkdir -p "${2:?state directory}" && cd "$2" && pwd)
prefix="$state/prefix"
pids="$state/pids"

log() { printf 'wine-env: %s\n' "$*"; }

stop() {
  if [ -f "$state/env" ]; then
    # shellcheck disable=SC1091
    . "$state/env"
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  fi
  if [ -f "$pids" ]; then
    while read -r pid what; do
      if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
        kill -9 "$pid" 2>/dev/null || true
        log "ended $what ($pid)"
      fi
    done < "$pids"
    rm -f "$pids"
  fi
  rm -f "$state/env"
}

# One attempt at a new prefix; Wine's own messages go to boot.log.
boot_once() {
  rm -rf "$prefix"
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all wineboot -i </dev/null >>"$state/boot.log" 2>&1 || return 1
  # Without a window manager every hide of a managed window costs two seconds.
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$state/boot.log" 2>&1 || return 1
  # Windows fonts the program asks for by name.
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  local f
  for f in Arial Tahoma "Segoe UI" Verdana; do
    WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d "Liberation Sans" /f >>"$state/boot.log" 2>&1 || return 1
  done
  WINEPREFIX="$prefix" wineserver -w
}

boot_prefix() {
  [ -f "$prefix/.zv-booted" ] && return 0
  log "booting a new prefix in $prefix"
  : > "$state/boot.log"
  # A first boot under a loaded machine has been seen to fail once in many runs: one more
  # try from scratch, then give up with Wine's own words.
  if ! boot_once; then
    log "the first boot failed; booting again (see $state/boot.log)"
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    boot_once || { log "booting failed: $(tail -5 "$state/boot.log")"; return 1; }
  fi
  touch "$prefix/.zv-booted"
}

start() {
  stop
  boot_prefix

  local display
  if [ -n "${ZV_WINE_DISPLAY:-}" ]; then
    # A display given by the caller (the demo on the user's screen): nothing to start.
    display=$ZV_WINE_DISPLAY
  else
    # A display of our own: Xvfb picks a free number and tells it through the pipe.
    local dispfile="$state/display"
    rm -f "$dispfile"
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$dispfile" 2>"$state/xvfb.log" &
    echo "$! Xvfb" >> "$pids"
    for _ in $(seq 1 100); do [ -s "$dispfile" ] && break; sleep 0.1; done
    display=":$(head -n1 "$dispfile")"
    [ "$display" != ":" ] || { log "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }

    # A compositor, so layered windows blend with what lies under them as on Windows
    # (bare Xvfb shows them as if over black); the skinned window tests look at that.
    if command -v xcompmgr >/dev/null; then
      DISPLAY="$display" xcompmgr </dev/null >"$state/xcompmgr.log" 2>&1 &
      echo "$! xcompmgr" >> "$pids"
    fi
  fi

  # Detached from our output: CTest waits for every holder of its pipe to close it.
  WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all wineserver -p -f </dev/null >"$state/wineserver.log" 2>&1 &
  echo "$! wineserver" >> "$pids"

  cat > "$state/env" <<ENV
export WINEPREFIX="$prefix"
export DISPLAY="$display"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
ENV
  # Warm the prefix so the first test does not pay the cold start.
  . "$state/env"
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  log "prefix $prefix, display $display"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
