"""Secure against plain fetches by the program's own fetch under Wine (fetch_probe.exe): a
50 KB and a 20 MB page, and a page of a few bytes for the handshake, each over HTTPS from
tests/server/tls_server.py (TLS 1.2, RSA certificate of a test authority trusted in this
prefix only) and over plain HTTP from tests/server/scripted_server.py, in one run. Prints the
best of several fetches side by side, the handshake time and the size of Sitewake.exe.

Run through bench/tls.sh (which provides the private loopback, the prefix and the wineserver)."""

import argparse
import os
import re
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "wine"))
import rig  # noqa: E402
import tls_certs  # noqa: E402
from worker_support import start_server, stop_server  # noqa: E402

SERVERS = os.path.join(rig.SOURCE_DIR, "tests", "server")
PROBE = os.path.join(rig.TEST_BIN, "fetch_probe.exe")
SIZE_TARGET = 200 * 1024
# Figures measured for a small Schannel client under Wine on qemu, the reference column.
REFERENCE_HANDSHAKE_MS = 1100
REFERENCE_MB_S = 33


def page(size):
    """size bytes of markup in LF lines, code-page-932 text included."""
    line = b"<tr><td>%08d</td><td>price 1234 yen \x83\x5c\x95\x5c</td></tr>\n"
    out = bytearray()
    n = 0
    while len(out) < size:
        out += line % n
        n += 1
    return bytes(out[:size - 1]) + b"\n"


def fetches(url, out, count):
    """[(result, ms, bytes)] of count fetches of url in one fetch_probe process."""
    r = rig.run_wine([PROBE, url, rig.win_path(out), str(count)], timeout=600)
    rows = re.findall(rb"result=(\d) ms=(\d+) bytes=(-?\d+)", r.stdout)
    return [(int(a), int(b), int(c)) for a, b, c in rows]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="sw-bench-tls-")
    procs = []
    env = rig.wine_env()
    certs = tls_certs.TestCertificates(os.path.join(work, "certs"))
    tls_certs.trust_root(env, certs.root_der)
    try:
        pages = os.path.join(work, "pages")
        os.makedirs(pages)
        sizes = {"tiny.html": 40, "small.html": 50 * 1000, "big.html": 20 * 1000 * 1000}
        for name, size in sizes.items():
            with open(os.path.join(pages, name), "wb") as f:
                f.write(page(size))
        cert, key = certs.server("rsa")
        procs.append(start_server([os.path.join(SERVERS, "tls_server.py"), "--cert", cert, "--key", key,
                                   "--port", "18443", "--root", pages, "--max-version", "1.2"],
                                  "TLS server"))
        procs.append(start_server([os.path.join(SERVERS, "scripted_server.py"), "--port", "18080",
                                   "--root", pages], "plain server"))
        results = {}
        for name in sizes:
            for scheme, port in (("http", 18080), ("https", 18443)):
                url = "%s://localhost:%d/file/%s" % (scheme, port, name)
                runs = fetches(url, os.path.join(work, "out.htm"), args.runs)
                if len(runs) != args.runs or any(r[0] != 1 for r in runs):
                    raise RuntimeError("fetch of %s failed: %r" % (url, runs))
                results[(name, scheme)] = runs
            stored = {results[(name, s)][-1][2] for s in ("http", "https")}
            if len(stored) != 1:
                raise RuntimeError("%s stored differently over http and https: %r" % (name, stored))
    finally:
        for proc in procs:
            stop_server(proc)
        tls_certs.untrust_root(env, certs.root_der)
        shutil.rmtree(work, ignore_errors=True)

    def best(name, scheme):
        return min(ms for _, ms, _ in results[(name, scheme)][1:] or results[(name, scheme)])

    def rate(name, scheme):
        return sizes[name] / max(best(name, scheme), 1) / 1000.0

    first = results[("tiny.html", "https")][0][1] - results[("tiny.html", "http")][0][1]
    handshake = best("tiny.html", "https") - best("tiny.html", "http")
    print()
    print("%-40s %12s %12s %12s" % ("fetch_probe under Wine (best of %d)" % (args.runs - 1),
                                     "http", "https", "reference"))
    for name, label, reference in (("small.html", "50 KB page", "-"),
                                   ("big.html", "20 MB page", "%d MB/s" % REFERENCE_MB_S)):
        print("%-40s %9d ms %9d ms %12s" % (label + ", whole fetch", best(name, "http"),
                                             best(name, "https"), "-"))
        print("%-40s %7.1f MB/s %7.1f MB/s %12s" % (label + ", throughput", rate(name, "http"),
                                                     rate(name, "https"), reference))
    print("%-40s %12s %9d ms %9d ms" % ("handshake + certificate check, first", "-", first,
                                         REFERENCE_HANDSHAKE_MS))
    print("%-40s %12s %9d ms %12s" % ("  the same, later fetches of a process", "-", handshake, "-"))
    size = os.path.getsize(rig.EXE)
    print("%-40s %9d B  %12s %9d B" % ("Sitewake.exe", size, "-", SIZE_TARGET))
    print("(handshake: a %d-byte page over https less the same over http, the first fetch of a"
          " process loading the TLS and certificate libraries; throughput: page bytes over the"
          " whole fetch)" % sizes["tiny.html"])
    return 0 if size < SIZE_TARGET else 3


if __name__ == "__main__":
    sys.exit(main())
