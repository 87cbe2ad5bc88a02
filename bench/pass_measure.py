"""One pass of Sitewake over 100 pages of about 17 KB served on loopback, beside one run of
urlwatch over the same pages (its configuration and cache in a folder of its own). For each: the
wall time (Sitewake's less its pauses, 500 ms three times a site), the CPU seconds of the process
(user and system), the wineserver's CPU seconds during the pass, and the peak resident memory.
The pass's end is seen in the last site's folder, where its check record appears, so nothing
asks the program anything while it works. The window server's rate while the program only waits
is measured first and shown too: Wine's own processes keep it a little busy all along.

Run through bench/pass.sh (which provides Xvfb, the prefix, the wineserver and a private loopback)."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "wine"))
import rig  # noqa: E402
from wine_measure import cpu_seconds, page, peak_rss_mb, registry, wineserver_pid  # noqa: E402
from worker_support import ScriptedServer  # noqa: E402

PAUSES_PER_SITE = 1.5  # the worker's three pauses of 500 ms
IDLE_S = 20.0  # the window server's rate while nothing happens, measured before the pass
REFERENCE = {"wall": 2.9, "cpu": 0.54, "server": 1.19, "rss": 32.0}  # the program before
GOALS = "own CPU under urlwatch's; wineserver CPU half of %.2f s; peak memory below urlwatch's"


def url_of(n):
    return "http://127.0.0.1/file/p%03d.html" % n


def run_program(sites, timeout):
    folder = rig.ProgramFolder()
    driver = rig.Driver()
    try:
        folder.write_ini(registry([("サイト%03d" % n, url_of(n), 7000 + n) for n in range(sites)]))
        for n in range(sites):
            os.makedirs(os.path.join(folder.data, str(7000 + n)))
        last_record = os.path.join(folder.data, str(7000 + sites - 1), "Check.TEMP")
        program = rig.Program(folder)
        try:
            hwnd = program.wait_window(driver, timeout=timeout)
            server = wineserver_pid()
            # What the window server spends while the program waits (Wine's own processes).
            idle0 = cpu_seconds(server) if server else 0.0
            time.sleep(IDLE_S)
            idle_rate = (cpu_seconds(server) - idle0) / IDLE_S if server else float("nan")
            cpu0, server0 = cpu_seconds(program.pid), cpu_seconds(server) if server else 0.0
            t0 = time.monotonic()
            driver.command(hwnd, rig.ID_START)
            rig.wait_until(lambda: os.path.exists(last_record), timeout=sites * PAUSES_PER_SITE + timeout,
                           interval=0.02, what="the last site's check record")
            elapsed = time.monotonic() - t0
            cpu = cpu_seconds(program.pid) - cpu0
            server_cpu = cpu_seconds(server) - server0 if server else float("nan")
            rss = peak_rss_mb(program.pid)
            driver.command(hwnd, rig.ID_STOP)
        finally:
            program.kill()
        # Every pause but the one after the last site's record.
        return {"wall": elapsed - (sites * PAUSES_PER_SITE - 0.5), "cpu": cpu, "server": server_cpu, "rss": rss,
                "idle": idle_rate * elapsed}
    finally:
        driver.close()
        folder.remove()


def run_urlwatch(sites, timeout):
    work = tempfile.mkdtemp(prefix="sw-urlwatch-")
    try:
        with open(os.path.join(work, "urls.yaml"), "w") as f:
            f.write("---\n".join("name: p%03d\nurl: %s\n" % (n, url_of(n)) for n in range(sites)))
        env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=work, XDG_CACHE_HOME=work)
        # The configuration is written on the first run: make it first, outside the measurement.
        subprocess.run(["urlwatch", "--urls", os.path.join(work, "none.yaml"), "--config",
                        os.path.join(work, "config.yaml"), "--cache", os.path.join(work, "warm.db")],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
        measured = os.path.join(work, "time.txt")
        subprocess.run(["/usr/bin/time", "-o", measured, "-f", "%e %U %S %M", "urlwatch", "--urls",
                        os.path.join(work, "urls.yaml"), "--config", os.path.join(work, "config.yaml"),
                        "--cache", os.path.join(work, "cache.db")],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=timeout)
        with open(measured) as f:
            wall, user, system, rss_kb = f.read().split()[-4:]
        return {"wall": float(wall), "cpu": float(user) + float(system), "server": None,
                "rss": int(rss_kb) / 1024.0}
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sites", type=int, default=100)
    ap.add_argument("--page-kb", type=int, default=17)
    ap.add_argument("--timeout", type=float, default=120)
    args = ap.parse_args()
    if not shutil.which("urlwatch"):
        sys.exit("pass_measure: no urlwatch (scripts/install-deps.sh installs it)")

    server = ScriptedServer()
    try:
        for n in range(args.sites):
            server.page("p%03d.html" % n, page(n, args.page_kb * 1000))
        ours = run_program(args.sites, args.timeout)
        asked = len(server.targets())
        theirs = run_urlwatch(args.sites, args.timeout)
    finally:
        server.stop()
    if asked != args.sites:
        sys.exit("pass_measure: the program asked for %d pages, not %d" % (asked, args.sites))

    def row(name, r):
        server_text = "%10.2f" % r["server"] if r["server"] is not None else "%10s" % "-"
        return "%-30s %8.2f %8.2f %s %9.1f" % (name, r["wall"], r["cpu"], server_text, r["rss"])

    print("one pass over %d pages of %d KB on loopback" % (args.sites, args.page_kb))
    print("%-30s %8s %8s %10s %9s" % ("", "wall s", "CPU s", "server s", "peak MB"))
    print(row("Sitewake (its pauses left out)", ours))
    print(row("urlwatch", theirs))
    print(row("Sitewake before (reference)", REFERENCE))
    print("per site: Sitewake %.1f ms of CPU, the wineserver %.1f ms (%.1f ms less what it spends idle: %.2f s "
          "over the pass)" % (1000 * ours["cpu"] / args.sites, 1000 * ours["server"] / args.sites,
                              1000 * (ours["server"] - ours["idle"]) / args.sites, ours["idle"]))
    print("goals: " + GOALS % REFERENCE["server"])
    met = (ours["cpu"] < theirs["cpu"] and ours["server"] <= REFERENCE["server"] / 2 and ours["rss"] < theirs["rss"])
    print("goals %s" % ("met" if met else "NOT MET"))
    return 0 if met else 3


if __name__ == "__main__":
    sys.exit(main())
