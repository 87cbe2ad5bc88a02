#!/usr/bin/env python3
"""Scripted HTTP server for testing the fetcher (python3, standard library only).

Usage:
    scripted_server.py [--address 127.0.0.1] [--port 80] [--log FILE] [--root DIR]
                       [--pause-ms 200]

Once listening it prints one line "ready <address>:<port>" on stdout. When the address cannot be
bound it prints the reason on stderr and exits with status 3.

Every connection is recorded in the log file (--log), in order, as
    "=== request <n> bytes <len>\\n" + the <len> raw bytes received + "\\n"
where the raw bytes are everything read up to and including the blank line ending the request
head (or whatever arrived before the client closed or 5 s passed). A connection that sends
nothing is still recorded, with length 0. The record is written before anything is answered.

Responses are written byte for byte as listed; "pieces" are sent one at a time with a pause of
--pause-ms between them, so that a client waiting in recv() gets each piece on its own.
H below stands for b"HTTP/1.0 200 OK\\r\\nContent-Type: text/html\\r\\n\\r\\n".

    /                 H + b"<html><body>index</body></html>\\n"
    /lf               H + b"<html>\\nline one\\nline two\\n</html>\\n"           (LF line ends)
    /crlf             H + b"<html>\\r\\nline one\\r\\nline two\\r\\n</html>\\r\\n"  (CR LF line ends)
    /pieces           pieces: H | b"<html>\\n" | b"<body>first</body>\\n" | b"</html>\\n"
    /split-header     pieces: b"HTTP/1.0 200 OK\\r\\nContent-Type: text/html\\r\\n\\r"
                            | b"\\nplain text line\\r\\nsecond <b>bold</b> line\\n"
                      (the blank line ending the head is split across two pieces)
    /lt-header        one piece: b"HTTP/1.0 200 OK\\r\\nX-Note: a<b\\r\\n\\r\\nbody\\n"
                      ("<" inside a header field, head end in the same piece)
    /lt-header-split  pieces: b"HTTP/1.0 200 OK\\r\\nX-Note: a<b\\r\\n" | b"\\r\\nbody <i>x</i>\\n"
                      ("<" inside a header field, head end in the next piece)
    /lead-byte-header one piece: b"HTTP/1.0 200 OK\\r\\nX-Name: \\x83\\r\\n\\r\\n<p>a</p>\\n"
                      (a code-page-932 lead byte swallows the CR after it)
    /no-header        pieces: b"just some text\\n" | b"without any markup\\n"  (no head end, no "<")
    /zero-byte        pieces: H + b"abc\\x00def\\n" | b"ghi\\n"       (zero byte inside a body piece)
    /zero-header      pieces: b"HTTP/1.0 200 OK\\r\\nX: y\\x00\\r\\n\\r\\n<p>hidden</p>\\n"
                            | b"<p>shown</p>\\n"                  (zero byte hides the head end)
    /404              b"HTTP/1.0 404 Not Found\\r\\nContent-Type: text/html\\r\\n\\r\\n"
                      + b"<html><body>Not found</body></html>\\n"   (also any unknown path)
    /redirect         b"HTTP/1.0 302 Found\\r\\nLocation: http://127.0.0.1/lf\\r\\n"
                      + b"Content-Type: text/html\\r\\n\\r\\n<a href=\\"/lf\\">moved</a>\\n"
    /silent           reads the request and never answers (holds the connection open)
    /close-early      b"HTTP/1.0 200 OK\\r\\nContent-" then closes (before the body start)
    /reset            H + b"<p>partial" then aborts the connection (TCP reset)
    /slow?ms=N        waits N ms, then H + b"<p>slow</p>\\n"
    /drip?ms=N&count=K  H + b"<p>", then K times b"." each after N ms, then b"</p>\\n"
    /drip-forever?ms=N  H + b"<p>", then b"." every N ms until the client goes
    /endless-body     H + b"<p>", then 64 KiB blocks of b"x" as fast as the client takes them
    /endless-head     b"HTTP/1.0 200 OK\\r\\n", then header lines b"X-Filler: ...\\r\\n" for ever
    /short            a head announcing Content-Length: 100, then 40 bytes of page, then a close
    /status?code=N    b"HTTP/1.0 N Status\\r\\nContent-Type: text/html\\r\\n\\r\\n"
                      + b"<html><body>status N</body></html>\\n"
    /file/<name>      b"HTTP/1.0 200 OK\\r\\nContent-Type: text/html\\r\\nContent-Length: <n>\\r\\n\\r\\n"
                      + the current bytes of <root>/<name> (change the file between requests to
                      change the page); 404 as above when it does not exist. <name> may not
                      contain "/" or start with ".".

The server closes every connection after answering (HTTP/1.0).
"""

import argparse
import socket
import socketserver
import struct
import sys
import time
import urllib.parse

from server_base import H, NOT_FOUND, RequestLog, file_response, hold, listen, serve


