"""The options, with the real program under Wine: the dialog (its place, texts, states and access
keys), each option written through it, read back after a restart and acted on (the Run value's
exact bytes, acquisition started without any command, the window started hidden in the
notification area, the wait between passes), a registry file that cannot be written, and a
second start of the same copy while the first one runs.

The waits between passes are timed on a build of the program's own sources whose minute lasts
one second (build/win32/tests/short-minute/Sitewake.exe); everything else runs the program itself.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from desktop_support import (DESKTOP, ON_DESKTOP, DesktopClass, DesktopProgram,  # noqa: E402
                             close_box_point)
from worker_support import (BS_TYPEMASK, LONG, ProgramClass, ScriptedServer, activate,  # noqa: E402
                            box_texts, checked)
from rig import entry_lines, ini_lines, registry_file  # noqa: E402

CAPTION = "オプション"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SHORT_MINUTE_EXE = os.path.join(rig.TEST_BIN, "short-minute", "Sitewake.exe")
OTHER_COPY_STATUS = 3
NOT_SAVED_TEXT = ("設定を data\\Morvel.ini に保存できませんでした。"
                  "ファイルが読み取り専用でないか確かめてください。")
INTERVAL_TEXTS = ["1 分", "5 分", "15 分", "30 分", "1 時間"]
PAGE = b"<p>watched</p>\n"
SITE = registry_file(1, entry_lines(1, "見張り", "http://127.0.0.1/file/o.html", 7001))

CB_GETCOUNT = 0x0146
CB_SETCURSEL = 0x014E
BS_AUTOCHECKBOX = 0x03
CBS_DROPDOWNLIST = 0x0003


# -- the Run value, through Wine's reg in the test's prefix --
def run_value():
    """The data of the Run value "Sitewake" as reg prints it, or None when there is none."""
    value = rig.registry_value(RUN_KEY, "Sitewake")
    if value is None:
        return None
    assert value[0] == "REG_SZ", value
    return value[1]


def set_run_value(data):
    r = rig.run_wine(["reg", "add", RUN_KEY, "/v", "Sitewake", "/t", "REG_SZ", "/d", data, "/f"])
    assert r.returncode == 0, r.stderr


def remove_run_value():
    rig.run_wine(["reg", "delete", RUN_KEY, "/v", "Sitewake", "/f"])


class OptionsUse:
    """What the classes share: the dialog opened and read, the server's requests."""

    def open_options(self, by_keys=False):
        if by_keys:
            activate(self.driver, self.hwnd)
            rig.key("alt+f")
            self.driver.find_window(cls="#32768", pid=self.app.win_pid, visible=True, timeout=LONG)
            rig.key("o")
        else:
            self.driver.command(self.hwnd, rig.ID_OPTIONS)
        return self.driver.find_window(caption=CAPTION, owner=self.hwnd, visible=True,
                                       timeout=LONG)["hwnd"]

    def enabled(self, dlg, ctl_id):
        return self.driver.info(dlg, ctl_id)["enabled"]

    def interval(self, dlg):
        return self.driver.text(dlg, rig.IDC_PASS_INTERVAL)["text"]

    def state(self, dlg):
        """(start with Windows, start checking, start hidden, hidden box enabled, interval)."""
        return (checked(self.driver, dlg, rig.IDC_START_AT_LOGON),
                checked(self.driver, dlg, rig.IDC_START_CHECKING),
                checked(self.driver, dlg, rig.IDC_START_HIDDEN), self.enabled(dlg, rig.IDC_START_HIDDEN),
                self.interval(dlg))

    def click(self, dlg, ctl_id):
        rig.click(*self.driver.center(dlg, ctl_id))

    def toggle(self, dlg, ctl_id):
        before = checked(self.driver, dlg, ctl_id)
        self.click(dlg, ctl_id)
        rig.wait_until(lambda: checked(self.driver, dlg, ctl_id) != before, timeout=30,
                       what="box %d toggled" % ctl_id)

    def choose_interval(self, dlg, text):
        """Picks a wait with the keyboard: the label's access key, then the arrow keys."""
        rig.key("alt+i")
        want = INTERVAL_TEXTS.index(text)
        for _ in range(len(INTERVAL_TEXTS)):
            now = INTERVAL_TEXTS.index(self.interval(dlg))
            if now == want:
                return
            rig.key("Down" if now < want else "Up")
            rig.wait_until(lambda: INTERVAL_TEXTS.index(self.interval(dlg)) != now, timeout=30,
                           what="the wait changed")
        self.assertEqual(self.interval(dlg), text)

    def press_ok(self, dlg):
        self.click(dlg, rig.IDOK)
        self.driver.wait_gone(dlg, timeout=LONG)

    def options_section(self):
        data = self.folder.read_ini()
        at = data.find(b"[option]")
        return data[at:] if at >= 0 else None

    def fetches(self):
        return [t for t in self.server.targets() if t == "/file/o.html"]


