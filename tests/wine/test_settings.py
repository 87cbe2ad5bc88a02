"""A site's settings, with the real program under Wine: the dialog "サイトの設定" opened from the
site's context menu and the Site menu and driven by real keys and clicks; a new URL that keeps the
site's folder, snapshots, seen mark and record and is compared with the old reference copy; a
rename during the site's own fetch; an interval of an hour that leaves a site out of a pass while
an every-pass site beside it is fetched again (the clock moved through the check records written
before the program starts); a range and ignored texts under which a counter outside the range or
on an ignored line makes no snapshot while a change inside makes exactly one, and whose comparison
page lists only what counts; Cancel and Escape leaving every byte of the registry file as it was;
input that is refused with a message; a registry file that cannot be written; every setting read
back after a restart, awkward texts included; and a deleted site's keys removed.
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from rig import entry_lines, ini_lines  # noqa: E402
from test_viewer import FIXTURE_EXE, Browser  # noqa: E402
from worker_support import (FETCHING, IDYES, LONG, PROCESSING, ProgramClass,  # noqa: E402
                            ScriptedServer, activate, box_texts, checked, read_record, record_bytes,
                            site_files, snapshots, stored, type_into)

CAPTION = "サイトの設定"
PASS_PAUSE = 60.0
SLOW = "/slow?ms=20000"

S1 = "2026年12月01日08時00分00秒.htm"
S2 = "2026年12月02日08時00分00秒.htm"
NEWS = b"<html><body><p>\x83j\x83\x85\x81[\x83X</p></body></html>\n"  # "ニュース"


def counter_page(counter, minutes, article, ad):
    """A page with a counter above the watched part, a line "N 分前" and an advertisement in it."""
    return rig.cp932(
        "<html><body>\n<p>訪問者 %d</p>\n<div id=\"main\">\n<h1>お知らせ</h1>\n<p>%d 分前</p>\n"
        "<p>%s</p>\n<p>PR: %s</p>\n</div>\n<p>footer %d</p>\n</body></html>\n"
        % (counter, minutes, article, ad, counter))


# (entry, name, URL, code); the keys an entry starts with beyond these
SITES = [
    (1, "ニュース", "http://127.0.0.1/file/news.html", 9101),
    (2, "遅いサイト", "http://127.0.0.1" + SLOW, 9102),
    (3, "毎回", "http://127.0.0.1/file/every.html", 9103),
    (4, "一時間", "http://127.0.0.1/file/hourly.html", 9104),
    (5, "最近確認", "http://127.0.0.1/file/recent.html", 9105),
    (6, "範囲", "http://127.0.0.1/file/range.html", 9106),
    (7, "本文の範囲", "http://127.0.0.1/file/inside.html", 9107),
    (8, "開始なし", "http://127.0.0.1/file/nostart.html", 9108),
]
EXTRA_KEYS = {
    5: ["interval5=60"],
    7: ["compare7=text", "from7=お知らせ", "to7=footer", "ignore7=分前%0APR"],
    8: ["from8=<nowhere>"],
}
RANGE_FROM = '<div id="main">'
RANGE_TO = "</div>"


def initial_lines():
    lines = ["[url]", "count=%d" % len(SITES)]
    for n, name, url, code in SITES:
        lines += entry_lines(n, name, url, code) + EXTRA_KEYS.get(n, [])
    return lines


class SiteSettings(ProgramClass):
    """One program run (and a restart) and one stand-in browser for every case, in order."""

    @classmethod
    def prepare(cls):
        if not os.path.exists(FIXTURE_EXE):
            raise unittest.SkipTest("no %s (build with scripts/build.sh)" % FIXTURE_EXE)
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        for name, body in (("news.html", NEWS), ("moved.html", NEWS), ("every.html", b"<p>every</p>\n"),
                           ("hourly.html", b"<p>hourly</p>\n"), ("recent.html", b"<p>recent</p>\n"),
                           ("range.html", counter_page(100, 3, "本文", "広告A")),
                           ("inside.html", counter_page(100, 3, "本文", "広告A")),
                           ("nostart.html", b"<p>no start here</p>\n")):
            cls.server.page(name, body)
        cls.lines = initial_lines()
        cls.folder.write_ini(ini_lines(*cls.lines))
        now = time.time()
        for n, name, url, code in SITES:
            os.makedirs(os.path.join(cls.folder.data, str(code)))
        news = os.path.join(cls.folder.data, "9101")
        for file_name, body in ((S1, NEWS.replace(b"\x83X", b"")), (S2, NEWS), ("Old.TEMP", stored(NEWS)),
                                ("Seen.TEMP", rig.cp932(S1)), ("Check.TEMP", record_bytes(now - 86400))):
            with open(os.path.join(news, file_name), "wb") as f:
                f.write(body)
        # The clock, as the records tell it: the hourly site was checked two hours ago (due), the
        # recent one half an hour ago (not due).
        for code, when in ((9104, now - 7200), (9105, now - 1800)):
            with open(os.path.join(cls.folder.data, str(code), "Check.TEMP"), "wb") as f:
                f.write(record_bytes(when))
        cls.browser = Browser()
        cls.addClassCleanup(cls.browser.stop)
        cls.browser.set_modes(iexplore="answer")
        cls.browser.wait_line("ready")

    # -- reading the program --
    def rows(self):
        return [(rig.raw(r["cells"][0]).decode("cp932"), rig.raw(r["cells"][1]).decode("cp932"), r["param"])
                for r in self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)]

    def row_of(self, code):
        return [r[2] for r in self.rows()].index(code)

    def record(self, code):
        return read_record(self.data(str(code)))

    def window(self, caption, owner):
        return self.find(caption, owner)["hwnd"]

    def shot(self, name):
        return rig.shot("settings", name)

    # -- the dialog --
    def right_click_site(self, code):
        activate(self.driver, self.hwnd)
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, self.row_of(code))
        rig.click(x, y, button=3)
        return self.driver.popup_menu(self.hwnd)

    def open_from_menu(self, code):
        """Opens the dialog through the site's context menu; returns it."""
        _, items = self.right_click_site(code)
        self.assertEqual(items[2]["text"], "設定(&E)...")
        rig.key("e")
        return self.window(CAPTION, self.hwnd)

    def field(self, dlg, ctl_id):
        return rig.raw(self.driver.text(dlg, ctl_id)).decode("cp932")

    def form(self, dlg):
        """What the dialog shows: name, URL, interval, method, start, end, ignored texts, last check."""
        method = "text" if checked(self.driver, dlg, rig.IDC_SETTINGS_TEXT_ONLY) else "page"
        self.assertEqual(checked(self.driver, dlg, rig.IDC_SETTINGS_WHOLE_PAGE), method == "page")
        return (self.field(dlg, rig.IDC_SETTINGS_NAME), self.field(dlg, rig.IDC_SETTINGS_URL),
                self.field(dlg, rig.IDC_SETTINGS_INTERVAL), method, self.field(dlg, rig.IDC_SETTINGS_FROM),
                self.field(dlg, rig.IDC_SETTINGS_TO), self.field(dlg, rig.IDC_SETTINGS_IGNORE),
                self.field(dlg, rig.IDC_SETTINGS_LAST_CHECK))

    def replace_text(self, dlg, ctl_id, text, multiline=False):
        """Empties a box the way a user does (a click, then the keys that select everything and
        delete it) and types text; LF in text is typed as Return."""
        self.click_control(dlg, ctl_id)
        rig.key(*(["ctrl+End", "ctrl+shift+Home"] if multiline else ["End", "shift+Home"]), "BackSpace")
        rig.wait_until(lambda: self.field(dlg, ctl_id) == "", timeout=30, what="box %d emptied" % ctl_id)
        for i, line in enumerate(text.split("\n")):
            if i > 0:
                before = self.driver.text(dlg, ctl_id)["text"]
                rig.key("Return")
                rig.wait_until(lambda: self.driver.text(dlg, ctl_id)["text"] == before + "\r\n", timeout=30,
                               what="a new line")
            if line:
                type_into(self.driver, dlg, ctl_id, line)

    def press_ok(self, dlg):
        self.click_control(dlg, rig.IDOK)

    def confirm(self, dlg):
        self.press_ok(dlg)
        self.driver.wait_gone(dlg, timeout=LONG)

    def refused(self, dlg, text, caption=CAPTION):
        """OK gives a box owned by the dialog telling text; it is closed and the dialog stays."""
        self.press_ok(dlg)
        box = self.window(caption, dlg)
        shown = [t.decode("cp932") for t in box_texts(self.driver, box)]
        self.assertEqual(shown, [text])
        rig.key("Return")
        self.driver.wait_gone(box, timeout=LONG)
        self.assertTrue(self.driver.info(dlg)["visible"], "the dialog stays open")

    def wait_requests(self, target, count, timeout=LONG + PASS_PAUSE):
        rig.wait_until(lambda: self.server.targets().count(target) >= count, timeout=timeout, interval=0.3,
                       what="%d requests for %s" % (count, target))

    def wait_names(self, timeout=LONG):
        """Waits until no row shows a status."""
        return rig.wait_until(lambda: all(r[0] not in (FETCHING.decode("cp932"), PROCESSING.decode("cp932"))
                                          for r in self.rows()) and self.rows(),
                              timeout=timeout, interval=0.3, what="every row showing its name")

    # -- the cases --
    def test_01_the_context_menu_opens_the_dialog_and_escape_changes_nothing(self):
        before = self.folder.read_ini()
        # Without a selected site the command does nothing. Commands are handled in order: once
        # the registration dialog of the next one is up, this one has been dealt with.
        self.assertEqual(self.driver.selected(self.hwnd, rig.IDC_SITE_LIST)["selected"], -1)
        self.driver.command(self.hwnd, rig.ID_SITE_SETTINGS)
        self.driver.command(self.hwnd, rig.ID_ADD_SITE)
        add = self.window("新規登録", self.hwnd)
        self.assertEqual(self.driver.windows(caption=CAPTION, pid=self.app.win_pid), [])
        self.driver.command(add, rig.IDCANCEL)
        self.driver.wait_gone(add, timeout=LONG)
        window, items = self.right_click_site(9101)
        self.assertRegex(items[0]["text"], r"^最終確認: \d{4}/\d\d/\d\d \d\d:\d\d 変更なし$")
        self.assertTrue(items[1]["separator"])
        self.assertEqual([i["text"] for i in items[2:]], ["設定(&E)...", "サイトをブラウザで開く(&B)", "比較の方法(&C)",
                                                         "フォルダを開く(&F)", "", "削除(&D)"])
        rig.key("e")
        dlg = self.window(CAPTION, self.hwnd)
        info = self.driver.info(dlg)
        main = self.driver.info(self.hwnd)
        self.assertEqual(info["owner"], self.hwnd)
        r, m = info["rect"], main["rect"]
        self.assertLessEqual(abs((r["left"] + r["right"]) - (m["left"] + m["right"])), 2, (r, m))
        self.assertLessEqual(abs((r["top"] + r["bottom"]) - (m["top"] + m["bottom"])), 2, (r, m))
        shown = self.form(dlg)
        self.assertEqual(shown[:7], ("ニュース", "http://127.0.0.1/file/news.html", "毎回", "page", "", "", ""))
        self.assertRegex(shown[7], r"^最終確認: \d{4}/\d\d/\d\d \d\d:\d\d 変更なし$")
        self.shot("dialog")
        # Changes typed, then Escape: nothing is kept.
        self.replace_text(dlg, rig.IDC_SETTINGS_NAME, "別の名前")
        self.replace_text(dlg, rig.IDC_SETTINGS_FROM, "<p>")
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(), before)
        self.assertEqual(self.rows()[0][:2], ("ニュース", "http://127.0.0.1/file/news.html"))

    def test_02_the_site_menu_needs_a_selection_and_cancel_changes_nothing(self):
        before = self.folder.read_ini()
        self.click_row(self.row_of(9103))
        activate(self.driver, self.hwnd)
        rig.key("alt+s")
        rig.key("e")
        dlg = self.window(CAPTION, self.hwnd)
        self.assertEqual(self.form(dlg)[0], "毎回")
        self.replace_text(dlg, rig.IDC_SETTINGS_IGNORE, "a\nb", multiline=True)
        self.click_control(dlg, rig.IDCANCEL)
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(), before)

    def test_03_a_new_url_keeps_the_sites_folder(self):
        files = site_files(self.data("9101"))
        dlg = self.open_from_menu(9101)
        self.replace_text(dlg, rig.IDC_SETTINGS_URL, "http://127.0.0.1/file/moved.html")
        self.confirm(dlg)
        self.lines[self.lines.index("url1=http://127.0.0.1/file/news.html")] = "url1=http://127.0.0.1/file/moved.html"
        self.assertEqual(self.folder.read_ini(), ini_lines(*self.lines), "only url1 is rewritten")
        self.assertEqual(self.rows()[0], ("ニュース", "http://127.0.0.1/file/moved.html", 9101))
        self.assertEqual(site_files(self.data("9101")), files)

    def test_04_interval_range_and_ignored_texts_typed(self):
        dlg = self.open_from_menu(9104)
        self.click_control(dlg, rig.IDC_SETTINGS_NAME)
        rig.key("alt+i")
        rig.key("Down")
        rig.wait_until(lambda: self.field(dlg, rig.IDC_SETTINGS_INTERVAL) == "1 時間", timeout=30,
                       what="1 時間 chosen")
        self.confirm(dlg)
        self.lines.append("interval4=60")  # a new key goes to the end of the section
        self.assertEqual(self.folder.read_ini(), ini_lines(*self.lines))

        dlg = self.open_from_menu(9106)
        self.replace_text(dlg, rig.IDC_SETTINGS_FROM, RANGE_FROM)
        self.replace_text(dlg, rig.IDC_SETTINGS_TO, RANGE_TO)
        self.replace_text(dlg, rig.IDC_SETTINGS_IGNORE, "分前\nPR", multiline=True)
        self.shot("dialog-filled")
        self.confirm(dlg)
        self.lines += ["from6=" + RANGE_FROM, "to6=" + RANGE_TO, "ignore6=分前%0APR"]
        self.assertEqual(self.folder.read_ini(), ini_lines(*self.lines))

    def test_05_input_that_cannot_be_kept_is_refused_with_a_message(self):
        before = self.folder.read_ini()
        dlg = self.open_from_menu(9106)
        # Texts too long to type in a test: set straight into the boxes.
        self.driver.set_text(dlg, rig.IDC_SETTINGS_FROM, "x" * 256)
        self.refused(dlg, "監視する範囲の開始と終了は、それぞれ 255 バイト (全角 127 文字) までです。")
        self.driver.set_text(dlg, rig.IDC_SETTINGS_FROM, RANGE_FROM)
        self.driver.set_text(dlg, rig.IDC_SETTINGS_TO, b"two\r\nlines")
        self.refused(dlg, "監視する範囲の開始と終了に改行は使えません。")
        self.driver.set_text(dlg, rig.IDC_SETTINGS_TO, RANGE_TO)
        self.driver.set_text(dlg, rig.IDC_SETTINGS_IGNORE, rig.cp932("分前\r\n" + "i" * 1020))
        self.refused(dlg, "無視する語句は、改行を含めて合わせて 1023 バイト (全角 511 文字) までです。")
        self.replace_text(dlg, rig.IDC_SETTINGS_IGNORE, "分前\nPR", multiline=True)
        self.replace_text(dlg, rig.IDC_SETTINGS_URL, "")
        self.refused(dlg, "URLの設定を行ってください。", caption="")
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(), before)

    def test_06_a_pass_with_a_rename_during_the_sites_fetch(self):
        type(self).started = time.time()
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_requests(SLOW, 1)
        dlg = self.open_from_menu(9102)
        self.assertIn(self.rows()[self.row_of(9102)][0], (FETCHING.decode("cp932"), PROCESSING.decode("cp932")))
        self.assertEqual(self.form(dlg)[0], "遅いサイト", "the site's name, not the status its row shows")
        self.replace_text(dlg, rig.IDC_SETTINGS_NAME, "改名")
        self.confirm(dlg)
        self.assertIn(self.rows()[self.row_of(9102)][0], (FETCHING.decode("cp932"), PROCESSING.decode("cp932")),
                      "the status stays until the turn ends")
        self.assertIn(b"name2=\x89\xfc\x96\xbc\r\n", self.folder.read_ini())  # "改名"
        self.wait_requests("/file/nostart.html", 1)
        rows = self.wait_names()
        self.driver.command(self.hwnd, rig.ID_STOP)
        self.assertEqual(rows[self.row_of(9102)][0], "改名", "the edited name, not the one saved at the turn's start")
        targets = self.server.targets()
        self.assertEqual(targets, ["/file/moved.html", SLOW, "/file/every.html", "/file/hourly.html",
                                   "/file/range.html", "/file/inside.html", "/file/nostart.html"],
                         "the old URL is not asked for; the site checked half an hour ago has no turn")
        # The moved page is the old one: compared with the reference copy, nothing new is kept.
        news = site_files(self.data("9101"))
        self.assertEqual(sorted(snapshots(self.data("9101"))), [S1, S2])
        self.assertEqual(news["Old.TEMP"], stored(NEWS))
        self.assertEqual(news["Seen.TEMP"], rig.cp932(S1))
        self.assertEqual(self.record(9101)["outcome"], "unchanged")
        self.assertEqual(self.record(9108).get("range"), "missing")
        self.assertNotIn("range", self.record(9106))
        for code in (9106, 9107):
            self.assertEqual(len(snapshots(self.data(str(code)))), 1)

    def test_07_the_next_pass_skips_the_hourly_site_and_keeps_one_snapshot_of_a_change_inside(self):
        # Outside the range, or on an ignored line: the counter, the minutes, the advertisement.
        self.server.page("range.html", counter_page(101, 4, "本文", "広告B"))
        # The same around a change inside the range.
        self.server.page("inside.html", counter_page(101, 4, "新しい本文", "広告B"))
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_requests("/file/nostart.html", 2)
        self.wait_names()
        self.driver.command(self.hwnd, rig.ID_STOP)
        targets = self.server.targets()
        self.assertEqual(targets.count("/file/every.html"), 2)
        self.assertEqual(targets.count("/file/hourly.html"), 1, "checked an hour ago or less: no turn")
        self.assertEqual(targets.count("/file/recent.html"), 0)
        self.assertEqual(len(snapshots(self.data("9106"))), 1, "nothing that counts changed")
        self.assertEqual(self.record(9106)["outcome"], "unchanged")
        self.assertEqual(len(snapshots(self.data("9107"))), 2, "one snapshot of the change inside")
        self.assertEqual(self.record(9107)["outcome"], "changed")

    def test_08_the_comparison_page_lists_what_counts(self):
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, self.row_of(9107))
        rig.click(x, y)
        rig.wait_until(lambda: self.driver.row_count(self.hwnd, rig.IDC_SNAPSHOT_LIST) == 2, timeout=LONG,
                       what="two snapshots listed")
        newest = rig.raw(self.driver.rows(self.hwnd, rig.IDC_SNAPSHOT_LIST)[0]["cells"][0]).decode("cp932")
        activate(self.driver, self.hwnd)
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SNAPSHOT_LIST, 0)
        rig.click(x, y, button=3)
        self.driver.popup_menu(self.hwnd)
        rig.key("d")
        page_path = self.data("9107", "Compare", newest)
        rig.wait_until(lambda: os.path.exists(page_path), timeout=LONG, what="the comparison page")
        with open(page_path, "rb") as f:
            page = f.read()
        self.assertIn(rig.cp932("<del>-本文</del>"), page)
        self.assertIn(rig.cp932("<ins>+新しい本文</ins>"), page)
        for outside in ("訪問者", "footer", "分前", "広告"):
            self.assertNotIn(rig.cp932(outside), page, outside)

    def test_09_a_registry_file_that_cannot_be_written_keeps_the_dialog_open(self):
        ini = self.data("Morvel.ini")
        before = self.folder.read_ini()
        # Read only, and immutable too: the tests run as root, whom permissions do not stop.
        os.chmod(ini, 0o444)
        immutable = subprocess.run(["chattr", "+i", ini], stderr=subprocess.DEVNULL).returncode == 0
        try:
            if not immutable:
                self.skipTest("no immutable files on this file system")
            dlg = self.open_from_menu(9103)
            self.replace_text(dlg, rig.IDC_SETTINGS_NAME, "保存不可")
            self.refused(dlg, "設定を data\\Morvel.ini に保存できませんでした。ファイルが読み取り専用でないか、"
                              "ほかのプログラムが使っていないか確かめてください。")
            self.assertEqual(self.folder.read_ini(), before)
            self.assertEqual(self.rows()[self.row_of(9103)][0], "毎回")
        finally:
            if immutable:
                subprocess.run(["chattr", "-i", ini], check=True)
            os.chmod(ini, 0o644)
        self.confirm(dlg)  # writable again: the same OK now stores it
        self.assertIn(rig.cp932("name3=保存不可\r\n"), self.folder.read_ini())
        self.assertEqual(self.rows()[self.row_of(9103)][0], "保存不可")

    def test_10_awkward_texts_and_every_setting_come_back_after_a_restart(self):
        dlg = self.open_from_menu(9108)
        self.replace_text(dlg, rig.IDC_SETTINGS_FROM, ' "quoted" ')
        self.replace_text(dlg, rig.IDC_SETTINGS_TO, "100% ")
        self.replace_text(dlg, rig.IDC_SETTINGS_IGNORE, " lead\n　全角　\n%0A", multiline=True)
        self.click_control(dlg, rig.IDC_SETTINGS_TEXT_ONLY)
        self.confirm(dlg)
        stored_ini = self.folder.read_ini()
        self.assertIn(b"from8=%20\"quoted\"%20\r\n", stored_ini)
        self.assertIn(b"to8=100%25%20\r\n", stored_ini)
        self.assertIn(rig.cp932("ignore8=%20lead%0A　全角　%0A%250A\r\n"), stored_ini)
        self.driver.command(self.hwnd, rig.IDCANCEL)
        self.app.wait(LONG)
        self.start_again()
        expected = {
            9104: ("一時間", "http://127.0.0.1/file/hourly.html", "1 時間", "page", "", "", ""),
            9106: ("範囲", "http://127.0.0.1/file/range.html", "毎回", "page", RANGE_FROM, RANGE_TO, "分前\r\nPR"),
            9107: ("本文の範囲", "http://127.0.0.1/file/inside.html", "毎回", "text", "お知らせ", "footer",
                   "分前\r\nPR"),
            9108: ("開始なし", "http://127.0.0.1/file/nostart.html", "毎回", "text", ' "quoted" ', "100% ",
                   " lead\r\n　全角　\r\n%0A"),
            9102: ("改名", "http://127.0.0.1" + SLOW, "毎回", "page", "", "", ""),
        }
        for code, fields in expected.items():
            dlg = self.open_from_menu(code)
            self.assertEqual(self.form(dlg)[:7], fields, code)
            rig.key("Escape")
            self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(), stored_ini, "only looked at")

    def test_11_deleting_a_site_removes_its_keys(self):
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, self.row_of(9107))
        rig.click(x, y)
        self.driver.command(self.hwnd, rig.ID_DELETE_SITE)
        box = self.window("データの削除", self.hwnd)
        self.driver.command(box, IDYES)
        rig.wait_until(lambda: 9107 not in [r[2] for r in self.rows()], timeout=LONG, what="the site deleted")
        text = self.folder.read_ini()
        self.assertIn(b"del7=1\r\n", text)
        for key in (b"compare7=", b"from7=", b"to7=", b"ignore7=", b"interval7="):
            self.assertNotIn(key, text)
        self.assertIn(b"from6=", text, "the other sites keep theirs")


if __name__ == "__main__":
    rig.main()
