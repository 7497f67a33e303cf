#!/usr/bin/env python3
"""Loopback HTTP/HTTPS test server and Basic-auth forwarding proxy for the HTTP client tests.

Listens on 127.0.0.1 only, on ports chosen by the system, and writes them to
<dir>/ports.txt as "plain=<port> tls=<port> proxy=<port> closed=<port>".
Stops by itself after --lifetime seconds even when nobody stops it.
"""

import argparse
import base64
import http.client
import json
import os
import signal
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

METHODS = ("GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT", "PATCH")
PROXY_CREDENTIALS = "proxyuser:proxypass"
MAX_DELAY = 5.0
MAX_BODY = 4 * 1024 * 1024
TUNNELS = [0]  # CONNECT tunnels the proxy opened
TUNNEL_LOCK = threading.Lock()

# Visible text of the charset pages, the same characters in every encoding.
PAGE_TEXT = {"utf-8": "晴岚钟表 时间同步", "gb2312": "晴岚钟表 时间同步", "big5": "時間同步 鐘錶"}


def chunk_pattern(count, size):
    """The bytes of the chunked answer: byte i is (i * 7 + 3) mod 251."""
    return bytes((i * 7 + 3) % 251 for i in range(count * size))


def charset_page(charset, where, quoted):
    declared = f'"{charset.upper()}"' if quoted else charset
    meta = f'<meta http-equiv="Content-Type" content="text/html; charset={declared}">'
    text = PAGE_TEXT.get(charset.lower(), PAGE_TEXT["utf-8"])
    head = "<html><head><title>t</title>"
    if where == "beyond":
        head += "<!-- " + "x" * 1100 + " -->"
    page = head + meta + "</head><body><p>" + text + "</p></body></html>"
    return page.encode(charset)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # else every answer waits ~40 ms for a delayed ACK
    timeout = 15  # an idle kept-alive connection ends by itself

    def log_message(self, fmt, *args):
        pass

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(min(length, MAX_BODY)) if length > 0 else b""

    def send(self, code, body=b"", headers=(), reason=None, content_type="text/plain"):
        self.send_response(code, reason)
        self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD" and body:
            self.wfile.write(body)

    def echo(self, body):
        answer = {
            "method": self.command,
            "target": self.path,
            "version": self.request_version,
            "headers": [f"{name}: {value}" for name, value in self.headers.items()],
            "body_hex": body.hex(),
        }
        self.send(200, json.dumps(answer).encode("ascii"), content_type="application/json")

    def handle_any(self):
        body = self.read_body()
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        one = lambda name, default="": query.get(name, [default])[0]
        route = url.path

        if route == "/status":
            self.send(int(one("code", "200")), b"status body", reason=one("reason") or None)
        elif route == "/redirect":
            hops = int(one("n", "1"))
            target = one("to", "/echo")
            location = target if hops <= 1 else f"/redirect?n={hops - 1}&to={target}"
            headers = [("Location", location)]
            if one("cookie"):
                headers.append(("Set-Cookie", one("cookie") + "; path=/"))
            self.send(302, b"moved", headers, reason="Found")
        elif route == "/cookies":
            headers = [("Set-Cookie", value + "; path=/") for value in query.get("c", [])]
            self.send(200, b"cookies", headers)
        elif route == "/location":
            self.send(200, b"located", [("Location", "/first"), ("location", "/second")])
        elif route == "/page":
            page = charset_page(one("cs", "utf-8"), one("where", "inside"), one("quoted") == "1")
            self.send(200, page, content_type="text/html")
        elif route == "/zero":
            self.send(200, b"abcde\x00fgh", content_type="application/octet-stream")
        elif route == "/chunked":
            self.send_chunked(int(one("count", "40")), int(one("size", "1500")))
        elif route == "/slow":
            time.sleep(min(float(one("delay", "0.3")), MAX_DELAY))
            self.echo(body)
        elif route == "/slowbody":
            # The headers come at once, the body only after the delay.
            answer = b"late body"
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.flush()
            time.sleep(min(float(one("delay", "0.3")), MAX_DELAY))
            self.wfile.write(answer)
        elif route == "/proxy-tunnels":
            with TUNNEL_LOCK:
                count = TUNNELS[0]
            self.send(200, str(count).encode("ascii"))
        elif route == "/truncated":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"t" * 100)
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
        else:
            self.echo(body)

    def send_chunked(self, count, size):
        count, size = min(count, 200), min(size, 16384)
        data = chunk_pattern(count, size)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        self.wfile.flush()
        for i in range(count):
            piece = data[i * size:(i + 1) * size]
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            self.wfile.flush()
            time.sleep(0.005)  # each chunk arrives on its own
        self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()


for _method in METHODS:
    setattr(Handler, "do_" + _method, Handler.handle_any)


