#!/usr/bin/env python3
"""Scripted HTTP server for the answers nginx will not give.

    fault_server.py PORT_FILE
    fault_server.py PORT_FILE --tree DIR --fault-file FILE

Binds a free loopback port, writes it to PORT_FILE and serves until killed. Without
--tree the path chooses the behaviour; numbers come from the query (len, extra, after,
chunk, delay):

  /gen?status=S&lm=0|1&cl=0|1&len=N  status S, Last-Modified and Content-Length on request
  /nolength?len=N                     200 without Content-Length, then close
  /longer?len=N&extra=M               announces N bytes, sends N+M
  /reset?len=N&after=K                announces N, sends K, then resets the connection
  /short?len=N&after=K                announces N, sends K, then closes the connection
  /norange?len=N                      the whole body with 200, whatever Range says
  /range-error?len=N                  200 for a whole request, 503 for a ranged one
  /trickle?len=N&chunk=C&delay=MS     C bytes every MS milliseconds
  /stall?len=N&after=K                announces N, sends K, then says nothing more
  /hang                               reads the request and never answers
  /absurd?cl=N                        announces N bytes (default: more than 32 bits), sends 100
  /nohead?len=N                       405 to HEAD, the body to GET
  /skewed?len=N&shift=S&cr=0|1&cl=0|1&total=0|1
                                      honours Range, but starts S bytes later (S may be
                                      negative); Content-Range (its length "*" for total=0)
                                      and Content-Length on request

HEAD gets the same status and headers as GET, and no body. Every request is logged to
fault-requests.log beside PORT_FILE as "METHOD PATH connection=HEADER range=HEADER".

Bodies are content(N): byte i is (i * 131 + 7) mod 256.

With --tree the server is an update server: every path is a file under DIR (looked up as
given, then lower-cased; nothing outside DIR), 404 when there is none; a request that asks
for "Connection: close" gets it in the answer, as from nginx. FILE is read at
every request; a line "FAULT SUFFIX" applies FAULT to the requests whose path (without
the query) ends with SUFFIX, case-insensitive; a missing or empty FILE means no fault.
Each applied fault is appended to FILE.applied as "FAULT METHOD PATH range=HEADER".
The faults, on the file's own bytes (N of them):

  refused     reads the request, then resets the connection without a word
  reset       announces N, sends half, then resets the connection
  404, 500    that status with a short body
  nolength    200 without Content-Length, the whole file, then close
  short       announces N, sends half, then closes the connection
  long        announces N, sends N plus 512 bytes, then closes
  norange     the whole file with 200, whatever Range says (a Range is honoured otherwise)
  416         416 with "Content-Range: bytes */N"
  trickle     announces N, sends 256 bytes every 50 ms
"""
import os
import socket
import struct
import sys
import threading
import time
from email.utils import formatdate
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

LAST_MODIFIED = formatdate(1700000000, usegmt=True)
REQUEST_LOG = None
REQUEST_LOG_LOCK = threading.Lock()
TREE = None
FAULT_FILE = None


def content(n):
    return bytes((i * 131 + 7) % 256 for i in range(n))