class OneSiteProgram(OptionsUse, ProgramClass):
    """Ordered cases on one program (and its restarts), in a folder holding one site that a
    scripted server serves."""

    ini = SITE

    @classmethod
    def prepare(cls):
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        cls.server.page("o.html", PAGE)
        super().prepare()
        os.makedirs(os.path.join(cls.folder.data, "7001"))

    @classmethod
    def restart(cls):
        """Ends the program with Escape's command and starts it again."""
        cls.driver.command(cls.hwnd, rig.IDCANCEL)
        status = cls.app.wait(LONG)
        cls.start_again()
        return status


class OptionsDialog(OneSiteProgram):
    """One program (then its restart) with a registry file without options: the dialog, each
    option written and read back, the Run value."""

    @classmethod
    def setUpClass(cls):
        remove_run_value()
        cls.addClassCleanup(remove_run_value)
        super().setUpClass()

    def command_line(self):
        return '"%s"' % rig.win_path(self.folder.exe)

    def test_1_menu_item_and_the_dialog_as_it_opens(self):
        menu = self.driver.menu(self.hwnd)[0]["items"]
        self.assertEqual([("-" if i["separator"] else rig.raw(i), i["id"]) for i in menu[3:]],
                         [("-", 0), (rig.cp932("オプション(&O)..."), rig.ID_OPTIONS), ("-", 0),
                          (rig.cp932("閉じる(&X)"), rig.IDOK)])
        dlg = self.open_options(by_keys=True)
        info, main = self.driver.info(dlg), self.driver.info(self.hwnd)
        self.assertEqual(info["owner"], self.hwnd)
        self.assertFalse(main["enabled"], "modal: the main window is disabled")
        r, m = info["rect"], main["rect"]
        self.assertLessEqual(abs((r["left"] + r["right"]) - (m["left"] + m["right"])), 2, (r, m))
        self.assertLessEqual(abs((r["top"] + r["bottom"]) - (m["top"] + m["bottom"])), 2, (r, m))
        kids = self.driver.children(dlg)
        ids = {c["id"]: c for c in kids if c["id"] not in (-1, 65535)}
        self.assertEqual(rig.raw(ids[rig.IDC_START_AT_LOGON]),
                         rig.cp932("Windows の起動時に Sitewake を起動する(&W)"))
        self.assertEqual(rig.raw(ids[rig.IDC_START_CHECKING]),
                         rig.cp932("起動したらすぐにログ取得を開始する(&S)"))
        self.assertEqual(rig.raw(ids[rig.IDC_START_HIDDEN]),
                         rig.cp932("ログ取得中は起動時にウィンドウを表示しない(&H)"))
        for box in (rig.IDC_START_AT_LOGON, rig.IDC_START_CHECKING, rig.IDC_START_HIDDEN):
            self.assertEqual(ids[box]["style"] & BS_TYPEMASK, BS_AUTOCHECKBOX)
        self.assertEqual(ids[rig.IDC_PASS_INTERVAL]["style"] & 3, CBS_DROPDOWNLIST)
        self.assertEqual([rig.raw(c) for c in kids if c["class"].lower() == "static"],
                         [rig.cp932("巡回の間隔(&I)：")])
        self.assertEqual((rig.raw(ids[rig.IDOK]), rig.raw(ids[rig.IDCANCEL])),
                         (b"OK", rig.cp932("キャンセル")))
        # A file without options: nothing ticked, the hidden start greyed, one minute.
        self.assertEqual(self.state(dlg), (False, False, False, False, "1 分"))
        combo = ids[rig.IDC_PASS_INTERVAL]["hwnd"]
        self.assertEqual(self.driver.send(combo, CB_GETCOUNT), len(INTERVAL_TEXTS))
        texts = []
        for i in range(len(INTERVAL_TEXTS)):
            self.driver.send(combo, CB_SETCURSEL, i)
            texts.append(self.interval(dlg))
        self.assertEqual(texts, INTERVAL_TEXTS)
        self.driver.send(combo, CB_SETCURSEL, 0)
        rig.shot("options", "dialog")
        self.assertEqual(self.fetches(), [], "no acquisition without a command")
        type(self).dlg = dlg

    def test_2_the_hidden_start_follows_the_start_box_and_cancel_stores_nothing(self):
        dlg = self.dlg
        self.toggle(dlg, rig.IDC_START_CHECKING)
        rig.wait_until(lambda: self.enabled(dlg, rig.IDC_START_HIDDEN), timeout=30,
                       what="the hidden start enabled")
        self.toggle(dlg, rig.IDC_START_HIDDEN)
        self.toggle(dlg, rig.IDC_START_AT_LOGON)
        self.choose_interval(dlg, "30 分")
        self.toggle(dlg, rig.IDC_START_CHECKING)
        self.assertEqual(self.state(dlg), (True, False, True, False, "30 分"))
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(), SITE)
        self.assertIsNone(run_value())
        self.assertTrue(self.driver.info(self.hwnd)["enabled"])

    def test_3_ok_stores_the_options_and_the_run_value(self):
        dlg = self.open_options()
        self.assertEqual(self.state(dlg), (False, False, False, False, "1 分"))
        self.toggle(dlg, rig.IDC_START_AT_LOGON)
        self.toggle(dlg, rig.IDC_START_CHECKING)
        self.choose_interval(dlg, "15 分")
        rig.key("Return")
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertEqual(self.folder.read_ini(),
                         SITE + ini_lines("[option]", "startcheck=1", "interval=15"))
        self.assertEqual(run_value(), self.command_line())
        self.assertEqual(self.fetches(), [], "the option acts at the next start")

    def test_4_after_a_restart_acquisition_starts_by_itself_and_the_dialog_shows_them(self):
        self.assertEqual(self.restart(), 0)
        rig.wait_until(lambda: self.fetches(), timeout=LONG,
                       what="a fetch without any command")
        dlg = self.open_options()
        self.assertEqual(self.state(dlg), (True, True, False, True, "15 分"))
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)

    def test_5_another_copys_run_value_shows_unchecked_stays_and_is_replaced(self):
        other = r'"C:\Other\Sitewake.exe"'
        set_run_value(other)
        dlg = self.open_options()
        self.assertFalse(checked(self.driver, dlg, rig.IDC_START_AT_LOGON))
        self.press_ok(dlg)
        self.assertEqual(run_value(), other, "left alone while unchecked")
        dlg = self.open_options()
        self.toggle(dlg, rig.IDC_START_AT_LOGON)
        self.press_ok(dlg)
        self.assertEqual(run_value(), self.command_line())
        # This copy's path without quotes and in other letter case names it all the same.
        set_run_value(rig.win_path(self.folder.exe).lower())
        dlg = self.open_options()
        self.assertTrue(checked(self.driver, dlg, rig.IDC_START_AT_LOGON))
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)

    def test_6_unchecking_removes_this_copys_value_and_defaults_are_written_back(self):
        dlg = self.open_options()
        self.toggle(dlg, rig.IDC_START_AT_LOGON)
        self.toggle(dlg, rig.IDC_START_CHECKING)
        self.choose_interval(dlg, "1 分")
        self.press_ok(dlg)
        self.assertIsNone(run_value())
        self.assertEqual(self.folder.read_ini(),
                         SITE + ini_lines("[option]", "startcheck=0", "interval=1"))
        dlg = self.open_options()
        self.assertEqual(self.state(dlg), (False, False, False, False, "1 分"))
        rig.key("Escape")
        self.driver.wait_gone(dlg, timeout=LONG)


