"""Secure pages with the real program under Wine: one pass over sites served by local TLS servers
(a test authority made with openssl and trusted in the test's Wine prefix only), plain HTTP
servers on port 80 and 8080, redirections, and servers whose certificate, protocol or manner
must make the fetch fail with nothing committed.

Every server listens on the loopback of the test run's private network namespace. The TLS
servers are tests/server/tls_server.py, one per certificate or behaviour, each on a port of its
own; the host name is localhost (Wine matches certificate names against DNS names only).
"""

import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
import tls_certs  # noqa: E402
from worker_support import (LONG, ProgramClass, ScriptedServer,  # noqa: E402
                            read_record, site_files, snapshots, start_server, stop_server, stored)
from rig import entry_lines, ini_lines  # noqa: E402

TLS_SERVER_SCRIPT = os.path.join(rig.SOURCE_DIR, "tests", "server", "tls_server.py")

PAGE_P = b"<html>\n<body>\x83y\x81[\x83W over TLS or not</body>\n</html>\n"
PAGE_Q = b"<p>reached by an absolute Location</p>\n"
PAGE_R = b"<p>plain page reached from a secure one</p>\n"
PAGE_AFTER = b"<p>the site after the stalled one</p>\n"
# Many TLS records, several of them arriving in one read.
PAGE_BIG = b"".join(b"<p>line %06d of a page larger than many records</p>\n" % i for i in range(4000))
END_OF_HOPS = b"<p>end of hops</p>\n"
PIECES = b"<html>\n<body>first</body>\n</html>\n"
# One wait without progress gives up after 30 s.
WAIT_LIMIT_S = 30.0


def request(target, host, port):
    """The exact request the program sends, over TLS or not."""
    return ("GET %s HTTP/1.0\r\nHost: %s:%d\r\nUser-Agent: Quorant-3.31\r\n\r\n"
            % (target, host, port)).encode("ascii")


class TlsServer:
    """tls_server.py with one certificate (and its chain) on 127.0.0.1:port, stopped by pid."""

    ENTRY = re.compile(rb"=== (request (\d+) bytes (\d+) sni (\S+)|failed (\d+) sni (\S+)|stalled (\d+))\n")

    def __init__(self, certs, name, port, root, log_dir, *options):
        self.port = port
        self.log_path = os.path.join(log_dir, "tls-%d.log" % port)
        cert, key = certs.server(name)
        self.proc = start_server([TLS_SERVER_SCRIPT, "--cert", cert, "--key", key, "--port", str(port),
                                  "--root", root, "--log", self.log_path, *options],
                                 "TLS server %s on port %d" % (name, port))

    def entries(self):
        """Every connection so far: ("request", raw bytes, sni), ("failed", None, sni) or
        ("stalled", None, None), in order."""
        with open(self.log_path, "rb") as f:
            data = f.read()
        out = []
        pos = 0
        while True:
            m = self.ENTRY.match(data, pos)
            if not m:
                return out
            if m.group(2):
                start, length = m.end(), int(m.group(3))
                if len(data) < start + length + 1:
                    return out  # still being written
                out.append(("request", data[start:start + length], m.group(4).decode()))
                pos = start + length + 1
            elif m.group(5):
                out.append(("failed", None, m.group(6).decode()))
                pos = m.end()
            else:
                out.append(("stalled", None, None))
                pos = m.end()

    def requests(self):
        """The raw requests that arrived over completed handshakes (empty ones left out)."""
        return [raw for kind, raw, _ in self.entries() if kind == "request" and raw]

    def targets(self):
        return [raw.split(b" ", 2)[1].decode("latin-1") for raw in self.requests()]

    def stop(self):
        stop_server(self.proc)


# The TLS servers: (key, certificate, port, options; a ".pem" option names a file of the test
# authority's folder).
SERVERS = [
    ("rsa", "rsa", 443, ["--max-version", "1.2"]),
    ("ecdsa", "ecdsa", 8443, ["--max-version", "1.2"]),
    ("chain", "via-intermediate", 4439, []),
    ("untrusted", "untrusted", 4431, []),
    ("wrong-name", "wrong-name", 4432, []),
    ("expired", "expired", 4433, []),
    ("no-chain", "leaf-without-chain", 4434, []),
    ("client-only", "client-only", 4435, []),
    ("tls13-only", "rsa", 4436, ["--min-version", "1.3"]),
    ("tls11-only", "rsa", 4437, ["--min-version", "1.1", "--max-version", "1.1", "--weak"]),
    ("stall", "rsa", 4438, ["--stall"]),
    ("asks-client", "rsa", 4440, ["--client-ca", "root.pem"]),
    # A 54 KB certificate chain in 536-byte segments: a slow but sound handshake.
    ("large-chain", "large-chain", 4441, ["--dribble", "536"]),
]

