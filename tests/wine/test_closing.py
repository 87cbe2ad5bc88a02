"""Closing the main window, with the real program under Wine.

While acquisition is stopped every way of closing ends the program with exit status 1: the
close box, Alt+F4, the system menu's close item, the menu item 閉じる(&X), WM_CLOSE and Enter,
by real input, and the commands those send, posted.
While acquisition runs, closing hides the window into the notification area and polling goes
on; the icon's double click brings the window back. Those cases run on a virtual desktop of
Wine's explorer with a taskbar and notification area, where the program and the window driver
are started through closing_on_desktop.exe.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from desktop_support import LONG, DesktopClass, close_box_point  # noqa: E402
from worker_support import (activate, snapshots,  # noqa: E402
                            stored)

ABOUT_CAPTION = "Sitewake Version 1.0"
SC_CLOSE = 0xF060
WM_LBUTTONDBLCLK = 0x0203
PAGE = b"<html><body>\x83|\x81[\x83\x8a\x83\x93\x83O</body></html>\n"


class ClosingWhileStopped(rig.WineTestCase):
    """Each way of closing, on a program that never started acquisition: exit status 1."""

    def closed_by(self, act):
        app = self.launch()
        activate(self.driver, app.hwnd)
        act(app)
        self.assertEqual(app.wait(LONG), 1)

    def test_close_box_click(self):
        self.closed_by(lambda app: rig.click(*close_box_point(self.driver, app.hwnd)))

    def test_wm_close(self):
        self.closed_by(lambda app: self.driver.close_window(app.hwnd))

    def test_alt_f4(self):
        self.closed_by(lambda app: rig.key("alt+F4"))

    def test_system_menu_close_item(self):
        def act(app):
            rig.key("alt+space")
            self.driver.find_window(cls="#32768", pid=app.win_pid, visible=True, timeout=LONG)
            rig.key("c")  # 閉じる(&C)
        self.closed_by(act)

    def test_menu_close_item(self):
        def act(app):
            rig.key("alt+f")
            self.driver.find_window(cls="#32768", pid=app.win_pid, visible=True, timeout=LONG)
            rig.key("x")  # 閉じる(&X)
        self.closed_by(act)

    def test_posted_system_menu_close(self):
        self.closed_by(lambda app: self.driver.syscommand(app.hwnd, SC_CLOSE))

    def test_posted_menu_close_command(self):
        self.closed_by(lambda app: self.driver.command(app.hwnd, rig.IDOK))

    def test_enter(self):
        self.closed_by(lambda app: rig.key("Return"))


class ClosingWhilePolling(DesktopClass):
    """One program run on a virtual desktop: start, close (hidden, icon), polling goes on, the
    icon shows the window, Escape and Enter do nothing any more, close again (one icon), show,
    stop, close (exit status 1)."""

    PAGES = {"p.html": PAGE}

    @classmethod
    def prepare(cls):
        cls.folder.write_ini("[url]\ncount=1\nname1=ポーリング\nurl1=http://127.0.0.1/file/p.html\n"
                             "code1=5001\n")
        os.makedirs(os.path.join(cls.folder.data, "5001"))

    def new_temp(self):
        path = os.path.join(self.folder.data, "5001", "NEW.TEMP")
        return os.stat(path).st_mtime_ns if os.path.exists(path) else None

    def shots(self, name):
        d = os.path.join(rig.BUILD_DIR, "wine-shots")
        os.makedirs(d, exist_ok=True)
        return os.path.join(d, "closing-%s.png" % name)

    # -- the cases --
    def test_1_close_while_polling_hides_the_window_into_the_notification_area(self):
        self.assertEqual(len(self.taskbar_buttons()), 2, "the start button and ours")
        self.assertEqual(self.tray_icons(), 0)
        self.driver.command(self.hwnd, rig.ID_START)
        rig.wait_until(lambda: self.server.targets() == ["/file/p.html"] and
                       stored(PAGE) in snapshots(os.path.join(self.folder.data, "5001")).values(),
                       timeout=LONG, what="the first fetch and its snapshot")
        rig.click(*close_box_point(self.driver, self.hwnd))
        rig.wait_until(lambda: not self.visible(), timeout=LONG, what="the window hidden")
        self.assertTrue(self.app.running())
        self.assertEqual(len(self.taskbar_buttons()), 1, "only the start button")
        self.wait_icons(1, self.shots("hidden-with-icon"))

    def test_2_the_hidden_program_keeps_polling(self):
        seen = self.new_temp()
        asked = len(self.server.targets())
        rig.wait_until(lambda: len(self.server.targets()) > asked and self.new_temp() != seen,
                       timeout=LONG, interval=0.5, what="the next pass")
        self.assertFalse(self.visible())
        self.assertTrue(self.app.running())
        self.assertEqual(list(snapshots(os.path.join(self.folder.data, "5001")).values()),
                         [stored(PAGE)], "the page did not change")

    def test_3_the_icon_message_shows_the_window_again(self):
        self.driver.post(self.hwnd, rig.WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK)
        rig.wait_until(self.visible, timeout=LONG, what="the window shown")
        self.wait_icons(0)
        self.assertEqual(len(self.taskbar_buttons()), 2)

    def test_4_after_a_hide_escape_and_enter_leave_the_window_but_the_menu_works(self):
        activate(self.driver, self.hwnd)
        rig.key("Escape")
        rig.key("Return")
        # Keys are handled in order: once the menu's access keys have opened the about box,
        # Escape and Enter have been dealt with.
        rig.key("alt+h")
        self.driver.find_window(cls="#32768", pid=self.app.win_pid, visible=True, timeout=LONG)
        rig.key("v")
        about = self.driver.find_window(caption=ABOUT_CAPTION, pid=self.app.win_pid,
                                        visible=True, timeout=LONG)
        self.assertEqual(about["owner"], self.hwnd)
        self.assertTrue(self.visible())
        self.assertTrue(self.app.running())
        rig.key("Return")
        self.driver.wait_gone(about["hwnd"], timeout=LONG)
        self.driver.command(self.hwnd, rig.IDM_ABOUTBOX)
        about = self.driver.find_window(caption=ABOUT_CAPTION, pid=self.app.win_pid,
                                        visible=True, timeout=LONG)
        x, y = self.driver.center(about["hwnd"], rig.IDOK)
        rig.click(x, y)
        self.driver.wait_gone(about["hwnd"], timeout=LONG)
        self.assertTrue(self.visible())
        self.assertTrue(self.app.running())
        self.assertEqual(self.tray_icons(), 0)

    def test_5_closing_again_hides_it_with_one_icon(self):
        activate(self.driver, self.hwnd)
        rig.key("alt+F4")
        rig.wait_until(lambda: not self.visible(), timeout=LONG, what="the window hidden")
        self.assertEqual(len(self.taskbar_buttons()), 1)
        self.wait_icons(1, self.shots("hidden-again"))
        # A real double click on the icon shows the window.
        self.double_click_icon()
        rig.wait_until(self.visible, timeout=LONG, what="the window shown by the icon")
        self.wait_icons(0)

    def test_6_stop_then_close_ends_the_program_from_inside_the_hide_loop(self):
        self.driver.command(self.hwnd, rig.ID_STOP)
        self.driver.close_window(self.hwnd)
        self.assertEqual(self.app.wait(LONG), 1)


if __name__ == "__main__":
    rig.main()
