#!/usr/bin/env python3
"""Takes the README's picture of the main window: three sites, one of them clicked so that its
snapshots are listed. Writes docs/sitewake.png. Run it as root inside the test environment:
    sudo python3 scripts/readme_screenshot.py
"""
import os
import subprocess
import time
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import rig  # noqa: E402

REGISTRY = ("[url]\ncount=3\n"
            "name1=ニュース\nurl1=http://news.example/\ncode1=81542\n"
            "name2=天気予報\nurl2=http://weather.example/today.html\ncode2=219300\n"
            "name3=社内掲示板\nurl3=http://intra.example/board/\ncode3=11234\n")
SNAPSHOTS = ["2026年12月07日09時00分05秒.htm", "2026年12月08日09時01分12秒.htm",
             "2026年12月09日06時30分05秒.htm"]


def main():
    folder = rig.ProgramFolder()
    folder.write_ini(REGISTRY)
    site = os.path.join(folder.data, "81542")
    os.makedirs(site)
    for name in SNAPSHOTS:
        with open(os.path.join(site, name), "wb") as f:
            f.write(b"<html></html>\r\n")
    driver = rig.Driver()
    program = rig.Program(folder)
    try:
        hwnd = program.wait_window(driver)
        x, y = driver.row_point(hwnd, rig.IDC_SITE_LIST, 0)
        rig.click(x, y)
        driver.wait_rows(hwnd, rig.IDC_SNAPSHOT_LIST, count=len(SNAPSHOTS))
        time.sleep(2)  # let the lists repaint before the picture
        rect = driver.info(hwnd)["rect"]
        shot = rig.screenshot(os.path.join(folder.root, "screen.png"))
        left, top, right, bottom = (rect[k] for k in ("left", "top", "right", "bottom"))
        out = os.path.join(ROOT, "docs", "sitewake.png")
        subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                        "+repage", out], check=True)
        print(out)
    finally:
        program.kill()
        driver.close()
        folder.remove()
        rig._environment.stop()


if __name__ == "__main__":
    main()