class UnwritableRegistryFile(OptionsUse, rig.WineTestCase):
    """OK with a registry file the platform will not write: a box says so in Japanese, the
    dialog stays open with the choices made, the file stays as it was."""

    def check_refused(self, folder):
        before = os.listdir(folder.data)
        app = self.launch(folder=folder)
        self.app, self.hwnd = app, app.hwnd
        dlg = self.open_options()
        self.toggle(dlg, rig.IDC_START_CHECKING)
        self.click(dlg, rig.IDOK)
        box = self.driver.find_window(caption=CAPTION, owner=dlg, visible=True, timeout=LONG)
        self.assertEqual(box_texts(self.driver, box["hwnd"]), [rig.cp932(NOT_SAVED_TEXT)])
        rig.shot("options", "refused-%s" % self.id().split(".")[-1])
        rig.key("Return")
        self.driver.wait_gone(box["hwnd"], timeout=LONG)
        self.assertTrue(self.driver.info(dlg)["visible"], "the dialog stays open")
        self.assertTrue(checked(self.driver, dlg, rig.IDC_START_CHECKING), "with the choice made")
        self.assertEqual(os.listdir(folder.data), before)
        self.click(dlg, rig.IDCANCEL)
        self.driver.wait_gone(dlg, timeout=LONG)
        self.assertTrue(app.running())

    def test_an_unchangeable_file(self):
        # Root writes past permission bits, so the file is made immutable for the filesystem.
        folder = self.folder(SITE)
        path = os.path.join(folder.data, "Morvel.ini")
        if subprocess.run(["chattr", "+i", path], stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("the filesystem cannot make a file immutable")
        self.addCleanup(subprocess.run, ["chattr", "-i", path])
        self.check_refused(folder)
        self.assertEqual(folder.read_ini(), SITE)

    def test_a_folder_in_place_of_the_file(self):
        folder = self.folder()
        os.makedirs(os.path.join(folder.data, "Morvel.ini"))
        self.check_refused(folder)
        self.assertEqual(os.listdir(os.path.join(folder.data, "Morvel.ini")), [])


class StartedHidden(OptionsUse, DesktopClass):
    """On a virtual desktop with a notification area: the hidden start chosen in the dialog; the
    next start never shows the window, puts the icon there and polls; a double click on the
    icon shows it; a second start of the same copy shows the first one and ends."""

    PAGES = {"o.html": PAGE}

    @classmethod
    def prepare(cls):
        cls.folder.write_ini(SITE)
        os.makedirs(os.path.join(cls.folder.data, "7001"))

    def find_hidden_window(self):
        """The program's main window, shown or not."""
        return self.driver.find_window(caption="Sitewake", image=rig.win_path(self.folder.exe),
                                       timeout=LONG)["hwnd"]

    def test_1_the_hidden_start_chosen_in_the_dialog(self):
        dlg = self.open_options()
        self.toggle(dlg, rig.IDC_START_CHECKING)
        self.toggle(dlg, rig.IDC_START_HIDDEN)
        self.press_ok(dlg)
        self.assertEqual(self.folder.read_ini(),
                         SITE + ini_lines("[option]", "startcheck=1", "starthidden=1"))
        self.driver.command(self.hwnd, rig.IDCANCEL)
        self.assertEqual(self.app.wait(LONG), 0)

    def test_2_the_next_start_stays_hidden_with_its_icon_and_polls(self):
        self.assertEqual(self.tray_icons(), 0)
        type(self).app = DesktopProgram(self.folder, DESKTOP, self.env)
        type(self).hwnd = self.find_hidden_window()
        shown = []
        deadline = time.monotonic() + LONG
        while not (self.fetches() and self.tray_icons() == 1):
            shown.append(self.visible())
            self.assertLess(time.monotonic(), deadline, "no icon and fetch")
        for _ in range(20):
            shown.append(self.visible())
            time.sleep(0.1)
        self.assertNotIn(True, shown, "the window was never to be shown")
        self.assertEqual(len(self.taskbar_buttons()), 1, "only the start button")
        self.assertTrue(self.app.running())
        rig.shot("options", "started-hidden")

    def test_3_a_double_click_on_the_icon_shows_it(self):
        self.double_click_icon()
        rig.wait_until(self.visible, timeout=LONG, what="the window shown by the icon")
        self.wait_icons(0)
        self.assertEqual(len(self.taskbar_buttons()), 2)

    def second_start(self):
        second = DesktopProgram(self.folder, DESKTOP, self.env)
        return second.wait(LONG)

    def test_4_a_second_start_while_hidden_shows_the_first_and_ends(self):
        rig.click(*close_box_point(self.driver, self.hwnd))
        rig.wait_until(lambda: not self.visible(), timeout=LONG, what="the window hidden")
        self.wait_icons(1)
        # Just after one of the first copy's fetches, so that its next one is a minute away:
        # a second worker would fetch within seconds.
        seen = len(self.fetches())
        rig.wait_until(lambda: len(self.fetches()) > seen, timeout=LONG, interval=0.1,
                       what="the first copy's next fetch")
        fetched = len(self.fetches())
        self.assertEqual(self.second_start(), OTHER_COPY_STATUS)
        rig.wait_until(self.visible, timeout=LONG, what="the first copy shown")
        self.wait_icons(0)
        rig.wait_until(lambda: self.driver.info(self.hwnd)["foreground"], timeout=LONG,
                       what="the first copy in the front")
        quiet = time.monotonic() + 15
        while time.monotonic() < quiet:
            self.assertEqual(len(self.fetches()), fetched, "a second worker fetched")
            time.sleep(0.2)
        self.assertTrue(self.app.running())

    def test_5_a_second_start_while_shown_brings_the_first_to_the_front(self):
        dlg = self.open_options()
        # Another program in the front first.
        other = rig.Process([ON_DESKTOP, DESKTOP, "notepad.exe"], cwd=rig.TEST_BIN, env=self.env)
        self.addCleanup(other.kill)
        notepad = self.driver.find_window(cls="Notepad", visible=True, timeout=LONG)["hwnd"]
        rig.wait_until(lambda: self.driver.info(notepad)["foreground"], timeout=LONG,
                       what="notepad in the front")
        self.assertEqual(self.second_start(), OTHER_COPY_STATUS)
        rig.wait_until(lambda: self.driver.info(dlg)["foreground"], timeout=LONG,
                       what="the first copy's open dialog in the front")
        self.driver.close_window(notepad)
        other.wait(LONG)
        self.click(dlg, rig.IDCANCEL)
        self.driver.wait_gone(dlg, timeout=LONG)
        self.driver.command(self.hwnd, rig.ID_STOP)
        self.driver.close_window(self.hwnd)
        self.assertEqual(self.app.wait(LONG), 1)


class PassInterval(OneSiteProgram):
    """The wait between passes, timed on the build whose minute lasts a second: one minute
    without options, five after choosing 5 分 (also after a restart), and a stop during a long
    wait that ends the worker within a minute."""

    exe = SHORT_MINUTE_EXE
    MINUTE = 1.0

    @classmethod
    def setUpClass(cls):
        cls.times = []  # the monotonic time each fetch was first seen
        super().setUpClass()

    def watch(self, count, timeout=LONG):
        """Waits for the count-th fetch of the run, noting when each one came."""
        deadline = time.monotonic() + timeout
        while len(self.times) < count:
            n = len(self.fetches())
            self.times.extend([time.monotonic()] * (n - len(self.times)))
            self.assertLess(time.monotonic(), deadline, "fetch %d did not come" % count)
            time.sleep(0.02)
        return self.times[count - 1]

    def gaps(self, first, count):
        """The times between the first fetches of passes first .. first + count."""
        self.watch(first + count)
        return [b - a for a, b in zip(self.times[first - 1:], self.times[first:first + count])]

    # A pass of one site takes three pauses of half a second and a fetch.
    def check_gaps(self, gaps, minutes):
        for gap in gaps:
            self.assertGreaterEqual(gap, minutes * self.MINUTE + 1.4, gaps)
            self.assertLessEqual(gap, minutes * self.MINUTE + 3.5, gaps)

    def test_1_without_options_nothing_starts_and_passes_are_a_minute_apart(self):
        time.sleep(3)
        self.assertEqual(self.fetches(), [], "nothing starts without a command")
        self.driver.command(self.hwnd, rig.ID_START)
        gaps = self.gaps(1, 2)
        sys.stderr.write("[options] one minute of %.0f s: %s\n" % (self.MINUTE, gaps))
        self.check_gaps(gaps, 1)

    def test_2_five_minutes_chosen_while_polling(self):
        dlg = self.open_options()
        self.choose_interval(dlg, "5 分")
        self.press_ok(dlg)
        self.assertEqual(self.options_section(), ini_lines("[option]", "interval=5"))
        # The wait under way may end sooner; the ones after it last five minutes.
        first = len(self.fetches()) + 1
        gaps = self.gaps(first, 2)
        sys.stderr.write("[options] five minutes: %s\n" % gaps)
        self.check_gaps(gaps, 5)

    def test_3_after_a_restart_the_wait_is_still_five_minutes(self):
        self.assertEqual(self.restart(), 0)
        self.driver.command(self.hwnd, rig.ID_START)
        gaps = self.gaps(len(self.fetches()) + 1, 1)
        self.check_gaps(gaps, 5)

    def test_4_a_stop_during_a_long_wait_ends_the_worker_within_a_minute(self):
        last = self.watch(len(self.fetches()) + 1)
        dlg = self.open_options()
        self.choose_interval(dlg, "30 分")
        self.press_ok(dlg)
        # The pass is over about 1.5 s after its fetch; a thirty-minute wait follows.
        time.sleep(max(0.0, last + 4 - time.monotonic()))
        self.driver.command(self.hwnd, rig.ID_STOP)
        time.sleep(2.5 * self.MINUTE)
        started = time.monotonic()
        self.driver.command(self.hwnd, rig.ID_START)
        # A worker still waiting would go on waiting for the rest of its thirty minutes; a new
        # one begins its first pass at once.
        at = self.watch(len(self.times) + 1, timeout=30 * self.MINUTE)
        sys.stderr.write("[options] restarted pass after %.1f s\n" % (at - started))
        self.assertLess(at - started, 5.0)

    def test_5_escape_during_a_long_wait_ends_the_program_at_once(self):
        time.sleep(max(0.0, self.times[-1] + 4 - time.monotonic()))  # into the long wait
        activate(self.driver, self.hwnd)
        pressed = time.monotonic()
        rig.key("Escape")
        self.assertEqual(self.app.wait(LONG), 0)
        self.assertLess(time.monotonic() - pressed, 10.0)


if __name__ == "__main__":
    rig.main()