# The sites of the pass, in order: (code, URL, what the snapshot holds, or None for a fetch
# that must fail and commit nothing).
SITES = [
    (7001, "http://127.0.0.1/file/p.html", stored(PAGE_P)),
    (7002, "https://localhost/file/p.html", stored(PAGE_P)),
    (7003, "HTTPS://localhost:8443/file/p.html", stored(PAGE_P)),
    (7004, "https://localhost:4439/file/p.html", stored(PAGE_P)),
    (7026, "https://localhost:4440/file/p.html", stored(PAGE_P)),
    (7027, "https://localhost:4441/file/p.html", stored(PAGE_P)),
    (7005, "127.0.0.1:8080/file/p.html", stored(PAGE_P)),
    (7006, "https://localhost/file/big.html", stored(PAGE_BIG)),
    (7007, "https://localhost/pieces", stored(PIECES)),
    (7008, "https://localhost/no-close-notify", stored(b"<p>no close_notify</p>\n")),
    (7009, "https://localhost/cut-record", None),
    (7010, "https://localhost/redirect/a/b?code=303&to=../../file/p.html", stored(PAGE_P)),
    (7011, "https://localhost/redirect?code=301&to=https://localhost:8443/file/q.html", stored(PAGE_Q)),
    (7012, "https://localhost/redirect?code=308&to=http://localhost/file/r.html", stored(PAGE_R)),
    (7013, "https://localhost/hop?n=5", stored(END_OF_HOPS)),
    (7014, "https://localhost:8443/hop?n=6", None),
    (7015, "https://localhost/loop", None),
    (7016, "https://localhost/redirect?code=307&to=ftp://localhost/file/p.html", None),
    (7017, "https://localhost:4431/file/p.html", None),
    (7018, "https://localhost:4432/file/p.html", None),
    (7019, "https://localhost:4433/file/p.html", None),
    (7020, "https://localhost:4434/file/p.html", None),
    (7021, "https://localhost:4435/file/p.html", None),
    (7022, "https://localhost:4436/file/p.html", None),
    (7023, "https://localhost:4437/file/p.html", None),
    (7024, "https://localhost:4438/file/p.html", None),
    (7025, "http://127.0.0.1/file/after.html", stored(PAGE_AFTER)),
]


