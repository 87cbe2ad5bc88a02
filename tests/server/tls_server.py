#!/usr/bin/env python3
"""TLS test server for the secure fetch (python3, standard library only).

Usage:
    tls_server.py --cert FILE --key FILE [--address 127.0.0.1] [--port 443] [--root DIR]
                  [--log FILE] [--min-version 1.2] [--max-version 1.3] [--pause-ms 200]
                  [--stall] [--weak] [--client-ca FILE] [--dribble BYTES]

--cert holds the certificate the server sends, followed by any chain certificates it sends with
it. --min-version / --max-version take 1.0, 1.1, 1.2 or 1.3; --weak lowers OpenSSL's security
level so that TLS 1.0 and 1.1 can be offered at all. With --stall the server accepts
connections, reads what the client sends and never answers: a handshake that stalls. With
--client-ca the server asks for a client certificate from that authority, and goes on without.
With --dribble every byte the server sends goes out in TCP segments of at most BYTES (536, the
smallest segment a host must take, say), 10 ms apart, so that a large certificate chain reaches
the client in many small reads.

Once listening it prints one line "ready <address>:<port>" on stdout; when the address cannot be
bound it prints the reason on stderr and exits with status 3.

Every connection is recorded in the log file (--log), in order:
    "=== request <n> bytes <len> sni <name>\\n" + the <len> raw request bytes + "\\n"
after a completed handshake (the raw bytes are the decrypted request up to and including its
blank line), or
    "=== failed <n> sni <name>\\n"
when the handshake failed (the client gave up on the certificate, the protocol...). <name> is
the server name the client sent, or "-". With --stall each connection is recorded as
    "=== stalled <n>\\n"
when it is accepted, and nothing else.

The TLS records are made in memory (ssl.MemoryBIO), so the server decides byte for byte what
goes on the wire. Responses (H is b"HTTP/1.0 200 OK\\r\\nContent-Type: text/html\\r\\n\\r\\n"):

    /file/<name>        H with "Content-Length: <n>" + the current bytes of <root>/<name>,
                        404 when missing; <name> may not contain "/" or start with "."
    /pieces             H | b"<html>\\n" | b"<body>first</body>\\n" | b"</html>\\n", each in a
                        record of its own after a pause
    /redirect...?to=L&code=N   b"HTTP/1.0 N Moved\\r\\nLocation: L\\r\\n..." + a small page
                        (code 302 by default; any path starting with /redirect)
    /hop?n=K            K > 0: a 302 to "/hop?n=K-1"; K = 0: H + b"<p>end of hops</p>\\n"
    /loop               a 302 to "/loop"
    /no-close-notify    H + b"<p>no close_notify</p>\\n", then a close without close_notify
    /cut-record         H + b"<p>cut</p>\\n", then part of one more record, then a close
    anything else       b"HTTP/1.0 404 Not Found\\r\\n..." + b"<html><body>Not found</body></html>\\n"

Every other response ends with the server's close_notify, then the close.
"""

import argparse
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

from server_base import H, NOT_FOUND, RequestLog, file_response, hold, listen, serve

PIECES = [H, b"<html>\n", b"<body>first</body>\n", b"</html>\n"]
VERSIONS = {"1.0": ssl.TLSVersion.TLSv1, "1.1": ssl.TLSVersion.TLSv1_1,
            "1.2": ssl.TLSVersion.TLSv1_2, "1.3": ssl.TLSVersion.TLSv1_3}
REQUEST_LIMIT = 65536
WAIT_S = 10.0
DRIBBLE_PAUSE_S = 0.01

_sni = threading.local()


class TlsLog(RequestLog):
    def request(self, raw, sni):
        self.record(b"=== request %%d bytes %d sni %s\n" % (len(raw), sni), raw + b"\n")

    def failed(self, sni):
        self.record(b"=== failed %%d sni %s\n" % sni)

    def stalled(self):
        self.record(b"=== stalled %d\n")


