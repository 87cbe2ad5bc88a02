"""Registering and deleting sites through the real dialogs, and the acquisition worker polling a
scripted HTTP server on 127.0.0.1:80, with the real program under Wine.

Each class starts the program once and walks through its cases in order (test_1_..., test_2_...),
each case starting from where the one before left the program. Keys and clicks are real X input
(xdotool); the list, the dialogs and the boxes are read through the window driver; the registry
file and the site folders are read as files.
"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from worker_support import (FETCHING, IDYES, LONG, PROCESSING, ProgramClass,  # noqa: E402
                            ScriptedServer, activate, clock_code, codes_between, request_for,
                            site_files, snapshots, stamp_time, stored, type_into)
from rig import entry_lines, ini_lines  # noqa: E402
from worker_support import (BS_DEFPUSHBUTTON, BS_TYPEMASK, STM_GETICON,  # noqa: E402
                            DELETE_CAPTION, EMPTY_URL_TEXT, ADD_CAPTION)

class Registration(ProgramClass):
    """The registration dialog and deletion, in a program folder without a data folder."""

    def test_1_dialog_centred_over_the_window_with_the_add_button_focused(self):
        main = self.driver.info(self.hwnd)
        dlg = self.open_add_dialog()
        info = self.driver.info(dlg)
        self.assertEqual(info["owner"], self.hwnd)
        r, m = info["rect"], main["rect"]
        self.assertLessEqual(abs((r["left"] + r["right"]) - (m["left"] + m["right"])), 2, (r, m))
        self.assertLessEqual(abs((r["top"] + r["bottom"]) - (m["top"] + m["bottom"])), 2, (r, m))
        kids = self.controls(dlg)
        ids = self.by_id(kids)
        self.assertEqual(rig.raw(ids[rig.IDOK]), rig.cp932("追加(&A)"))
        self.assertEqual(rig.raw(ids[rig.IDCANCEL]), rig.cp932("キャンセル"))
        labels = [rig.raw(c) for c in kids if c["class"].lower() == "static"]
        self.assertEqual(labels, [rig.cp932("サイト名(&S)："), rig.cp932("URL(&U)：")])
        self.assertEqual(rig.raw(ids[rig.IDC_SITE_NAME]), b"")
        self.assertEqual(rig.raw(ids[rig.IDC_URL]), b"")

        # Space presses the focused button: with the add button focused and no URL, the box.
        rig.key("space")
        box = self.find("", dlg)
        self.check_empty_url_box(box["hwnd"])
        rig.key("Return")
        self.driver.wait_gone(box["hwnd"])
        self.assertTrue(self.driver.info(dlg)["visible"])
        self.assertFalse(os.path.exists(self.folder.data), "nothing is stored without a URL")

    def check_empty_url_box(self, box):
        self.assertEqual(rig.raw(self.driver.text(box)), b"", "the box has an empty caption")
        kids = self.controls(box)
        texts = [rig.raw(c) for c in kids if c["class"].lower() == "static" and c["text"]]
        self.assertEqual(texts, [rig.cp932(EMPTY_URL_TEXT)])
        buttons = [c for c in kids if c["class"].lower() == "button" and c["visible"]]
        self.assertEqual([(b["id"], b["text"]) for b in buttons], [(rig.IDOK, "OK")])
        for c in kids:
            if c["class"].lower() == "static" and (c["style"] & 0x1F) == 3:  # SS_ICON
                self.assertEqual(self.driver.send(c["hwnd"], STM_GETICON), 0, "no icon")

    def test_2_empty_url_keeps_the_dialog_and_its_texts(self):
        dlg = self.find(ADD_CAPTION, self.hwnd)["hwnd"]
        rig.key("alt+s")
        type_into(self.driver, dlg, rig.IDC_SITE_NAME, "ソフト表示")
        self.click_control(dlg, rig.IDOK)
        box = self.find("", dlg)["hwnd"]
        self.check_empty_url_box(box)
        self.click_control(box, rig.IDOK)
        self.driver.wait_gone(box)
        self.assertTrue(self.driver.info(dlg)["visible"])
        self.assertEqual(rig.raw(self.driver.text(dlg, rig.IDC_SITE_NAME)), rig.cp932("ソフト表示"))
        self.assertEqual(rig.raw(self.driver.text(dlg, rig.IDC_URL)), b"")
        self.assertEqual(self.site_rows(), [])
        self.assertFalse(os.path.exists(self.folder.data))

    def test_3_registration_stores_the_site(self):
        dlg = self.find(ADD_CAPTION, self.hwnd)["hwnd"]
        url = "http://127.0.0.1/file/first.html"
        rig.key("alt+u")
        type_into(self.driver, dlg, rig.IDC_URL, url)
        t0 = time.time()
        rig.key("Return")
        self.driver.wait_gone(dlg)
        t1 = time.time()
        rows = self.site_rows()
        self.assertEqual(len(rows), 1, rows)
        name, got_url, code = rows[0]
        self.assertEqual((name, got_url), (rig.cp932("ソフト表示"), url.encode()))
        self.assertIn(code, codes_between(t0, t1))
        self.assertEqual(self.registry(), ini_lines(
            "[url]", "count=1", "name1=ソフト表示", "url1=" + url, "code1=%d" % code))
        self.assertTrue(os.path.isdir(self.data(str(code))))
        self.assertEqual(os.listdir(self.data(str(code))), [])
        type(self).first = rows[0]

    def test_4_codes_in_use_are_skipped_and_new_rows_go_on_top(self):
        first_name, first_url, first_code = self.first
        # Every clock code of the next minutes is taken by an entry of the registry, deleted
        # and live ones in turn; the number after the end of each run of them only by a site
        # folder.
        now = time.time()
        taken_by_entry = []
        for s in range(int(now) - 5, int(now) + 600):
            c = clock_code(s)
            if c != first_code and c not in taken_by_entry:
                taken_by_entry.append(c)
        in_registry = set(taken_by_entry) | {first_code}
        folder_only = {c + 1 for c in in_registry} - in_registry
        for c in folder_only:
            os.makedirs(self.data(str(c)))
        lines = ["[url]", "count=%d" % (len(taken_by_entry) + 1),
                 "name1=" + first_name.decode("cp932"), "url1=" + first_url.decode(),
                 "code1=%d" % first_code]
        for n, c in enumerate(taken_by_entry, start=2):
            lines += entry_lines(n, "古いサイト%d" % n, "http://127.0.0.1/old/%d" % n, c,
                                 deleted=n % 2 == 0)
        self.folder.write_ini(ini_lines(*lines))

        def free_after(c):
            while c in in_registry or c in folder_only:
                c += 1
            return c

        # Through the mouse this time: a click into each box, a click on the add button.
        name, url = "二番目のサイト", "http://127.0.0.1/file/second.html"
        dlg = self.open_add_dialog()
        self.click_control(dlg, rig.IDC_SITE_NAME)
        type_into(self.driver, dlg, rig.IDC_SITE_NAME, name)
        self.click_control(dlg, rig.IDC_URL)
        type_into(self.driver, dlg, rig.IDC_URL, url)
        t0 = time.time()
        self.click_control(dlg, rig.IDOK)
        self.driver.wait_gone(dlg)
        t1 = time.time()

        rows = self.site_rows()
        self.assertEqual(len(rows), 2, rows)
        self.assertEqual(rows[1], self.first)
        self.assertEqual(rows[0][:2], (rig.cp932(name), url.encode()))
        code = rows[0][2]
        expected = {free_after(c) for c in codes_between(t0, t1)}
        self.assertIn(code, expected)
        self.assertNotIn(code, in_registry | folder_only)
        n = len(taken_by_entry) + 2
        lines[1] = "count=%d" % n
        lines += ["name%d=%s" % (n, name), "url%d=%s" % (n, url), "code%d=%d" % (n, code)]
        self.assertEqual(self.registry(), ini_lines(*lines))
        self.assertTrue(os.path.isdir(self.data(str(code))))
        type(self).second = rows[0]
        type(self).lines = lines

    def test_5_delete_without_a_selected_row_does_nothing(self):
        self.assertEqual(self.driver.selected(self.hwnd, rig.IDC_SITE_LIST)["selected"], -1)
        before = self.registry()
        self.driver.command(self.hwnd, rig.ID_DELETE_SITE)
        # Commands are handled in order: once the registration dialog of the next one is up,
        # the deletion has been dealt with.
        dlg = self.open_add_dialog()
        self.assertEqual(self.driver.windows(caption=DELETE_CAPTION, pid=self.app.win_pid), [])
        self.click_control(dlg, rig.IDCANCEL)
        self.driver.wait_gone(dlg)
        self.assertEqual(self.site_rows(), [self.second, self.first])
        self.assertEqual(self.registry(), before)

    def test_6_delete_asks_and_no_keeps_everything(self):
        self.click_row(1)
        before = self.registry()
        box = self.delete_question()
        rig.key("Return")  # the default answer
        self.driver.wait_gone(box)
        self.assertEqual(self.site_rows(), [self.second, self.first])
        self.assertEqual(self.registry(), before)

    def test_7_delete_yes_marks_the_entry_and_removes_the_row(self):
        self.assertEqual(self.driver.selected(self.hwnd, rig.IDC_SITE_LIST)["selected"], 1)
        box = self.delete_question()
        self.click_control(box, IDYES)
        self.driver.wait_gone(box)
        self.assertEqual(self.site_rows(), [self.second])
        self.assertEqual(self.registry(), ini_lines(*(self.lines + ["del1=1"])))
        self.assertTrue(os.path.isdir(self.data(str(self.first[2]))), "the folder stays")



# The acquisition run: its sites in registry order. Four rows share the code 3003, so one folder
# sees a good fetch and then three failing ones: no answer (the fetch gives up after 30 s), a
# connection closed before the body, and a host that cannot be resolved. Entry 7 is an older
# deleted one with the code of entry 8. The slow page answers after 25 s, well within the
# fetch's 30 s without progress.
SLOW_TARGET = "/slow?ms=25000"
SITES = [
    # (entry number, name, URL, code, deleted)
    (1, "ページＡ", "http://127.0.0.1/file/a.html", 3001, False),
    (2, "改行だけ", "http://127.0.0.1/lf", 3002, False),
    (3, "良いページ", "http://127.0.0.1/file/g.html", 3003, False),
    (4, "無応答", "http://127.0.0.1/silent", 3003, False),
    (5, "途中切断", "http://127.0.0.1/close-early", 3003, False),
    (6, "名前解決不可", "http://sitewake-nowhere.invalid/page.html", 3003, False),
    (7, "古い共有", "http://127.0.0.1/file/old.html", 3007, True),
    (8, "共有コード", "http://127.0.0.1/file/s.html", 3007, False),
    (9, "遅いサイト", "http://127.0.0.1" + SLOW_TARGET, 3009, False),
    (10, "最後のサイト", "http://127.0.0.1/file/z.html", 3010, False),
]
NEW_SITE = ("新しいサイト", "http://127.0.0.1/file/n.html")
PAGES = {
    "a.html": b"<html>\n<body>\x83y\x81[\x83W version 1</body>\n</html>\n",
    "g.html": b"<p>good page</p>\n",
    "s.html": b"<p>shared code</p>\n",
    "z.html": b"<p>last</p>\n",
    "n.html": b"<p>new site</p>\n",
    "old.html": b"<p>never fetched</p>\n",
}
PAGE_A2 = b"<html>\n<body>\x83y\x81[\x83W version 2</body>\n</html>\n"
LF_STORED = b"\r\r\n<html>\r\nline one\r\nline two\r\n</html>\r\n"
SLOW_STORED = b"\r\r\n<p>slow</p>\r\n"
# One pass over the list before and after the registration: what the server is asked, in order.
PASS_TARGETS = ["/file/a.html", "/lf", "/file/g.html", "/silent", "/close-early",
                "/file/s.html", SLOW_TARGET, "/file/z.html"]


def site_row(name, url, code):
    return (rig.cp932(name), url.encode(), code)


class Acquisition(ProgramClass):
    """The worker over two and a half passes: statuses, fetched copies, reference copies and
    snapshots, failed fetches, stopping, registering and deleting rows during a slow fetch, a
    second start, and Escape while it works."""

    @classmethod
    def prepare(cls):
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        for name, body in PAGES.items():
            cls.server.page(name, body)
        lines = ["[url]", "count=%d" % len(SITES)]
        for n, name, url, code, deleted in SITES:
            lines += entry_lines(n, name, url, code, deleted)
            os.makedirs(os.path.join(cls.folder.data, str(code)), exist_ok=True)
        cls.lines = lines
        cls.folder.write_ini(ini_lines(*lines))
        cls.history = {}  # URL -> the texts its row showed, each change once
        cls.changed = {}  # URL -> the monotonic times of those changes
        cls.seen = []  # time.time() at which each logged request was first seen

    # -- watching --
    def watch(self, until, what, timeout=LONG):
        """Polls the site list and the server's log, noting every text each row shows, until
        until(rows, targets) is true; returns its value."""
        deadline = time.monotonic() + timeout
        while True:
            rows = self.site_rows()
            for name, url, code in rows:
                h = self.history.setdefault(url, [])
                if not h or h[-1] != name:
                    h.append(name)
                    self.changed.setdefault(url, []).append(time.monotonic())
            targets = self.server.targets()
            now = time.time()
            self.seen.extend([now] * (len(targets) - len(self.seen)))
            value = until(rows, targets)
            if value:
                return value
            if time.monotonic() > deadline:
                self.fail("timed out after %.0f s waiting for %s\nrequests: %r\nrows: %r"
                          % (timeout, what, targets, rows))
            time.sleep(0.05)

    def wait_request(self, target, count=1, timeout=LONG):
        """Waits until target has been asked for count times in all; returns its log index."""
        def asked(rows, targets):
            found = [i for i, t in enumerate(targets) if t == target]
            return len(found) >= count and found[count - 1] + 1
        return self.watch(asked, "request %d for %s" % (count, target), timeout) - 1

    def wait_names(self, expected, timeout=LONG):
        """Waits until the list is exactly expected (every row showing its own name)."""
        return self.watch(lambda rows, targets: rows == expected,
                          "rows %r" % (expected,), timeout)

    def check_requests(self, first, targets):
        got = self.server.requests()[first:]
        self.assertEqual([r.split(b"\r\n")[0] for r in got],
                         [b"GET %s HTTP/1.0" % t.encode() for t in targets])
        for raw, t in zip(got, targets):
            self.assertEqual(raw, request_for(t))

    def check_site(self, code, reference, snapshot_bodies, fetched=None):
        """A site folder: the reference copy, the snapshots' contents (in stamp order) and, when
        given, the fetched copy; nothing else, and no snapshot stamped outside the run."""
        folder = self.data(str(code))
        files = site_files(folder)
        snaps = snapshots(folder)
        self.assertEqual(files.get("Old.TEMP"), reference, "Old.TEMP of %d" % code)
        self.assertEqual([snaps[n] for n in sorted(snaps, key=stamp_time)], snapshot_bodies,
                         "snapshots of %d: %r" % (code, sorted(snaps)))
        if fetched is not None:
            self.assertEqual(files.get("NEW.TEMP"), fetched, "NEW.TEMP of %d" % code)
        others = set(files) - set(snaps) - {"NEW.TEMP", "Old.TEMP", "Seen.TEMP", "Check.TEMP"}
        self.assertEqual(others, set(), "stray files in %d" % code)
        if "Check.TEMP" in files:
            # The record of the site's last check (its shape is the record tests' business).
            self.assertRegex(files["Check.TEMP"], rb"^checked=\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\r\noutcome=",
                             "Check.TEMP of %d" % code)
        if "Seen.TEMP" in files:
            # The newest snapshot the user has seen (the first one until the site is listed).
            self.assertIn(files["Seen.TEMP"], [rig.cp932(n) for n in snaps], "Seen.TEMP of %d" % code)
        for n in snaps:
            self.assertGreaterEqual(stamp_time(n), int(self.started) - 1, n)
            self.assertLessEqual(stamp_time(n), time.time() + 1, n)
        return snaps

    def stamp_between(self, snapshot_name, low, high):
        t = stamp_time(snapshot_name)
        self.assertTrue(int(low) - 1 <= t <= high + 1,
                        "%s is not between %s and %s" % (snapshot_name, time.ctime(low),
                                                         time.ctime(high)))

    def rows_expected(self):
        rows = [site_row(name, url, code) for n, name, url, code, deleted in SITES
                if not deleted and n != 8]
        return [site_row(NEW_SITE[0], NEW_SITE[1], type(self).new_code)] + rows

    # -- the cases --
    def test_1_first_pass_with_rows_registered_and_deleted_during_a_slow_fetch(self):
        live = [site_row(name, url, code) for n, name, url, code, deleted in SITES if not deleted]
        self.assertEqual(self.site_rows(), live)
        type(self).started = time.time()
        self.driver.command(self.hwnd, rig.ID_START)
        self.driver.command(self.hwnd, rig.ID_START)  # a worker exists: no second one
        self.wait_request("/lf")
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_request(SLOW_TARGET)
        slow_asked = time.monotonic()

        # While the slow site is fetched: a site is registered through the dialog (its row goes
        # on top, above the worker's), and the row of entry 8, above the worker's, is deleted.
        t0, t1 = self.register(*NEW_SITE)
        rows = self.site_rows()
        self.assertEqual(rows[0][:2], site_row(NEW_SITE[0], NEW_SITE[1], 0)[:2])
        new_code = rows[0][2]
        self.assertIn(new_code, codes_between(t0, t1))
        type(self).new_code = new_code
        shared = [r[1] for r in rows].index(b"http://127.0.0.1/file/s.html")
        self.click_row(shared)
        box = self.delete_question()
        self.click_control(box, IDYES)
        self.driver.wait_gone(box)
        rows = self.site_rows()
        slow_url = ("http://127.0.0.1" + SLOW_TARGET).encode()
        self.assertEqual([r[0] for r in rows if r[1] == slow_url], [FETCHING],
                         "the rows were to change while the slow fetch was under way")
        sys.stderr.write("[worker] registration and deletion took %.1f s of the slow fetch\n"
                         % (time.monotonic() - slow_asked))

        # The pass goes on with the rows below the slow one, and every row ends with its name.
        expected = self.rows_expected()
        self.wait_request("/file/z.html")
        self.wait_names(expected)
        type(self).pass_end = time.monotonic()
        self.check_requests(0, PASS_TARGETS)
        self.assertEqual(self.site_rows(), expected)

        n = len(SITES) + 1
        self.assertEqual(self.registry(), ini_lines(*(
            ["[url]", "count=%d" % n] + self.lines[2:]
            + ["name%d=%s" % (n, NEW_SITE[0]), "url%d=%s" % (n, NEW_SITE[1]),
               "code%d=%d" % (n, new_code), "del8=1"])))

        a = self.check_site(3001, stored(PAGES["a.html"]), [stored(PAGES["a.html"])],
                            fetched=stored(PAGES["a.html"]))
        self.stamp_between(list(a)[0], self.started, self.seen[0])
        lf = self.check_site(3002, LF_STORED, [LF_STORED], fetched=LF_STORED)
        self.stamp_between(list(lf)[0], self.seen[0], self.seen[1])
        # The good page's copies stay through the three failed fetches after it.
        g = self.check_site(3003, stored(PAGES["g.html"]), [stored(PAGES["g.html"])])
        self.stamp_between(list(g)[0], self.seen[1], self.seen[2])
        self.check_site(3007, stored(PAGES["s.html"]), [stored(PAGES["s.html"])],
                        fetched=stored(PAGES["s.html"]))
        self.check_site(3009, SLOW_STORED, [SLOW_STORED], fetched=SLOW_STORED)
        self.check_site(3010, stored(PAGES["z.html"]), [stored(PAGES["z.html"])],
                        fetched=stored(PAGES["z.html"]))
        self.assertEqual(os.listdir(self.data(str(new_code))), [], "not fetched in this pass")
        type(self).pass1_requests = len(self.server.requests())

    def test_2_stop_during_the_pause_ends_the_worker_before_its_next_fetch(self):
        self.watch(lambda rows, targets: time.monotonic() > self.pass_end + 3,
                   "the pause between passes")
        self.driver.command(self.hwnd, rig.ID_STOP)
        # The pause between passes is 60 s; then the next pass takes its first row (the one
        # registered during the first pass, never visited yet) and, finding acquisition stopped
        # before fetching, gives the row its name back and ends.
        wake = self.pass_end + 60
        self.watch(lambda rows, targets: time.monotonic() > wake + 15,
                   "the end of the pause", timeout=120)
        self.assertEqual(len(self.server.requests()), self.pass1_requests, "nothing fetched")
        self.assertEqual(self.site_rows(), self.rows_expected())
        name = rig.cp932(NEW_SITE[0])
        url = NEW_SITE[1].encode()
        self.assertEqual(self.history[url], [name, FETCHING, name])
        woke = self.changed[url][1] - self.pass_end
        self.assertGreaterEqual(woke, 59.0, "the next pass began %.1f s after the last" % woke)
        self.assertLessEqual(woke, 90.0, "the next pass began %.1f s after the last" % woke)

    def test_3_second_pass_keeps_one_snapshot_per_change_and_stops_after_a_fetch(self):
        self.server.page("a.html", PAGE_A2)
        first = len(self.server.requests())
        before_start = time.time()
        self.driver.command(self.hwnd, rig.ID_START)
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_request(SLOW_TARGET, count=2)
        self.driver.command(self.hwnd, rig.ID_STOP)
        # The stop is seen once the slow fetch is over: its row gets its name back and no
        # further site is asked for.
        expected = self.rows_expected()
        self.wait_names(expected)
        quiet_until = time.monotonic() + 10
        self.watch(lambda rows, targets: time.monotonic() > quiet_until, "ten quiet seconds")
        self.assertEqual(self.site_rows(), expected)
        self.check_requests(first, ["/file/n.html"] + PASS_TARGETS[:5] + [SLOW_TARGET])

        a = self.check_site(3001, stored(PAGE_A2), [stored(PAGES["a.html"]), stored(PAGE_A2)],
                            fetched=stored(PAGE_A2))
        self.stamp_between(sorted(a, key=stamp_time)[1], before_start, self.seen[first + 1])
        self.check_site(3002, LF_STORED, [LF_STORED], fetched=LF_STORED)
        self.check_site(3003, stored(PAGES["g.html"]), [stored(PAGES["g.html"])])
        self.check_site(3009, SLOW_STORED, [SLOW_STORED], fetched=SLOW_STORED)
        self.check_site(self.new_code, stored(PAGES["n.html"]), [stored(PAGES["n.html"])],
                        fetched=stored(PAGES["n.html"]))
        self.check_site(3010, stored(PAGES["z.html"]), [stored(PAGES["z.html"])])

        # What the rows showed all along: their own name, the fetching status and the
        # processing status, nothing else.
        names = {url.encode(): rig.cp932(name) for n, name, url, code, deleted in SITES}
        names[NEW_SITE[1].encode()] = rig.cp932(NEW_SITE[0])
        for url, texts in self.history.items():
            self.assertLessEqual(set(texts), {FETCHING, PROCESSING, names[url]}, (url, texts))
        everything = [t for texts in self.history.values() for t in texts]
        self.assertIn(FETCHING, everything)
        self.assertIn(PROCESSING, everything)

    def test_4_escape_while_the_worker_runs_ends_the_program_without_half_written_files(self):
        page_a3 = b"".join(b"<li>item %d \x83\x5c\x95\x5c</li>\n" % i for i in range(120000))
        self.server.page("a.html", page_a3)
        first = len(self.server.requests())
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_request("/file/a.html", count=3)
        activate(self.driver, self.hwnd)
        pressed = time.monotonic()
        rig.key("Escape")
        status = self.app.wait(LONG)
        sys.stderr.write("[worker] Escape to exit: %.1f s, exit status %s\n"
                         % (time.monotonic() - pressed, status))
        files = site_files(self.data("3001"))
        versions = {stored(PAGES["a.html"]), stored(PAGE_A2), stored(page_a3)}
        self.assertIn(files["Old.TEMP"], {stored(PAGE_A2), stored(page_a3)})
        snaps = snapshots(self.data("3001"))
        self.assertLessEqual(set(snaps.values()), versions)
        if files["Old.TEMP"] == stored(page_a3):
            self.assertEqual(len(snaps), 3)
        else:
            self.assertEqual(len(snaps), 2)
        sys.stderr.write("[worker] after Escape: the reference copy is version %d, %d snapshots, "
                         "the fetched copy %d of %d bytes\n"
                         % (3 if files["Old.TEMP"] == stored(page_a3) else 2, len(snaps),
                            len(files.get("NEW.TEMP", b"")), len(stored(page_a3))))
        for dirpath, dirnames, filenames in os.walk(self.folder.data):
            for name in filenames:
                self.assertNotEqual(name, "Copy.tmp", os.path.join(dirpath, name))


if __name__ == "__main__":
    rig.main()