class SecurePagesInOnePass(ProgramClass):
    """One pass over every site of SITES; then the files of each site, the requests every
    server received and the time the stalled handshake held the pass."""

    @classmethod
    def prepare(cls):
        cls.dir = tempfile.mkdtemp(prefix="sw-tls-")
        cls.addClassCleanup(shutil.rmtree, cls.dir, True)
        certs = tls_certs.TestCertificates(os.path.join(cls.dir, "certs"))
        env = rig.wine_env()
        tls_certs.trust_root(env, certs.root_der)
        cls.addClassCleanup(tls_certs.untrust_root, env, certs.root_der)
        pages = os.path.join(cls.dir, "pages")
        os.makedirs(pages)
        for name, body in (("p.html", PAGE_P), ("q.html", PAGE_Q), ("big.html", PAGE_BIG)):
            with open(os.path.join(pages, name), "wb") as f:
                f.write(body)
        cls.tls = {}
        for key, cert, port, options in SERVERS:
            options = [certs.path(o) if o.endswith(".pem") else o for o in options]
            server = TlsServer(certs, cert, port, pages, cls.dir, *options)
            cls.addClassCleanup(server.stop)
            cls.tls[key] = server
        cls.plain = ScriptedServer()
        cls.addClassCleanup(cls.plain.stop)
        cls.plain_8080 = ScriptedServer(port=8080)
        cls.addClassCleanup(cls.plain_8080.stop)
        for server in (cls.plain, cls.plain_8080):
            server.page("p.html", PAGE_P)
        cls.plain.page("r.html", PAGE_R)
        cls.plain.page("after.html", PAGE_AFTER)
        lines = ["[url]", "count=%d" % len(SITES)]
        for n, (code, url, _) in enumerate(SITES, 1):
            lines += entry_lines(n, "site %d" % code, url, code)
            os.makedirs(os.path.join(cls.folder.data, str(code)))
        cls.folder.write_ini(ini_lines(*lines))

    def folder_of(self, url):
        return self.data(str(next(code for code, u, _ in SITES if u == url)))

    def test_1_one_pass_over_every_site(self):
        stall = self.tls["stall"]
        self.driver.command(self.hwnd, rig.ID_START)
        rig.wait_until(lambda: stall.entries(), timeout=2 * LONG, interval=0.2,
                       what="the stalling server's connection")
        stalled_at = time.monotonic()
        rig.wait_until(lambda: "/file/after.html" in self.plain.targets(), timeout=WAIT_LIMIT_S + LONG,
                       interval=0.2, what="the site after the stalled one")
        type(self).held = time.monotonic() - stalled_at
        rig.wait_until(lambda: snapshots(self.data("7025")), timeout=LONG, what="the last site's snapshot")
        self.driver.command(self.hwnd, rig.ID_STOP)
        for code, url, expected in SITES:
            files = site_files(self.data(str(code)))
            if expected is None:
                self.assertNotIn("Old.TEMP", files, url)
                self.assertEqual(snapshots(self.data(str(code))), {}, url)
            else:
                self.assertEqual(files.get("Old.TEMP"), expected, url)
                self.assertEqual(list(snapshots(self.data(str(code))).values()), [expected], url)

    def test_2_secure_requests_have_the_plain_requests_lines(self):
        p = "/file/p.html"
        self.assertEqual(self.tls["rsa"].entries()[0], ("request", request(p, "localhost", 443), "localhost"))
        self.assertEqual(self.tls["ecdsa"].requests()[0], request(p, "localhost", 8443))
        self.assertEqual(self.tls["chain"].requests(), [request(p, "localhost", 4439)])
        self.assertEqual(self.tls["asks-client"].requests(), [request(p, "localhost", 4440)])
        self.assertEqual(self.tls["large-chain"].requests(), [request(p, "localhost", 4441)])
        self.assertEqual(self.plain.requests()[0], request(p, "127.0.0.1", 80))
        self.assertEqual(self.plain_8080.requests(), [request(p, "127.0.0.1", 8080)])
        # The snapshot of a secure page is the plain page's, byte for byte.
        self.assertEqual(snapshots(self.folder_of("https://localhost/file/p.html")).popitem()[1],
                         snapshots(self.data("7001")).popitem()[1])

    def test_3_redirections_of_secure_pages_are_followed_up_to_five_times(self):
        rsa = self.tls["rsa"].targets()
        self.assertEqual(rsa[rsa.index("/redirect/a/b?code=303&to=../../file/p.html") + 1], "/file/p.html")
        self.assertEqual(self.tls["ecdsa"].targets().count("/file/q.html"), 1)
        self.assertIn(request("/file/r.html", "localhost", 80), self.plain.requests())
        # Five redirections followed make a page; the sixth is one too many, a loop the same.
        self.assertEqual([t for t in rsa if t.startswith("/hop")],
                         ["/hop?n=%d" % n for n in range(5, -1, -1)])
        self.assertEqual(self.tls["ecdsa"].targets()[-6:], ["/hop?n=%d" % n for n in range(6, 0, -1)])
        self.assertEqual(rsa.count("/loop"), 6)
        # A Location in a scheme the fetch does not speak ends the fetch there.
        self.assertEqual(rsa[-1], "/redirect?code=307&to=ftp://localhost/file/p.html")

    def test_4_bad_certificates_and_old_or_unknown_protocols_send_no_request(self):
        for key in ("untrusted", "wrong-name", "expired", "no-chain", "client-only", "tls13-only",
                    "tls11-only"):
            entries = self.tls[key].entries()
            self.assertEqual(len(entries), 1, key)  # one connection, its handshake refused
            self.assertEqual(self.tls[key].requests(), [], key)
        # The program asks for TLS 1.2 at least: the TLS 1.1 server fails its handshake itself.
        self.assertEqual(self.tls["tls11-only"].entries()[0][0], "failed")

    def test_5_a_stalled_handshake_gives_up_within_the_wait_limit(self):
        sys.stderr.write("[secure] the stalled handshake held the pass for %.1f s\n" % self.held)
        self.assertGreaterEqual(self.held, WAIT_LIMIT_S - 2)
        self.assertLess(self.held, WAIT_LIMIT_S + 30)

    def test_6_every_failed_site_keeps_why_in_its_check_record(self):
        expected = {7009: "reset", 7014: "too-many-redirects", 7015: "too-many-redirects",
                    7016: "bad-url", 7017: "cert-untrusted", 7018: "cert-wrong-name",
                    7019: "cert-expired", 7020: "cert-chain-incomplete", 7021: "cert-wrong-usage",
                    7022: "handshake-failed", 7023: "old-protocol", 7024: "no-answer"}
        got = {}
        for code, url, page in SITES:
            record = read_record(self.data(str(code)))
            if page is None:
                got[code] = record.get("failure", "")
            else:
                self.assertEqual(record["outcome"], "first", url)
                self.assertEqual(record["status"], "200", url)
        self.assertEqual(got, expected)


if __name__ == "__main__":
    rig.main()