class Session:
    """One TLS session over a plain socket, its records made and read in memory."""

    def __init__(self, sock, context, dribble=0):
        self.sock = sock
        self.dribble = dribble
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)

    def flush(self):
        data = self.outgoing.read()
        if not self.dribble:
            if data:
                self.sock.sendall(data)
            return
        for start in range(0, len(data), self.dribble):
            if start:
                time.sleep(DRIBBLE_PAUSE_S)
            self.sock.sendall(data[start:start + self.dribble])

    def receive(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            return False
        self.incoming.write(chunk)
        return True

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                self.flush()
                return True
            except ssl.SSLWantReadError:
                self.flush()
                if not self.receive():
                    return False
            except (ssl.SSLError, OSError):
                try:
                    self.flush()  # the alert, when there is one
                except OSError:
                    pass
                return False

    def read_request(self):
        data = b""
        while b"\r\n\r\n" not in data and len(data) < REQUEST_LIMIT:
            try:
                data += self.tls.read(65536)
            except ssl.SSLWantReadError:
                if not self.receive():
                    break
            except ssl.SSLZeroReturnError:
                break
        return data

    def send(self, data):
        self.tls.write(data)
        self.flush()

    def close_notify(self):
        try:
            self.tls.unwrap()
        except (ssl.SSLWantReadError, ssl.SSLError):
            pass
        self.flush()


def remember_sni(tls_object, name, context):
    _sni.name = name


def make_context(args):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if args.weak:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.minimum_version = VERSIONS[args.min_version]
    context.maximum_version = VERSIONS[args.max_version]
    context.load_cert_chain(args.cert, args.key)
    if args.client_ca:
        context.load_verify_locations(args.client_ca)
        context.verify_mode = ssl.CERT_OPTIONAL
    context.sni_callback = remember_sni
    return context


def moved(code, location):
    return (b"HTTP/1.0 %d Moved\r\nLocation: %s\r\nContent-Type: text/html\r\n\r\n"
            b"<a href=\"%s\">moved</a>\n" % (code, location, location))


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        sock.settimeout(WAIT_S)
        if self.server.stall:
            self.server.log.stalled()
            hold(sock, self.server.stopping)
            return
        _sni.name = None
        session = Session(sock, self.server.context, self.server.dribble)
        ok = session.handshake()
        sni = (_sni.name or "-").encode("ascii", "replace")
        if not ok:
            self.server.log.failed(sni)
            return
        raw = session.read_request()
        self.server.log.request(raw, sni)
        try:
            self.answer(session, raw)
        except (OSError, ssl.SSLError):
            pass  # the client went away

    def answer(self, session, raw):
        line = raw.split(b"\r\n", 1)[0].decode("latin-1").split(" ")
        url = urllib.parse.urlsplit(line[1] if len(line) >= 2 else "")
        query = urllib.parse.parse_qs(url.query)
        path = url.path
        if path == "/no-close-notify":
            session.send(H + b"<p>no close_notify</p>\n")
            return
        if path == "/cut-record":
            session.send(H + b"<p>cut</p>\n")
            session.tls.write(b"<p>this record never ends</p>\n")
            session.sock.sendall(session.outgoing.read()[:12])
            time.sleep(self.server.pause_s)
            return
        if path == "/pieces":
            for i, piece in enumerate(PIECES):
                if i > 0:
                    time.sleep(self.server.pause_s)
                session.send(piece)
        else:
            session.send(self.response(path, query))
        session.close_notify()

    def response(self, path, query):
        if path.startswith("/file/"):
            return self.file(path[len("/file/"):])
        if path.startswith("/redirect"):
            code = int(query.get("code", ["302"])[0])
            return moved(code, query.get("to", [""])[0].encode("latin-1"))
        if path == "/hop":
            n = int(query.get("n", ["0"])[0])
            return moved(302, b"/hop?n=%d" % (n - 1)) if n > 0 else H + b"<p>end of hops</p>\n"
        if path == "/loop":
            return moved(302, b"/loop")
        return NOT_FOUND

    def file(self, name):
        return file_response(self.server.root, name)


def main():
    parser = argparse.ArgumentParser(description="TLS test server for the secure fetch")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--root", default="")
    parser.add_argument("--log", default="")
    parser.add_argument("--min-version", default="1.2", choices=sorted(VERSIONS))
    parser.add_argument("--max-version", default="1.3", choices=sorted(VERSIONS))
    parser.add_argument("--pause-ms", type=int, default=200)
    parser.add_argument("--stall", action="store_true")
    parser.add_argument("--weak", action="store_true")
    parser.add_argument("--client-ca", default="")
    parser.add_argument("--dribble", type=int, default=0)
    args = parser.parse_args()
    try:
        context = make_context(args)
    except (OSError, ssl.SSLError, ValueError) as error:
        print("tls_server: bad certificate or settings: %s" % error, file=sys.stderr, flush=True)
        return 2
    server = listen("tls_server", args, Handler)
    if server is None:
        return 3
    server.context = context
    server.log = TlsLog(args.log)
    server.stall = args.stall
    server.dribble = args.dribble
    return serve(server)


if __name__ == "__main__":
    sys.exit(main())