class HeadersSent(Exception):
    """A HEAD request ends once its headers are out."""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    head_only = False

    def log_message(self, fmt, *args):
        sys.stderr.write("fault_server: %s\n" % (fmt % args))

    def q(self, name, default):
        values = self.query.get(name)
        return int(values[0]) if values else default

    def head(self, status, length=None, last_modified=True, close=False, extra=()):
        # As nginx does, the update tree says it closes when the client asked for that.
        if TREE is not None and self.headers.get("Connection", "").lower() == "close":
            close = True
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if last_modified:
            self.send_header("Last-Modified", LAST_MODIFIED)
        for k, v in extra:
            self.send_header(k, v)
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.head_only:
            raise HeadersSent()

    def do_HEAD(self):
        # One handler serves every request of a connection: say which kind each is.
        self.head_only = True
        try:
            self.dispatch()
        except HeadersSent:
            pass

    def do_GET(self):
        self.head_only = False
        self.dispatch()

    def dispatch(self):
        with REQUEST_LOG_LOCK, open(REQUEST_LOG, "a") as log:
            log.write("%s %s connection=%s range=%s\n" % (self.command, self.path,
                      self.headers.get("Connection", ""), self.headers.get("Range", "")))
        url = urlsplit(self.path)
        self.query = parse_qs(url.query)
        if TREE is not None:
            self.serve_tree(url.path)
            return
        route = getattr(self, "route_" + url.path.strip("/").replace("-", "_"), None)
        if route is None:
            body = b"no such route\n"
            self.head(404, len(body), last_modified=False)
            self.wfile.write(body)
            return
        route()

    def route_gen(self):
        n = self.q("len", 100)
        body = content(n)
        self.head(self.q("status", 200), n if self.q("cl", 1) else None, bool(self.q("lm", 1)),
                  close=not self.q("cl", 1))
        self.wfile.write(body)

    def route_nolength(self):
        self.head(200, None, False, close=True)
        self.wfile.write(content(self.q("len", 1000)))

    def route_longer(self):
        n, extra = self.q("len", 1000), self.q("extra", 500)
        self.head(200, n, close=True)
        self.wfile.write(content(n + extra))

    def route_reset(self):
        n, after = self.q("len", 100000), self.q("after", 30000)
        self.head(200, n)
        self.wfile.write(content(after))
        self.wfile.flush()
        time.sleep(0.2)
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def route_short(self):
        n, after = self.q("len", 100000), self.q("after", 30000)
        self.head(200, n, close=True)
        self.wfile.write(content(after))

    def route_norange(self):
        n = self.q("len", 100000)
        self.head(200, n)
        self.wfile.write(content(n))

    def route_nohead(self):
        n = self.q("len", 5000)
        if self.head_only:
            self.head_only = False
            self.head(405, 0, last_modified=False, extra=[("Allow", "GET")])
            return
        self.head(200, n)
        self.wfile.write(content(n))

    def route_skewed(self):
        n, shift = self.q("len", 100000), self.q("shift", 0)
        rng = self.headers.get("Range", "")
        if not rng.startswith("bytes="):
            self.head(200, n)
            self.wfile.write(content(n))
            return
        first, _, last = rng[len("bytes="):].partition("-")
        first = max(0, int(first) + shift)
        last = min(n - 1, int(last) if last else n - 1)
        body = content(n)[first:last + 1]
        total = str(n) if self.q("total", 1) else "*"
        extra = [("Content-Range", "bytes %d-%d/%s" % (first, last, total))] if self.q("cr", 1) else []
        with_length = bool(self.q("cl", 1))
        self.head(206, len(body) if with_length else None, close=not with_length, extra=extra)
        self.wfile.write(body)

    def route_range_error(self):
        n = self.q("len", 100000)
        if self.headers.get("Range"):
            body = b"service unavailable\n"
            self.head(503, len(body), last_modified=False)
            self.wfile.write(body)
        else:
            self.head(200, n)
            self.wfile.write(content(n))

    def route_trickle(self):
        n, chunk, delay = self.q("len", 1000000), self.q("chunk", 512), self.q("delay", 50)
        body = content(n)
        self.head(200, n)
        try:
            for i in range(0, n, chunk):
                self.wfile.write(body[i:i + chunk])
                self.wfile.flush()
                time.sleep(delay / 1000.0)
        except OSError:
            self.close_connection = True

    def route_stall(self):
        n, after = self.q("len", 100000), self.q("after", 20000)
        self.head(200, n)
        self.wfile.write(content(after))
        self.wfile.flush()
        self.wait_for_close()

    def route_hang(self):
        self.wait_for_close()

    def route_absurd(self):
        self.head(200, None, close=True, extra=[("Content-Length", str(self.q("cl", 99999999999)))])
        self.wfile.write(content(100))

    # Update-server tree with one scripted fault.
    def tree_file(self, path):
        parts = [p for p in path.split("/") if p]
        if any(p in (".", "..") or "\\" in p for p in parts):
            return None
        for candidate in (os.path.join(TREE, *parts), os.path.join(TREE, *[p.lower() for p in parts])):
            if parts and os.path.isfile(candidate):
                return candidate
        return None

    def current_fault(self, path):
        try:
            with open(FAULT_FILE) as f:
                words = f.read().split()
        except OSError:
            return None
        if len(words) >= 2 and path.lower().endswith(words[1].lower()):
            return words[0]
        return None

    def reset_now(self):
        self.wfile.flush()
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def whole_or_range(self, body):
        rng = self.headers.get("Range", "")
        n = len(body)
        if rng.startswith("bytes=") and n:
            first, _, last = rng[len("bytes="):].partition("-")
            try:
                first, last = int(first), min(n - 1, int(last) if last else n - 1)
            except ValueError:
                first, last = 0, n - 1
            if first >= n:
                self.head(416, 0, extra=[("Content-Range", "bytes */%d" % n)])
                return
            part = body[first:last + 1]
            self.head(206, len(part), extra=[("Content-Range", "bytes %d-%d/%d" % (first, last, n))])
            self.wfile.write(part)
            return
        self.head(200, n)
        self.wfile.write(body)

    def serve_tree(self, path):
        fault = self.current_fault(path)
        if fault:
            with REQUEST_LOG_LOCK, open(FAULT_FILE + ".applied", "a") as log:
                log.write("%s %s %s range=%s\n" % (fault, self.command, path, self.headers.get("Range", "")))
        if fault == "refused":
            self.reset_now()
            return
        if fault in ("404", "500"):
            text = b"scripted fault\n"
            self.head(int(fault), len(text), last_modified=False)
            self.wfile.write(text)
            return
        name = self.tree_file(path)
        if name is None:
            text = b"not found\n"
            self.head(404, len(text), last_modified=False)
            self.wfile.write(text)
            return
        with open(name, "rb") as f:
            body = f.read()
        n = len(body)
        if fault == "416":
            self.head(416, 0, extra=[("Content-Range", "bytes */%d" % n)])
        elif fault == "reset":
            self.head(200, n)
            self.wfile.write(body[:n // 2])
            time.sleep(0.1)
            self.reset_now()
        elif fault == "nolength":
            self.head(200, None, close=True)
            self.wfile.write(body)
        elif fault == "short":
            self.head(200, n, close=True)
            self.wfile.write(body[:n // 2])
        elif fault == "long":
            self.head(200, n, close=True)
            self.wfile.write(body + content(512))
        elif fault == "norange":
            self.head(200, n)
            self.wfile.write(body)
        elif fault == "trickle":
            self.head(200, n)
            try:
                for i in range(0, n, 256):
                    self.wfile.write(body[i:i + 256])
                    self.wfile.flush()
                    time.sleep(0.05)
            except OSError:
                self.close_connection = True
        else:
            self.whole_or_range(body)

    def wait_for_close(self):
        # Says nothing until the client gives up (or two minutes pass).
        self.connection.settimeout(120)
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass
        self.close_connection = True


def main():
    global REQUEST_LOG, TREE, FAULT_FILE
    REQUEST_LOG = os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])), "fault-requests.log")
    args = sys.argv[2:]
    while args:
        if args[0] == "--tree" and len(args) > 1:
            TREE = os.path.abspath(args[1])
        elif args[0] == "--fault-file" and len(args) > 1:
            FAULT_FILE = os.path.abspath(args[1])
        else:
            sys.exit("usage: fault_server.py PORT_FILE [--tree DIR --fault-file FILE]")
        args = args[2:]
    if (TREE is None) != (FAULT_FILE is None):
        sys.exit("fault_server.py: --tree and --fault-file go together")
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