# Fixed behaviours: a list is sent as pieces with pauses, bytes in one write.
FIXED = {
    "/": H + b"<html><body>index</body></html>\n",
    "/lf": H + b"<html>\nline one\nline two\n</html>\n",
    "/crlf": H + b"<html>\r\nline one\r\nline two\r\n</html>\r\n",
    "/pieces": [H, b"<html>\n", b"<body>first</body>\n", b"</html>\n"],
    "/split-header": [b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r",
                      b"\nplain text line\r\nsecond <b>bold</b> line\n"],
    "/lt-header": b"HTTP/1.0 200 OK\r\nX-Note: a<b\r\n\r\nbody\n",
    "/lt-header-split": [b"HTTP/1.0 200 OK\r\nX-Note: a<b\r\n", b"\r\nbody <i>x</i>\n"],
    "/lead-byte-header": b"HTTP/1.0 200 OK\r\nX-Name: \x83\r\n\r\n<p>a</p>\n",
    "/no-header": [b"just some text\n", b"without any markup\n"],
    "/zero-byte": [H + b"abc\x00def\n", b"ghi\n"],
    "/zero-header": [b"HTTP/1.0 200 OK\r\nX: y\x00\r\n\r\n<p>hidden</p>\n", b"<p>shown</p>\n"],
    "/404": NOT_FOUND,
    "/redirect": (b"HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/lf\r\n"
                  b"Content-Type: text/html\r\n\r\n<a href=\"/lf\">moved</a>\n"),
    "/close-early": b"HTTP/1.0 200 OK\r\nContent-",
}

REQUEST_LIMIT = 65536
REQUEST_WAIT_S = 5.0


def read_request(sock):
    """Reads up to the end of the request head, the client's close, or the time limit."""
    data = b""
    deadline = time.monotonic() + REQUEST_WAIT_S
    while b"\r\n\r\n" not in data and len(data) < REQUEST_LIMIT:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        sock.settimeout(left)
        try:
            chunk = sock.recv(4096)
        except (socket.timeout, OSError):
            break
        if not chunk:
            break
        data += chunk
    sock.settimeout(None)
    return data


def request_target(raw):
    line = raw.split(b"\r\n", 1)[0].decode("latin-1")
    parts = line.split(" ")
    return parts[1] if len(parts) >= 2 else ""


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        raw = read_request(sock)
        self.server.log.record(b"=== request %%d bytes %d\n" % len(raw), raw + b"\n")
        target = request_target(raw)
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query)
        try:
            self.answer(sock, url.path, query)
        except OSError:
            pass  # the client went away

    def pause(self):
        time.sleep(self.server.pause_s)

    def send_pieces(self, sock, pieces):
        for i, piece in enumerate(pieces):
            if i > 0:
                self.pause()
            sock.sendall(piece)
        self.pause()  # let the last piece be read on its own before the close

    def answer(self, sock, path, query):
        behaviour = FIXED.get(path)
        if isinstance(behaviour, list):
            self.send_pieces(sock, behaviour)
        elif behaviour is not None:
            sock.sendall(behaviour)
        elif path == "/silent":
            hold(sock, self.server.stopping)
        elif path == "/reset":
            sock.sendall(H + b"<p>partial")
            self.pause()
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()  # closing with a zero linger sends the reset instead of a FIN
        elif path == "/slow":
            time.sleep(int(query.get("ms", ["0"])[0]) / 1000.0)
            sock.sendall(H + b"<p>slow</p>\n")
        elif path == "/drip":
            self.drip(sock, int(query.get("ms", ["100"])[0]), int(query.get("count", ["3"])[0]))
        elif path == "/drip-forever":
            self.drip_forever(sock, int(query.get("ms", ["1000"])[0]))
        elif path == "/endless-body":
            self.endless(sock, H + b"<p>", b"x" * 65536)
        elif path == "/endless-head":
            self.endless(sock, b"HTTP/1.0 200 OK\r\n", b"X-Filler: " + b"f" * 1000 + b"\r\n")
        elif path == "/short":
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n"
                         + b"<html><body>only forty bytes here</body>\n"[:40])
        elif path == "/status":
            code = int(query.get("code", ["500"])[0])
            sock.sendall(b"HTTP/1.0 %d Status\r\nContent-Type: text/html\r\n\r\n"
                         b"<html><body>status %d</body></html>\n" % (code, code))
        elif path.startswith("/file/"):
            self.send_file(sock, path[len("/file/"):])
        else:
            sock.sendall(NOT_FOUND)

    def drip(self, sock, ms, count):
        sock.sendall(H + b"<p>")
        for _ in range(count):
            time.sleep(ms / 1000.0)
            sock.sendall(b".")
        sock.sendall(b"</p>\n")

    def drip_forever(self, sock, ms):
        sock.sendall(H + b"<p>")
        while not self.server.stopping.is_set():
            time.sleep(ms / 1000.0)
            sock.sendall(b".")

    def endless(self, sock, first, block):
        sock.sendall(first)
        while not self.server.stopping.is_set():
            sock.sendall(block)

    def send_file(self, sock, name):
        sock.sendall(file_response(self.server.root, name))


def main():
    parser = argparse.ArgumentParser(description="Scripted HTTP server for fetch tests")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--log", default="")
    parser.add_argument("--root", default="")
    parser.add_argument("--pause-ms", type=int, default=200)
    args = parser.parse_args()
    server = listen("scripted_server", args, Handler)
    if server is None:
        return 3
    server.log = RequestLog(args.log)
    return serve(server)


if __name__ == "__main__":
    sys.exit(main())
