"""Which sites failed, and why, with the real program under Wine on a virtual desktop with a
notification area: after a pass every site folder holds the record of its check (Check.TEMP);
sites whose last check failed are drawn in dark red (read as the window's custom-draw answer),
their last check is the text of the tip over the site list and the first line of the site's
context menu; records and colours last across a restart; while the window is hidden the balloon
tells of sites that have just failed for the third time in a row, not the fourth; and the
re-check command runs one pass over only the failed sites.
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from desktop_support import LONG, DesktopClass, close_box_point  # noqa: E402
from rig import entry_lines, registry_file  # noqa: E402
from worker_support import ScriptedServer, read_record  # noqa: E402

FAILED_COLOUR = 0x0000A0  # RGB(0xA0, 0, 0) as a COLORREF
TTS_BALLOON = 0x40
WM_LBUTTONDBLCLK = 0x0203
MF_GRAYED = 0x1
PASS_PAUSE = 60.0

PAGE_G = b"<html><body><p>a good page</p></body></html>\n"
# (entry, name, URL, code, the record's outcome and failure after a pass)
SITES = [
    (1, "良いサイト", "http://127.0.0.1/file/g.html", 8001, ("first", None)),
    (2, "拒否", "http://127.0.0.1:8081/file/g.html", 8002, ("failed", "refused")),
    (3, "名前なし", "http://sitewake-nowhere.invalid/page.html", 8003, ("failed", "name-not-found")),
    (4, "エラー", "http://127.0.0.1/status?code=503", 8004, ("failed", "server-error")),
]
FAILED = {8002, 8003, 8004}
TEXTS = {8002: "接続を拒否されました", 8003: "名前解決に失敗しました", 8004: "サーバーエラー (503)"}


class FailedSites(DesktopClass):
    PAGES = {"g.html": PAGE_G}

    @classmethod
    def prepare(cls):
        cls.folder.write_ini(registry_file(len(SITES), *(entry_lines(*s[:4]) for s in SITES)))
        for s in SITES:
            os.makedirs(os.path.join(cls.folder.data, str(s[3])))

    # -- reading the program --
    def data(self, *parts):
        return os.path.join(self.folder.data, *parts)

    def record(self, code):
        return read_record(self.data(str(code)))

    def row_of(self, code):
        return [r["param"] for r in self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)].index(code)

    def colours(self):
        """{code: the text colour its row is drawn in, None for the list's own}."""
        rows = self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)
        return {r["param"]: self.driver.text_colour(self.hwnd, rig.IDC_SITE_LIST, i) for i, r in enumerate(rows)}

    def visible(self):
        return self.driver.info(self.hwnd)["visible"]

    def shot(self, name):
        return rig.shot("checks", name)

    def balloon(self):
        for w in self.driver.windows(cls="tooltips_class32", visible=True):
            if w["style"] & TTS_BALLOON:
                return self.driver.tooltip(w["hwnd"])[0]
        return None

    def tip_text(self):
        for w in self.driver.windows(cls="tooltips_class32", visible=True, pid=self.app.win_pid):
            if not w["style"] & TTS_BALLOON:
                return rig.raw(self.driver.text(w["hwnd"])).decode("cp932")
        return None

    def assert_tip(self, code, pattern):
        """Rests the mouse on the site's row (straight from wherever it was) and waits for the tip
        that comes up to match pattern; the tip of the row it came from may show a moment."""
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, self.row_of(code))
        rig.xdotool("mousemove", "--sync", x, y + 1)
        rig.xdotool("mousemove", "--sync", x, y)
        seen = []

        def matching():
            text = self.tip_text()
            if text and text not in seen:
                seen.append(text)
            return text and re.search(pattern, text)
        try:
            rig.wait_until(matching, timeout=30, what="the tip over the row of %d" % code)
        except TimeoutError:
            self.fail("no tip matching %r over %d; tips seen: %r" % (pattern, code, seen))

    def menu_first_line(self, code):
        """The first line of the site's context menu (opened by a right click) and whether it is
        greyed; the menu is closed again."""
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, self.row_of(code))
        rig.click(x, y, button=3)
        window, items = self.driver.popup_menu(self.hwnd)
        rig.key("Escape")
        self.driver.wait_gone(window)
        return rig.raw(items[0]).decode("cp932"), bool(items[0]["state"] & MF_GRAYED)

    def wait_records(self, codes, key, value, what):
        rig.wait_until(lambda: all((self.record(c) or {}).get(key) == value(c) for c in codes),
                       timeout=LONG, interval=0.3, what=what)

    def last_check_pattern(self, code):
        return r"^最終確認: \d{4}/\d\d/\d\d \d\d:\d\d %s" % re.escape(TEXTS[code])

    # -- the cases --
    def test_1_a_pass_leaves_a_record_in_every_folder_and_failed_sites_in_dark_red(self):
        self.assertEqual(self.colours(), {8001: None, 8002: None, 8003: None, 8004: None})
        self.assert_tip(8002, "^まだ確認していません$")
        started = time.time()
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_records([s[3] for s in SITES], "failures", lambda c: "1" if c in FAILED else "0",
                          "a record of every site")
        self.driver.command(self.hwnd, rig.ID_STOP)
        for n, name, url, code, (outcome, failure) in SITES:
            record = self.record(code)
            self.assertEqual(record["outcome"], outcome, code)
            self.assertEqual(record.get("failure"), failure, code)
            checked = time.mktime(time.strptime(record["checked"], "%Y/%m/%d %H:%M:%S"))
            self.assertTrue(started - 1 <= checked <= time.time() + 1, record)
            self.assertNotIn("Check.tmp", os.listdir(self.data(str(code))))
        self.assertEqual(self.record(8001)["status"], "200")
        self.assertEqual(self.record(8004)["status"], "503")
        self.assertEqual(self.record(8001)["succeeded"], self.record(8001)["checked"])
        self.assertNotIn("succeeded", self.record(8002), "never succeeded")
        self.assertEqual(self.colours(), {8001: None, 8002: FAILED_COLOUR, 8003: FAILED_COLOUR,
                                          8004: FAILED_COLOUR})
        self.shot("failed-in-red")

    def test_2_the_tip_and_the_menu_line_tell_the_last_check(self):
        self.assert_tip(8004, self.last_check_pattern(8004) + "$")
        self.shot("tip")
        # The tip, a popup of the window's own, leaves the window above ordinary windows.
        self.assertTrue(self.driver.info(self.hwnd)["exstyle"] & rig.WS_EX_TOPMOST)
        self.assert_tip(8001, r"^最終確認: \d{4}/\d\d/\d\d \d\d:\d\d 最初の取得$")
        for code in (8002, 8003):
            text, greyed = self.menu_first_line(code)
            self.assertRegex(text, self.last_check_pattern(code) + "$")
            self.assertTrue(greyed)

    def test_3_records_and_colours_last_across_a_restart(self):
        self.driver.close_window(self.hwnd)  # stopped: the program ends
        self.assertEqual(self.app.wait(LONG), 1)
        self.start_program()
        self.assertEqual(self.colours(), {8001: None, 8002: FAILED_COLOUR, 8003: FAILED_COLOUR,
                                          8004: FAILED_COLOUR})
        self.assert_tip(8003, self.last_check_pattern(8003) + "$")

    def test_4_the_re_check_visits_only_the_failed_sites(self):
        asked = len(self.server.targets())
        before = {c: self.record(c) for c in (8001, 8002, 8003, 8004)}
        self.driver.command(self.hwnd, rig.ID_RECHECK_FAILED)
        self.wait_records(FAILED, "failures", lambda c: "2", "the failed sites checked again")
        # The pass ends by itself: the worker is gone and the command can be given again.
        rig.wait_until(lambda: not self.menu_item_greyed(rig.ID_RECHECK_FAILED), timeout=LONG,
                       what="the re-check pass over")
        self.assertEqual(self.record(8001), before[8001], "the good site had no turn")
        self.assertEqual(self.server.targets()[asked:], ["/status?code=503"])
        self.assert_tip(8002, self.last_check_pattern(8002) + r" \(2 回連続\)$")

    def menu_item_greyed(self, command):
        for menu in self.driver.menu(self.hwnd):
            for item in menu.get("items", []):
                if item.get("id") == command:
                    return bool(item["state"] & MF_GRAYED)
        raise AssertionError("no menu item %d" % command)

    def test_5_the_balloon_tells_of_the_third_failure_in_a_row_and_not_the_fourth(self):
        self.driver.command(self.hwnd, rig.ID_RECHECK_FAILED, send=True)
        rig.click(*close_box_point(self.driver, self.hwnd))  # while checking: hidden
        rig.wait_until(lambda: not self.visible(), timeout=LONG, what="the window hidden")
        self.wait_records(FAILED, "failures", lambda c: "3", "the third failure in a row")
        # Each site goes into the balloon as it fails for the third time: by name, then counted.
        rig.wait_until(lambda: self.balloon() == "3 件のサイトを確認できません。", timeout=LONG,
                       interval=0.3, what="the balloon for three sites")
        self.shot("balloon")
        self.driver.post(self.hwnd, rig.WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK)
        rig.wait_until(self.visible, timeout=LONG, what="the window shown")
        rig.wait_until(lambda: self.balloon() is None, timeout=LONG, what="the balloon gone")
        rig.wait_until(lambda: not self.menu_item_greyed(rig.ID_RECHECK_FAILED), timeout=LONG,
                       what="the re-check pass over")

        self.driver.command(self.hwnd, rig.ID_RECHECK_FAILED, send=True)
        self.driver.close_window(self.hwnd)  # while checking: hidden
        rig.wait_until(lambda: not self.visible(), timeout=LONG, what="the window hidden again")
        self.wait_records(FAILED, "failures", lambda c: "4", "the fourth failure in a row")
        time.sleep(3)
        self.assertIsNone(self.balloon(), "the fourth failure is not told again")
        self.driver.post(self.hwnd, rig.WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK)
        rig.wait_until(self.visible, timeout=LONG, what="the window shown")

    def test_6_a_success_ends_the_failures_in_a_row(self):
        rig.wait_until(lambda: not self.menu_item_greyed(rig.ID_RECHECK_FAILED), timeout=LONG,
                       what="the re-check pass over")
        server = ScriptedServer(port=8081)  # the refusing site answers from now on
        self.addCleanup(server.stop)
        server.page("g.html", PAGE_G)
        self.driver.command(self.hwnd, rig.ID_RECHECK_FAILED)
        self.wait_records([8003], "failures", lambda c: "5", "the next re-check")
        record = self.record(8002)
        self.assertEqual((record["outcome"], record["failures"]), ("first", "0"))
        self.assertEqual(record["succeeded"], record["checked"])
        self.assertEqual(self.colours(), {8001: None, 8002: None, 8003: FAILED_COLOUR, 8004: FAILED_COLOUR})
        self.assert_tip(8002, r"^最終確認: \d{4}/\d\d/\d\d \d\d:\d\d 最初の取得$")


if __name__ == "__main__":
    rig.main()
