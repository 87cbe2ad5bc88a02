"""Snapshot viewing with the real program under Wine: a click on a site lists its snapshots,
newest first; a click on a snapshot opens it through a browser's DDE service (IEXPLORE, then
NETSCAPE) or, when no browser takes the conversation, through the shell's "open".

One program start serves every case, in order (test_01_..., test_02_...), each case starting where
the one before left the program. The browsers are played by dde_browser_fixture.exe, one
long-lived process that logs every connection and request and reads how to behave from a mode
file; the shell's "open" of .htm files runs the same program, which logs its command line.
Clicks are real X clicks (xdotool) at the coordinates the window driver gives.

The program handles one click at a time, so its DDE traffic comes in click order; every click
that opens something begins with a connection to IEXPLORE on WWW_OpenURL, which splits the log
into one part per such click. A part is checked whole once the next one has begun, so anything
a click did beyond what it should have shows up in its own part.
"""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402

FIXTURE_EXE = os.path.join(rig.TEST_BIN, "dde_browser_fixture.exe")
LONG = 240.0  # seconds: everything under Wine runs through qemu here
PROCESS_START = 600.0  # a new Wine process (the shell's logger) on a busy machine

IDYES = 6
DELETE_CAPTION = "データの削除"

OPEN_URL_TAIL = b'",,0xFFFFFFFF,0x0,,,'
ACTIVATE_ITEM = b"0xFFFFFFFF,0x0"

# Site 5: snapshots among files and a folder that are not. Site 7: names whose byte order
# differs from other orders, one whose path fits but whose DDE item does not, and one whose path
# is a byte too long. Site 9: no folder at all.
STAMPS_5 = ["2001年08月20日08時54分08秒.htm", "1999年12月31日23時59分59秒.htm",
            "2001年12月01日00時00分00秒.htm", "2001年08月20日09時00分00秒.htm",
            "2002年01月01日00時00分00秒.htm"]
NEWEST_5 = ["2002年01月01日00時00分00秒.htm", "2001年12月01日00時00分00秒.htm",
            "2001年08月20日09時00分00秒.htm", "2001年08月20日08時54分08秒.htm",
            "1999年12月31日23時59分59秒.htm"]
ADDED_5 = "2003年03月03日03時03分03秒.htm"
NOT_SNAPSHOTS_5 = ["NEW.TEMP", "Old.TEMP"]
FOLDER_5 = "x.htm"

SITE_DIR_LENGTH = 80                      # bytes of "<program folder>\data\7\"
# A 236-byte path fits its buffer, and its 257-byte item fits the item's buffer, but no DDE string
# handle holds more than 255 characters: the item cannot be sent whole, so it is not sent at all.
FITS_236 = "M" * (236 - SITE_DIR_LENGTH - 4) + ".htm"
TOO_LONG_260 = "L" * (260 - SITE_DIR_LENGTH - 4) + ".htm"
NAMES_7 = ["B.htm", "2001年08月20日08時54分08秒.htm", "新着.htm", FITS_236, "a.htm", TOO_LONG_260]
# Descending byte order: 新 (0x90) > a (0x61) > M > L > B (0x42) > 2 (0x32).
NEWEST_7 = ["新着.htm", "a.htm", FITS_236, TOO_LONG_260, "B.htm", "2001年08月20日08時54分08秒.htm"]

REGISTRY = ("[url]\ncount=3\n"
            "name1=ニュース\nurl1=http://127.0.0.1/news.html\ncode1=5\n"
            "name2=長い名前\nurl2=http://127.0.0.1/long.html\ncode2=7\n"
            "name3=空のサイト\nurl3=http://127.0.0.1/none.html\ncode3=9\n")


def enc(text):
    return rig.cp932(text)


