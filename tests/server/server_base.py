"""What the test servers share (python3, standard library only): the common responses, files
served from a folder, the request log's file, and listening until interrupted."""

import os
import socket
import socketserver
import sys
import threading

H = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
NOT_FOUND = (b"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n"
             b"<html><body>Not found</body></html>\n")


def file_response(root, name):
    """H with "Content-Length" and the current bytes of <root>/<name>; 404 for anything else
    (no folder, a name with a "/" or starting with ".", a file that cannot be read)."""
    if not root or not name or "/" in name or name.startswith("."):
        return NOT_FOUND
    try:
        with open(os.path.join(root, name), "rb") as f:
            body = f.read()
    except OSError:
        return NOT_FOUND
    return (b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n"
            % len(body) + body)


class RequestLog:
    """The log file (none for an empty path), each record numbered in order of arrival."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.count = 0
        if path:
            open(path, "wb").close()

    def record(self, head, raw=b""):
        """Appends head (with "%d" for the record's number) and raw."""
        with self.lock:
            self.count += 1
            if self.path:
                with open(self.path, "ab") as f:
                    f.write(head % self.count)
                    f.write(raw)
                    f.flush()


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 64


def hold(sock, stopping):
    """Never answers; returns when the client closes or the server stops (stopping is set)."""
    sock.settimeout(0.5)
    while not stopping.is_set():
        try:
            if not sock.recv(4096):
                return
        except socket.timeout:
            continue
        except OSError:
            return


def listen(name, args, handler):
    """A server on args.address:args.port with the log, root and pause the arguments give, or
    None (the reason on stderr) when the address cannot be bound."""
    try:
        server = Server((args.address, args.port), handler)
    except OSError as error:
        print("%s: cannot listen on %s:%d: %s" % (name, args.address, args.port, error),
              file=sys.stderr, flush=True)
        return None
    server.root = args.root
    server.pause_s = args.pause_ms / 1000.0
    server.stopping = threading.Event()
    return server


def serve(server):
    """Prints "ready <address>:<port>" and serves until interrupted."""
    print("ready %s:%d" % server.server_address, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
    return 0
