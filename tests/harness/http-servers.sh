#!/usr/bin/env bash
# The HTTP test servers of a test run: nginx serving generated files and the scripted
# fault server, both on loopback, plus a port that nobody listens on.
#
#   http-servers.sh start STATE_DIR   STATE_DIR/{nginx,fault,closed}.port, www/
#   http-servers.sh stop  STATE_DIR   ends both servers by PID
set -euo pipefail

cmd=${1:?start or stop}
state=$(mkdir -p "${2:?state directory}" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

stop() {
  bash "$here/nginx.sh" stop "$state/nginx"
  if [ -f "$state/fault.pid" ]; then
    local pid
    pid=$(cat "$state/fault.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$state/fault.pid"
  fi
}

start() {
  stop
  local www="$state/www"
  mkdir -p "$www/sub"
  # Files whose bytes the tests know: content(N) of the fault server, and a fixed seed.
  python3 - "$www" <<'PY'
import random, sys
www = sys.argv[1]
rnd = random.Random(20261210)
def put(name, data):
    with open(www + "/" + name, "wb") as f:
        f.write(data)
put("payload.bin", bytes(rnd.getrandbits(8) for _ in range(1048576 + 4321)))
put("payload.bin.sig", b"0123456789ABCDEF0123456789ABCDEF\r\n")
put("payload2.bin.sig", b"FEDCBA9876543210FEDCBA9876543210\r\n")
put("small.txt", b"hello from nginx\n")
put("empty.bin", b"")
put("sub/nested.txt", b"nested\n")
PY
  bash "$here/nginx.sh" start "$state/nginx" "$www"
  cp "$state/nginx/port" "$state/nginx.port"

  rm -f "$state/fault.port"
  python3 "$here/fault_server.py" "$state/fault.port" </dev/null >/dev/null 2>"$state/fault.log" &
  echo $! > "$state/fault.pid"
  for _ in $(seq 1 50); do [ -s "$state/fault.port" ] && break; sleep 0.1; done
  [ -s "$state/fault.port" ] || { echo "fault server did not start" >&2; cat "$state/fault.log" >&2; exit 1; }

  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()' \
    > "$state/closed.port"
  echo "http-servers: nginx $(cat "$state/nginx.port"), fault $(cat "$state/fault.port"), closed $(cat "$state/closed.port")"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