class ProxyHandler(BaseHTTPRequestHandler):
    """Forwards absolute-URI requests to loopback servers once the client proved its credentials."""

    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True
    timeout = 15

    def log_message(self, fmt, *args):
        pass

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(min(length, MAX_BODY)) if length > 0 else b""
        if self.command == "CONNECT":
            self.tunnel()  # https goes through without credentials
            return
        expected = "Basic " + base64.b64encode(PROXY_CREDENTIALS.encode()).decode()
        if self.headers.get("Proxy-Authorization") != expected:
            answer = b"proxy credentials needed"
            self.send_response(407, "Proxy Authentication Required")
            self.send_header("Proxy-Authenticate", 'Basic realm="qlproxy"')
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)
            return
        url = urlsplit(self.path)
        if url.scheme == "" and self.path.startswith("/"):
            # Some clients repeat a request with only the path once they have
            # answered the 407; the Host line names the server then.
            url = urlsplit("http://" + (self.headers.get("Host") or "") + self.path)
        if url.scheme != "http" or url.hostname != "127.0.0.1":
            sys.stderr.write("proxy refused %r\n" % self.path)
            self.send_error(403, "loopback http only")
            return
        target = url.path + ("?" + url.query if url.query else "")
        upstream = http.client.HTTPConnection("127.0.0.1", url.port or 80, timeout=10)
        try:
            # The client's header lines go on unchanged and in order, without the proxy's own.
            upstream.putrequest(self.command, target, skip_host=True, skip_accept_encoding=True)
            for name, value in self.headers.items():
                if not name.lower().startswith("proxy-"):
                    upstream.putheader(name, value)
            upstream.endheaders(body or None)
            reply = upstream.getresponse()
            data = reply.read()
            self.send_response(reply.status, reply.reason)
            for name, value in reply.getheaders():
                if name.lower() not in ("content-length", "transfer-encoding", "connection", "server", "date"):
                    self.send_header(name, value)
            self.send_header("X-Forwarded-By", "qlproxy")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        finally:
            upstream.close()


    def tunnel(self):
        """CONNECT 127.0.0.1:<port>: relays bytes both ways until either side closes (bounded by time-outs)."""
        host, _, port = self.path.rpartition(":")
        if host != "127.0.0.1" or not port.isdigit():
            self.send_error(403, "loopback only")
            return
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            self.send_error(502, "no upstream")
            return
        with TUNNEL_LOCK:
            TUNNELS[0] += 1
        self.send_response(200, "Connection Established")
        self.send_header("X-Forwarded-By", "qlproxy")
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True
        client = self.connection
        client.settimeout(10)

        def pump(source, sink):
            try:
                while True:
                    data = source.recv(65536)
                    if not data:
                        break
                    sink.sendall(data)
            except OSError:
                pass
            finally:
                for s in (source, sink):
                    try:
                        s.shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass

        other = threading.Thread(target=pump, args=(upstream, client), daemon=True)
        other.start()
        pump(client, upstream)
        other.join(15)
        upstream.close()


for _method in METHODS:
    setattr(ProxyHandler, "do_" + _method, ProxyHandler.handle_any)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that stops reading in the middle (a test that makes a read
        # fail) is expected; anything else is worth a line in the log.
        error = sys.exc_info()[1]
        if not isinstance(error, (BrokenPipeError, ConnectionResetError, ssl.SSLError, TimeoutError)):
            super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=600.0)
    args = parser.parse_args()

    plain = Server(("127.0.0.1", 0), Handler)
    tls = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(args.dir, "cert.pem"), os.path.join(args.dir, "key.pem"))
    # The handshake runs in the handler thread, so a silent client never blocks accept().
    tls.socket = context.wrap_socket(tls.socket, server_side=True, do_handshake_on_connect=False)
    proxy = Server(("127.0.0.1", 0), ProxyHandler)

    # The scheme's default https port and the customary 8080, where they can be
    # had (root, nothing else there): the client's own port choice is tested
    # for real on them. 0 in the ports file when they could not be bound.
    well_known = []
    try:
        tls443 = Server(("127.0.0.1", 443), Handler)
        tls443.socket = context.wrap_socket(tls443.socket, server_side=True, do_handshake_on_connect=False)
        well_known.append(tls443)
    except OSError as error:
        sys.stderr.write("port 443: %s\n" % error)
        tls443 = None
    try:
        plain8080 = Server(("127.0.0.1", 8080), Handler)
        well_known.append(plain8080)
    except OSError as error:
        sys.stderr.write("port 8080: %s\n" % error)
        plain8080 = None

    # A port that nothing listens on (for a refused connection).
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    closed_port = probe.getsockname()[1]
    probe.close()

    servers = [plain, tls, proxy] + well_known
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    ports = "plain=%d tls=%d proxy=%d closed=%d tls443=%d plain8080=%d\n" % (
        plain.server_address[1], tls.server_address[1], proxy.server_address[1], closed_port,
        443 if tls443 else 0, 8080 if plain8080 else 0)
    temporary = os.path.join(args.dir, "ports.tmp")
    with open(temporary, "w") as f:
        f.write(ports)
    os.replace(temporary, os.path.join(args.dir, "ports.txt"))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait(args.lifetime)  # bounded: the server ends after its lifetime in any case
    for server in servers:
        server.shutdown()
        server.server_close()
    try:
        os.remove(os.path.join(args.dir, "ports.txt"))
    except OSError:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
