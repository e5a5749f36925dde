#!/usr/bin/env bash
# A private nginx on loopback serving one folder with Content-Length, Last-Modified and
# Range: free port, foreground, pid and logs in STATE_DIR, ended by PID.
#
#   nginx.sh start STATE_DIR WWW_DIR [RATE]   RATE: nginx limit_rate per request, e.g. 2m
#   nginx.sh stop  STATE_DIR
#
# STATE_DIR/port holds the port; STATE_DIR/access.log one line per request:
#   STATUS METHOD URI range=RANGE sent=BYTES_SENT body=BODY_BYTES_SENT
set -euo pipefail

cmd=${1:?start or stop}
state=$(mkdir -p "${2:?state directory}" && cd "$2" && pwd)

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

stop() {
  if [ -f "$state/nginx.pid" ]; then
    local pid
    pid=$(cat "$state/nginx.pid")
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$state/nginx.pid"
  fi
}

start() {
  local www rate
  www=$(cd "${1:?www directory}" && pwd)
  rate=${2:-0}
  stop
  mkdir -p "$state/temp"
  : > "$state/access.log"
  local port
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    cat > "$state/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 256; }
http {
  log_format transfer '\$status \$request_method \$request_uri range=\$http_range sent=\$bytes_sent body=\$body_bytes_sent';
  access_log $state/access.log transfer;
  client_body_temp_path $state/temp/body;
  proxy_temp_path $state/temp/proxy;
  fastcgi_temp_path $state/temp/fastcgi;
  uwsgi_temp_path $state/temp/uwsgi;
  scgi_temp_path $state/temp/scgi;
  types { application/octet-stream bin exe; text/plain txt sig; }
  default_type application/octet-stream;
  sendfile on;
  keepalive_timeout 5;
  server {
    listen 127.0.0.1:$port;
    root $www;
    limit_rate $rate;
  }
}
CONF
    nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log" </dev/null >/dev/null 2>>"$state/error.log" &
    local pid=$!
    for _ in $(seq 1 50); do
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        echo "$pid" > "$state/nginx.pid"
        echo "$port" > "$state/port"
        echo "nginx: 127.0.0.1:$port serving $www (pid $pid)"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "nginx: did not start" >&2
  cat "$state/error.log" >&2
  return 1
}

case "$cmd" in
  start) shift 2; start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start STATE_DIR WWW_DIR [RATE] | stop STATE_DIR" >&2; exit 2 ;;
esac
