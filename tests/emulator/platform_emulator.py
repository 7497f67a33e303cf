#!/usr/bin/env python3
"""Local stand-in for the five platforms' time endpoints and the update manifest.

Listens on 127.0.0.1 only: http (channels 1 and 4, and the control API) and
https with a self-signed certificate made by openssl at start (channels 2, 3, 5
and the manifest). Each answer carries the emulator's server time, which is the
local clock plus a chosen skew, at the channel's own key, shaped like the real
platforms' answers.

  platform_emulator.py --dir DIR [--http-port P] [--https-port P]
                       [--skew-ms N] [--version V] [--lifetime SECONDS]

Port 0 lets the system choose; the ports in use are written to DIR/ports as
"http=<port> https=<port>" before DIR/ready (holding the pid) appears. The
emulator ends by itself after --lifetime seconds; SIGTERM ends it at once.

Control API on the http port (JSON in and out):
  POST /__emulator/config    merge {"skew_ms", "version", "manifest", "bodies", "channel_down"}
  POST /__emulator/reset     default state, empty request log
  GET  /__emulator/requests  [{"channel", "method", "path", "headers", "time_ms"}, ...] oldest first
  GET  /__emulator/state     the current state
"""

import argparse
import copy
import datetime
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

CHANNELS = ("1", "2", "3", "4", "5")
CONTROL_PREFIX = "/__emulator/"
MAX_LOG = 20000  # the oldest entries go first; a clock run makes a handful of requests
MAX_CONTROL_BODY = 1024 * 1024
CHINA = datetime.timezone(datetime.timedelta(hours=8))

# (scheme, path, query parameters the real endpoint needs) of every channel;
# the manifest is the sixth route.
ROUTES = {
    "1": ("http", "/rest/api3.do", {"api": "mtop.common.getTimestamp"}),
    "2": ("https", "/client.action", {"functionId": "queryMaterialProducts", "client": "wh5"}),
    "3": ("https", "/v1/toolkit/time", {}),
    "4": ("http", "/api/server/_stm", {}),
    "5": ("https", "/api/ct.do", {}),
    "manifest": ("https", "/config/qinglanWin.json", {}),
}


def default_body(channel, ms):
    """The answer a platform gives, with `ms` at the channel's key."""
    if channel == "1":
        return json.dumps({"api": "mtop.common.getTimestamp", "v": "*", "ret": ["SUCCESS::接口调用成功"],
                           "data": {"t": str(ms)}}, ensure_ascii=False, separators=(",", ":"))
    if channel == "2":
        shown = datetime.datetime.fromtimestamp(ms / 1000.0, CHINA).strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
        return json.dumps({"currentTime": shown, "currentTime2": str(ms), "returnMsg": "success", "code": "0",
                           "subCode": "0"}, separators=(",", ":"))
    if channel == "3":
        return json.dumps({"code": 0, "timestamp": ms}, separators=(",", ":"))
    if channel == "4":
        return json.dumps({"server_time": ms}, separators=(",", ":"))
    return '{"api":"time","code":"1","currentTime": %d,"msg":""}' % ms


def initial_state(skew_ms=0, version=2):
    return {"skew_ms": skew_ms, "version": version, "manifest": "ok", "bodies": {}, "channel_down": []}


class Emulator:
    """The shared state and the request log, behind one lock."""

    def __init__(self, skew_ms, version):
        self.lock = threading.Lock()
        self.state = initial_state(skew_ms, version)
        self.log = []

    def reset(self):
        # The control API's default state (skew 0, version 2), whatever the command line said.
        with self.lock:
            self.state = initial_state()
            self.log = []

    def snapshot(self):
        with self.lock:
            return copy.deepcopy(self.state)

    def merge(self, update):
        """Validates the whole update first, so that a bad member changes nothing. None or an error text."""
        if not isinstance(update, dict):
            return "the configuration must be a JSON object"
        unknown = set(update) - {"skew_ms", "version", "manifest", "bodies", "channel_down"}
        if unknown:
            return "unknown members: " + ", ".join(sorted(unknown))
        if "skew_ms" in update and (isinstance(update["skew_ms"], bool) or not isinstance(update["skew_ms"], int)):
            return "skew_ms must be an integer"
        if "version" in update and (isinstance(update["version"], bool)
                                    or not isinstance(update["version"], (int, float, str))):
            return "version must be a number or a string"
        if "manifest" in update and update["manifest"] not in ("ok", "down"):
            return 'manifest must be "ok" or "down"'
        bodies = update.get("bodies", {})
        if not isinstance(bodies, dict) or any(k not in CHANNELS for k in bodies) \
                or any(v is not None and not isinstance(v, str) for v in bodies.values()):
            return 'bodies must map "1".."5" to a text or null'
        down = update.get("channel_down", [])
        if not isinstance(down, list) or any(str(c) not in CHANNELS or isinstance(c, bool) for c in down):
            return 'channel_down must list channels "1".."5"'
        with self.lock:
            for key in ("skew_ms", "version", "manifest"):
                if key in update:
                    self.state[key] = update[key]
            for channel, template in bodies.items():
                if template is None:
                    self.state["bodies"].pop(channel, None)
                else:
                    self.state["bodies"][channel] = template
            if "channel_down" in update:
                self.state["channel_down"] = sorted({str(c) for c in down})
        return None

    def record(self, entry):
        with self.lock:
            self.log.append(entry)
            del self.log[:-MAX_LOG]

    def requests(self):
        with self.lock:
            return list(self.log)