def write_atomically(path, text):
    """The fixture reads its files at any moment: it never sees one half-written."""
    with open(path + ".tmp", "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


# ---------------------------------------------------------------------------------------------
# The stand-in browser


def parse_event(line):
    """A fixture log line as a tuple; an item comes as its exact bytes."""
    words = line.split(" ")
    if words[0] == "request":
        return ("request", words[1], words[2], bytes.fromhex(words[3]), words[4])
    return tuple(words)


class Browser:
    """dde_browser_fixture.exe serving IEXPLORE and NETSCAPE from a folder of its own."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="sw-dde-")
        self.log_path = os.path.join(self.dir, "dde.log")
        self.open_log = os.path.join(self.dir, "open.log")
        self.set_modes()
        self.proc = rig.Process([FIXTURE_EXE, "serve", rig.win_path(self.dir)], cwd=self.dir,
                                env=rig.wine_env())

    def lines(self):
        try:
            with open(self.log_path, "rb") as f:
                return [l.decode("ascii") for l in f.read().split(b"\n") if l]
        except FileNotFoundError:
            return []

    def wait_line(self, line, timeout=LONG):
        rig.wait_until(lambda: line in self.lines(), timeout=timeout, interval=0.2,
                       what="%r in the DDE log" % line)

    def command(self, text, timeout=LONG):
        """Runs a command of the fixture and waits for it to be done; returns the log line."""
        write_atomically(os.path.join(self.dir, "command.txt"), text + "\n")
        return rig.wait_until(
            lambda: next((l for l in self.lines() if l.startswith("done " + text)), None),
            timeout=timeout, interval=0.2, what="fixture command %r" % text)

    def set_modes(self, iexplore="refuse", netscape="refuse"):
        write_atomically(os.path.join(self.dir, "mode.txt"),
                         "IEXPLORE %s\nNETSCAPE %s\n" % (iexplore, netscape))

    def events(self):
        """The DDE events, without the fixture's own lines."""
        return [parse_event(l) for l in self.lines()
                if l.split(" ")[0] in ("connect", "request", "disconnect", "replied")]

    def parts(self):
        """The events split before each connection to IEXPLORE on WWW_OpenURL; events before
        the first such connection (there should be none) form a part of their own."""
        parts = []
        for e in self.events():
            if e[:3] == ("connect", "IEXPLORE", "WWW_OpenURL") or not parts:
                parts.append([])
            parts[-1].append(e)
        return parts

    def wait_part(self, index, length):
        """The log part of an opening (parts()[index]), once it holds at least length events."""
        def ready():
            parts = self.parts()
            return len(parts) > index and len(parts[index]) >= length
        rig.wait_until(ready, timeout=LONG, interval=0.3, what="DDE part %d" % index)
        return self.parts()[index]

    def opened(self):
        """The command lines the shell's "open" gave the logger, as bytes."""
        try:
            with open(self.open_log, "rb") as f:
                return [l.rstrip(b"\r") for l in f.read().split(b"\n") if l]
        except FileNotFoundError:
            return []

    def wait_opened(self, count):
        """The command lines the shell's "open" gave the logger, once there are count."""
        rig.wait_until(lambda: len(self.opened()) >= count, timeout=PROCESS_START, interval=0.5,
                       what="%d files opened by the shell" % count)
        return self.opened()

    def loggers_running(self):
        """Fixture processes started by the shell (any but the serving one) still running."""
        found = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit() or int(pid) == self.proc.pid:
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmdline = f.read()
            except OSError:
                continue
            if b"dde_browser_fixture" in cmdline and b"serve" not in cmdline:
                found.append(int(pid))
        return found

    def stop(self):
        if self.proc.running():
            try:
                self.command("quit", timeout=60)  # puts the .htm class back as it was
                self.proc.wait(60)
            except TimeoutError:
                pass
        self.proc.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


def open_url_item(path):
    return b'"' + path + OPEN_URL_TAIL


def answered(service, path, mode):
    """The events of a service that takes both conversations and answers with mode."""
    return [("connect", service, "WWW_OpenURL", "accepted"),
            ("request", service, "WWW_OpenURL", open_url_item(path), mode),
            ("disconnect", service, "WWW_OpenURL"),
            ("connect", service, "WWW_Activate", "accepted"),
            ("request", service, "WWW_Activate", ACTIVATE_ITEM, mode),
            ("disconnect", service, "WWW_Activate")]


def refused(service):
    return [("connect", service, "WWW_OpenURL", "refused")]


def logged_file(command_line):
    """The last quoted argument of a logged command line: the file the shell opened."""
    head, sep, tail = command_line.rstrip().rpartition(b' "')
    return tail[:-1] if sep and tail.endswith(b'"') else None


# ---------------------------------------------------------------------------------------------


class SnapshotViewing(rig.StepTestCase):
    """One program and one stand-in browser for every case, in order; a failed case skips the
    rest."""

    @classmethod
    def setUpClass(cls):
        for exe in (rig.EXE, FIXTURE_EXE):
            if not os.path.exists(exe):
                raise unittest.SkipTest("no %s (build with scripts/build.sh)" % exe)
        cls.failed_step = None
        cls.opening_clicks = 0
        cls.driver = rig.Driver()
        cls.addClassCleanup(cls.driver.close)
        cls.folder = cls.make_folder()
        cls.addClassCleanup(cls.folder.remove)
        # The two Wine processes start side by side: each start costs a minute or more here.
        cls.browser = Browser()
        cls.addClassCleanup(cls.browser.stop)
        cls.app = rig.Program(cls.folder)
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)
        cls.browser.wait_line("ready")
        done = cls.browser.command("register-htm " + rig.win_path(cls.browser.open_log))
        if not done.endswith(" ok"):
            raise AssertionError("the fixture could not register the .htm handler: " + done)

    @classmethod
    def make_folder(cls):
        """The program in a folder whose name makes "<folder>\\data\\7\\" SITE_DIR_LENGTH bytes."""
        root_length = len(rig.win_path(tempfile.gettempdir())) + len("\\sw-") + 8
        name = "v" * (SITE_DIR_LENGTH - root_length - 1 - len("\\data\\7\\"))
        folder = rig.ProgramFolder(name=name)
        folder.write_ini(REGISTRY)
        site5 = os.path.join(folder.data, "5")
        os.makedirs(os.path.join(site5, FOLDER_5))
        for n in STAMPS_5 + NOT_SNAPSHOTS_5:
            with open(os.path.join(site5, n), "w", encoding="utf-8") as f:
                f.write("<html>%s</html>\r\n" % n)
        site7 = os.path.join(folder.data, "7")
        os.makedirs(site7)
        for n in NAMES_7:
            with open(os.path.join(site7, n), "w", encoding="utf-8") as f:
                f.write("<html></html>\r\n")
        assert len(enc(cls.site_dir(folder, 7))) == SITE_DIR_LENGTH, cls.site_dir(folder, 7)
        return folder

    @staticmethod
    def site_dir(folder, code):
        return "%s\\data\\%d\\" % (rig.win_path(folder.dir), code)

    def snapshot_path(self, code, name):
        """The full path of a snapshot as the program builds it, as bytes."""
        return enc(self.site_dir(self.folder, code) + name)

    # -- the program --
    def site_rows(self):
        return [(rig.raw(r["cells"][0]), r["param"]) for r in self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)]

    def site_row_of(self, code):
        return [param for _, param in self.site_rows()].index(code)

    def snapshot_names(self):
        return [rig.raw(r["cells"][0]) for r in self.driver.rows(self.hwnd, rig.IDC_SNAPSHOT_LIST)]

    def wait_snapshots(self, names):
        want = [enc(n) for n in names]
        try:
            rig.wait_until(lambda: self.snapshot_names() == want, timeout=LONG, interval=0.3,
                           what="the snapshot list")
        except TimeoutError:
            self.assertEqual(self.snapshot_names(), want)

    def selected(self, ctl_id):
        return self.driver.selected(self.hwnd, ctl_id)["selected"]

    def wait_selected(self, ctl_id, row):
        rig.wait_until(lambda: self.selected(ctl_id) == row, timeout=LONG, interval=0.3,
                       what="row %d selected in list %d" % (row, ctl_id))

    def click_row(self, ctl_id, row):
        rig.click(*self.driver.row_point(self.hwnd, ctl_id, row))

    def click_below_rows(self, ctl_id):
        """A click inside the list's client area (not on a scroll bar) but below its last row."""
        info = self.driver.info(self.hwnd, ctl_id)
        origin, client = info["client_origin"], info["client"]
        last = self.driver.row_count(self.hwnd, ctl_id) - 1
        _, last_y = self.driver.row_point(self.hwnd, ctl_id, last)
        x = origin["x"] + (client["left"] + client["right"]) // 2
        y = origin["y"] + client["bottom"] - 6
        self.assertGreater(y, last_y + 20, "room below the last row")
        rig.click(x, y)

    def click_site(self, code, names):
        row = self.site_row_of(code)
        self.click_row(rig.IDC_SITE_LIST, row)
        self.wait_selected(rig.IDC_SITE_LIST, row)
        self.wait_snapshots(names)

    def open_snapshot(self, row, point=None):
        """Clicks a snapshot row that is to open something; returns the index of its log part."""
        rig.click(*(point or self.driver.row_point(self.hwnd, rig.IDC_SNAPSHOT_LIST, row)))
        index = type(self).opening_clicks
        type(self).opening_clicks += 1
        return index

    # -- the cases --
    def test_01_site_click_lists_its_snapshots_newest_first(self):
        self.click_site(5, NEWEST_5)
        listed = self.snapshot_names()
        for name in NOT_SNAPSHOTS_5 + [FOLDER_5]:
            self.assertNotIn(enc(name), listed)

    def test_02_click_leaving_no_site_selected_changes_nothing(self):
        # A new snapshot on disk would come first if the click listed the folder again.
        with open(os.path.join(self.folder.data, "5", ADDED_5), "w", encoding="utf-8") as f:
            f.write("<html>new</html>\r\n")
        self.browser.set_modes(iexplore="answer", netscape="answer")
        self.click_below_rows(rig.IDC_SITE_LIST)
        self.wait_selected(rig.IDC_SITE_LIST, -1)
        # The next click is handled only after that one: what it opens shows the site code
        # and the list the program still had.
        part = self.open_snapshot(0)
        events = self.browser.wait_part(part, 6)
        self.assertEqual(events, answered("IEXPLORE", self.snapshot_path(5, NEWEST_5[0]), "answer"))
        self.assertEqual(self.snapshot_names(), [enc(n) for n in NEWEST_5])

    def test_03_deleted_site_keeps_its_snapshots_listed_and_opening(self):
        newest = [ADDED_5] + NEWEST_5
        self.click_site(5, newest)
        self.driver.command(self.hwnd, rig.ID_DELETE_SITE)
        box = self.driver.find_window(caption=DELETE_CAPTION, owner=self.hwnd, pid=self.app.win_pid,
                                      visible=True, timeout=LONG)["hwnd"]
        yes = [c for c in self.driver.children(box) if c["id"] == IDYES][0]
        mnemonic = yes["text"].split("&", 1)[1][0].lower()
        rig.key(mnemonic)
        self.driver.wait_gone(box, timeout=LONG)
        rig.wait_until(lambda: 5 not in [p for _, p in self.site_rows()], timeout=LONG,
                       what="the deleted site gone from the site list")
        self.assertIn(b"del1=1", self.folder.read_ini())
        self.assertEqual(self.snapshot_names(), [enc(n) for n in newest])

        # Its snapshots still open; IEXPLORE makes no conversation, so NETSCAPE is asked.
        self.browser.set_modes(iexplore="refuse", netscape="answer")
        part = self.open_snapshot(1)
        events = self.browser.wait_part(part, 7)
        self.assertEqual(events, refused("IEXPLORE")
                         + answered("NETSCAPE", self.snapshot_path(5, newest[1]), "answer"))

    def test_04_failed_answer_from_iexplore_ends_the_attempt(self):
        self.browser.set_modes(iexplore="fail", netscape="answer")
        part = self.open_snapshot(2)
        events = self.browser.wait_part(part, 6)
        self.assertEqual(events, answered("IEXPLORE", self.snapshot_path(5, NEWEST_5[1]), "fail"))

    def test_05_click_leaving_no_snapshot_selected_opens_nothing(self):
        # Anything it opened would make a log part of its own before the next click's.
        self.browser.set_modes(iexplore="answer", netscape="answer")
        self.click_below_rows(rig.IDC_SNAPSHOT_LIST)
        self.wait_selected(rig.IDC_SNAPSHOT_LIST, -1)

    def test_06_late_answer_from_iexplore_ends_the_attempt(self):
        # The program is busy for the whole wait: the next case's row is found beforehand.
        type(self).shell_point = self.driver.row_point(self.hwnd, rig.IDC_SNAPSHOT_LIST, 4)
        self.browser.set_modes(iexplore="late", netscape="answer")
        part = self.open_snapshot(3)
        events = self.browser.wait_part(part, 2)
        self.assertEqual(events[:2], [
            ("connect", "IEXPLORE", "WWW_OpenURL", "accepted"),
            ("request", "IEXPLORE", "WWW_OpenURL",
             open_url_item(self.snapshot_path(5, NEWEST_5[2])), "late")])
        type(self).late_part = part
        # The rest of this click's part is checked once the next click's part has begun.

    def test_07_without_a_browser_the_shell_opens_the_file(self):
        self.browser.set_modes(iexplore="refuse", netscape="refuse")
        part = self.open_snapshot(4, point=type(self).shell_point)
        events = self.browser.wait_part(part, 2)
        self.assertEqual(events[:2], refused("IEXPLORE") + refused("NETSCAPE"))
        opened = self.browser.wait_opened(1)
        self.assertEqual([logged_file(l) for l in opened],
                         [self.snapshot_path(5, NEWEST_5[3])], opened)

        late = self.browser.parts()[type(self).late_part]
        others = [e for e in late if e[1] != "IEXPLORE"]
        self.assertEqual(others, [], "NETSCAPE asked after IEXPLORE answered late")

    def test_08_sites_list_their_own_folders_in_byte_order(self):
        self.click_site(9, [])
        self.click_site(7, NEWEST_7)

    def test_09_paths_that_do_not_fit(self):
        self.browser.set_modes(iexplore="answer", netscape="answer")
        too_long = NEWEST_7.index(TOO_LONG_260)
        self.click_row(rig.IDC_SNAPSHOT_LIST, too_long)
        self.wait_selected(rig.IDC_SNAPSHOT_LIST, too_long)
        # The item cannot be sent whole: the conversations are ended unasked and the shell gets
        # the whole path.
        part = self.open_snapshot(NEWEST_7.index(FITS_236))
        events = self.browser.wait_part(part, 4)
        self.assertEqual(events, [("connect", "IEXPLORE", "WWW_OpenURL", "accepted"),
                                  ("disconnect", "IEXPLORE", "WWW_OpenURL"),
                                  ("connect", "NETSCAPE", "WWW_OpenURL", "accepted"),
                                  ("disconnect", "NETSCAPE", "WWW_OpenURL")])
        path = self.snapshot_path(7, FITS_236)
        self.assertEqual(len(path), 236)
        opened = self.browser.wait_opened(2)
        self.assertEqual(logged_file(opened[1]), path, opened)

    def test_10_every_click_did_exactly_its_part(self):
        rig.wait_until(lambda: not self.browser.loggers_running(), timeout=PROCESS_START, interval=1,
                       what="the shell's programs to end")
        self.assertEqual([logged_file(l) for l in self.browser.opened()],
                         [self.snapshot_path(5, NEWEST_5[3]), self.snapshot_path(7, FITS_236)])
        newest = [ADDED_5] + NEWEST_5
        parts = self.browser.parts()
        self.assertEqual(len(parts), 6, parts)
        late = parts[3]
        self.assertEqual([e for e in late if e[1] != "IEXPLORE"], [])
        expected = [
            answered("IEXPLORE", self.snapshot_path(5, NEWEST_5[0]), "answer"),
            refused("IEXPLORE") + answered("NETSCAPE", self.snapshot_path(5, newest[1]), "answer"),
            answered("IEXPLORE", self.snapshot_path(5, NEWEST_5[1]), "fail"),
            late,
            refused("IEXPLORE") + refused("NETSCAPE"),
            [("connect", "IEXPLORE", "WWW_OpenURL", "accepted"),
             ("disconnect", "IEXPLORE", "WWW_OpenURL"),
             ("connect", "NETSCAPE", "WWW_OpenURL", "accepted"),
             ("disconnect", "NETSCAPE", "WWW_OpenURL")],
        ]
        for i, (got, want) in enumerate(zip(parts, expected)):
            with self.subTest(click=i):
                self.assertEqual(got, want)


if __name__ == "__main__":
    rig.main()
