"""Start-up time of Sitewake under Wine: from launching the program until the driver sees its
visible main window holding every registered site, with 1,000 sites (each with a folder holding
a snapshot, a seen mark and a check record) and with an empty registry, alternating in one run
with a warm wineserver. Prints a side-by-side table (median,
min, max over the runs), the difference of the medians and the size of Sitewake.exe.

Run through bench/startup.sh (which provides Xvfb, the prefix and the wineserver)."""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "wine"))
import rig  # noqa: E402
from wine_measure import registry  # noqa: E402

DIFF_TARGET_S = 0.3
SIZE_TARGET = 200 * 1024


def sites(count):
    """Numbered sites [(name, url)], 1 to count."""
    return [("監視サイト%04d 表示ソフト" % n, "http://127.0.0.%d/site/%04d/index.html" % (2 + n % 200, n))
            for n in range(1, count + 1)]


SNAPSHOT = "2026年12月09日06時30分05秒.htm"
RECORD = (b"checked=2026/12/10 12:34:56\r\noutcome=failed\r\nfailure=refused\r\nfailures=2\r\n"
          b"succeeded=2026/12/09 06:30:05\r\n")


def site_folders(folder, sites):
    """Each site's folder as the program leaves it: a snapshot, its seen mark, a check record."""
    for code in range(1, sites + 1):
        d = os.path.join(folder.data, str(code))
        os.makedirs(d, exist_ok=True)
        for name, body in ((SNAPSHOT, b"<p>page</p>\r\n"), ("Seen.TEMP", rig.cp932(SNAPSHOT)),
                           ("Check.TEMP", RECORD)):
            with open(os.path.join(d, name), "wb") as f:
                f.write(body)


def one_start(driver, folder, rows, timeout):
    program = rig.Program(folder)
    try:
        t0 = time.monotonic()
        a = driver.find_window(caption="Sitewake", visible=True,
                               image=rig.win_path(folder.exe), timeout=timeout)
        driver.wait_rows(a["hwnd"], rig.IDC_SITE_LIST, count=rows, timeout=timeout)
        return time.monotonic() - t0
    finally:
        program.kill()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--sites", type=int, default=1000)
    ap.add_argument("--timeout", type=float, default=60)
    args = ap.parse_args()

    driver = rig.Driver()
    full = rig.ProgramFolder()
    full.write_ini(registry([(name, url, n) for n, (name, url) in enumerate(sites(args.sites), start=1)]))
    site_folders(full, args.sites)
    empty = rig.ProgramFolder()
    try:
        # Warm-up: wineserver, the driver and the file cache; not counted.
        one_start(driver, empty, 0, args.timeout)
        one_start(driver, full, args.sites, args.timeout)
        times = {"empty": [], "full": []}
        for _ in range(args.runs):
            times["empty"].append(one_start(driver, empty, 0, args.timeout))
            times["full"].append(one_start(driver, full, args.sites, args.timeout))
    finally:
        driver.close()
        full.remove()
        empty.remove()

    def row(name, t):
        return "%-22s %8.3f %8.3f %8.3f" % (name, statistics.median(t), min(t), max(t))

    print("start-up to a visible, filled window (s), %d runs each, warm wineserver" % args.runs)
    print("%-22s %8s %8s %8s" % ("", "median", "min", "max"))
    print(row("empty registry", times["empty"]))
    print(row("%d sites" % args.sites, times["full"]))
    diff = statistics.median(times["full"]) - statistics.median(times["empty"])
    print("difference of medians: %.3f s (target < %.1f s): %s"
          % (diff, DIFF_TARGET_S, "met" if diff < DIFF_TARGET_S else "NOT MET"))
    size = os.path.getsize(rig.EXE)
    print("Sitewake.exe: %d bytes (%.1f KB; target <= 200 KB): %s"
          % (size, size / 1024, "met" if size <= SIZE_TARGET else "NOT MET"))
    return 0 if diff < DIFF_TARGET_S and size <= SIZE_TARGET else 3


if __name__ == "__main__":
    sys.exit(main())