def route_of(scheme, target):
    """The channel ("1".."5", "manifest") that a request on this scheme asks, or "other"."""
    url = urlsplit(target)
    query = parse_qs(url.query, keep_blank_values=True)
    for name, (route_scheme, path, needed) in ROUTES.items():
        if route_scheme == scheme and url.path == path and all(query.get(k, [None])[0] == v
                                                               for k, v in needed.items()):
            return name
    return "other"


def make_handler(emulator, scheme):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        disable_nagle_algorithm = True  # else every answer waits ~40 ms for the client's delayed ACK
        timeout = 15  # an idle kept-alive connection ends by itself

        def log_message(self, fmt, *args):
            pass

        def answer(self, code, body, content_type="application/json;charset=UTF-8"):
            data = body.encode("utf-8") if isinstance(body, str) else body
            self.send_response(code)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(data)

        def hang_up(self):
            # No status line at all: the client sees the connection end.
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

        def control(self):
            what = urlsplit(self.path).path[len(CONTROL_PREFIX):]
            if self.command == "GET" and what == "requests":
                self.answer(200, json.dumps(emulator.requests(), ensure_ascii=False))
            elif self.command == "GET" and what == "state":
                self.answer(200, json.dumps(emulator.snapshot(), ensure_ascii=False))
            elif self.command == "POST" and what == "reset":
                self.read_body()
                emulator.reset()
                self.answer(200, json.dumps(emulator.snapshot()))
            elif self.command == "POST" and what == "config":
                raw = self.read_body()
                try:
                    update = json.loads(raw.decode("utf-8"))
                except (UnicodeDecodeError, ValueError) as error:
                    self.answer(400, json.dumps({"error": "not JSON: %s" % error}))
                    return
                error = emulator.merge(update)
                if error:
                    self.answer(400, json.dumps({"error": error}))
                else:
                    self.answer(200, json.dumps(emulator.snapshot(), ensure_ascii=False))
            else:
                self.answer(404, json.dumps({"error": "no such control request"}))

        def read_body(self):
            length = int(self.headers.get("Content-Length") or 0)
            return self.rfile.read(min(length, MAX_CONTROL_BODY)) if length > 0 else b""

        def serve(self):
            arrival_ms = int(time.time() * 1000)
            if scheme == "http" and self.path.startswith(CONTROL_PREFIX):
                self.control()
                return
            channel = route_of(scheme, self.path) if self.command == "GET" else "other"
            headers = {}
            for name, value in self.headers.items():
                # A header sent twice shows as both values, as HTTP would combine them.
                name = name.lower()
                headers[name] = headers[name] + ", " + value if name in headers else value
            emulator.record({"channel": channel, "method": self.command, "path": self.path,
                             "headers": headers, "time_ms": arrival_ms})
            state = emulator.snapshot()
            server_ms = arrival_ms + state["skew_ms"]
            if channel == "other":
                self.answer(404, json.dumps({"error": "not found"}))
            elif channel == "manifest":
                if state["manifest"] == "down":
                    self.hang_up()
                else:
                    self.answer(200, json.dumps({"currentVersion": state["version"]}, ensure_ascii=False))
            elif channel in state["channel_down"]:
                self.hang_up()
            else:
                template = state["bodies"].get(channel)
                body = default_body(channel, server_ms) if template is None else \
                    template.replace("{ms}", str(server_ms))
                self.answer(200, body)

        do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = serve

    return Handler


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # Clients that hang up, and TLS handshakes from clients that give up, are expected.
        error = sys.exc_info()[1]
        if not isinstance(error, (BrokenPipeError, ConnectionResetError, ssl.SSLError, TimeoutError)):
            super().handle_error(request, client_address)


def make_certificate(directory):
    key, cert = os.path.join(directory, "key.pem"), os.path.join(directory, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                    "-keyout", key, "-out", cert], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return cert, key


def version_argument(text):
    """A JSON number or string literal as given; any other text is sent as a string."""
    try:
        value = json.loads(text)
    except ValueError:
        return text
    return value if isinstance(value, (int, float, str)) and not isinstance(value, bool) else text


def write_file(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write(text)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description="Local platform emulator (loopback only)")
    parser.add_argument("--dir", required=True)
    parser.add_argument("--http-port", type=int, default=47801)
    parser.add_argument("--https-port", type=int, default=47802)
    parser.add_argument("--skew-ms", type=int, default=0)
    parser.add_argument("--version", type=version_argument, default=2)
    parser.add_argument("--lifetime", type=float, default=600.0)
    args = parser.parse_args()

    os.makedirs(args.dir, exist_ok=True)
    ready = os.path.join(args.dir, "ready")
    for stale in (ready, os.path.join(args.dir, "ports")):
        if os.path.exists(stale):
            os.remove(stale)

    emulator = Emulator(args.skew_ms, args.version)
    cert, key = make_certificate(args.dir)
    plain = Server(("127.0.0.1", args.http_port), make_handler(emulator, "http"))
    secure = Server(("127.0.0.1", args.https_port), make_handler(emulator, "https"))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    # The handshake runs in the handler thread, so a silent client never blocks accept().
    secure.socket = context.wrap_socket(secure.socket, server_side=True, do_handshake_on_connect=False)

    servers = [plain, secure]
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    write_file(os.path.join(args.dir, "ports"),
               "http=%d https=%d\n" % (plain.server_address[1], secure.server_address[1]))
    write_file(ready, "%d\n" % os.getpid())

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait(args.lifetime)  # bounded: the emulator ends after its lifetime in any case
    for server in servers:
        server.shutdown()
        server.server_close()
    for name in (ready, os.path.join(args.dir, "ports")):
        try:
            os.remove(name)
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
