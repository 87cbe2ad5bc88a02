"""The lists' context menus, with the real program under Wine: real right clicks (which select
the row first) and Shift+F10, each command (a snapshot opened, the comparison page written and
opened through the browser launcher, a site's URL opened, its folder shown, a site deleted), and
a site's comparison method: its radio items, the key written and read back after a restart, and
a pass in which a page that changes only its markup stores nothing while a real change stores a
snapshot. The browser is played by dde_browser_fixture.exe answering on IEXPLORE.

Then the long ones, in a program of their own: a site URL written without a scheme that is too
long for a path once "http://" goes before it reaches the shell's "open" whole, a site without a
URL says so and opens nothing, and in a site folder too long for a comparison page named after
its snapshot the page is Compare\\diff.htm. The shell's "open" of .htm files and of http
addresses runs the same fixture, which logs the command line it is given.
"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from test_viewer import (FIXTURE_EXE, Browser,  # noqa: E402
                         logged_file, open_url_item)
from worker_support import (LONG, ScriptedServer, activate,  # noqa: E402
                            box_texts, snapshots, stamp_time)
from rig import entry_lines, registry_file  # noqa: E402

IDYES = 6
MFS_GRAYED = 0x3
MFS_CHECKED = 0x8
MFT_RADIOCHECK = 0x200
PASS_PAUSE = 60.0

S1 = "1999年12月31日23時59分59秒.htm"
S2 = "2001年12月01日00時00分00秒.htm"
S3 = "2002年01月01日00時00分00秒.htm"
SNAPSHOTS = {
    S1: b"<html>\r\n<p>first</p>\r\n</html>\r\n",
    S2: b"<html>\r\n<p>one</p>\r\n<p>two</p>\r\n<p>three</p>\r\n</html>\r\n",
    S3: (b'<html><meta charset="EUC-JP">\r\n<p>one</p>\r\n</pre><script>alert(1)</script>\r\n'
         b"<p>three</p>\r\n</html>\r\n"),
}
TEXT_PAGE = (b"<html><body><form><input type=hidden name=token value=%s></form>\n"
             b"<p>Price: %s</p>\n</body></html>\n")


class MenuCases(rig.StepTestCase):
    """What the cases of one running program (cls.app, its window cls.hwnd, its folder
    cls.folder, the stand-in browser cls.browser) do with its lists and menus."""

    SITES = []  # registry entries: (number, name, URL, code)

    @classmethod
    def begin(cls):
        """Skips the cases without the programs; the driver."""
        for exe in (rig.EXE, FIXTURE_EXE):
            if not os.path.exists(exe):
                raise unittest.SkipTest("no %s (build with scripts/build.sh)" % exe)
        cls.failed_step = None
        cls.driver = rig.Driver()
        cls.addClassCleanup(cls.driver.close)

    @classmethod
    def fill_folder(cls, folder, site_folders):
        """The program folder of the cases (removed after them): the registry file of cls.SITES
        and site folders {code: {snapshot name: bytes}}."""
        cls.folder = folder
        cls.addClassCleanup(folder.remove)
        folder.write_ini(registry_file(len(cls.SITES), *(entry_lines(*s) for s in cls.SITES)))
        for code, files in site_folders.items():
            os.makedirs(os.path.join(folder.data, str(code)))
            for name, body in files.items():
                with open(os.path.join(folder.data, str(code), name), "wb") as f:
                    f.write(body)

    def data(self, *parts):
        return os.path.join(self.folder.data, *parts)

    def win_data(self, *parts):
        return rig.cp932("\\".join([rig.win_path(self.folder.dir), "data"] + list(parts)))

    def right_click(self, ctl_id, row):
        activate(self.driver, self.hwnd)
        x, y = self.driver.row_point(self.hwnd, ctl_id, row)
        rig.click(x, y, button=3)
        return self.menu()

    def menu(self):
        """The texts, states and types of the context menu shown now."""
        _, items = self.driver.popup_menu(self.hwnd)
        return items

    def texts(self, items):
        return [i["text"] for i in items]

    def close_menu(self):
        rig.key("Escape")
        self.wait_menu_closed()

    def shot(self, name):
        return rig.shot("menus", name)

    def wait_menu_closed(self):
        rig.wait_until(lambda: not self.driver.windows(cls="#32768", pid=self.app.win_pid,
                                                       visible=True),
                       timeout=LONG, what="the context menu closed")

    def selected(self, ctl_id):
        return self.driver.selected(self.hwnd, ctl_id)["selected"]

    def list_site(self, row, count):
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, row)
        rig.click(x, y)
        rig.wait_until(lambda: self.driver.row_count(self.hwnd, rig.IDC_SNAPSHOT_LIST) == count,
                       timeout=LONG, what="%d snapshots listed" % count)


class ContextMenus(MenuCases):
    """One program run (and a restart) and one stand-in browser for every case, in order."""

    SITES = [(1, "ニュース", "127.0.0.1/file/n.html", 31),
             (2, "天気", "http://127.0.0.1/file/w.html", 32),
             (3, "本文", "http://127.0.0.1/file/t.html", 33)]

    @classmethod
    def setUpClass(cls):
        cls.begin()
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        cls.server.page("n.html", SNAPSHOTS[S3])
        cls.server.page("t.html", TEXT_PAGE % (b"a1", b"10"))
        cls.fill_folder(rig.ProgramFolder(), {31: SNAPSHOTS, 33: {}})
        cls.browser = Browser()
        cls.addClassCleanup(cls.browser.stop)
        cls.browser.set_modes(iexplore="answer")
        cls.start_program()
        cls.browser.wait_line("ready")

    @classmethod
    def start_program(cls):
        cls.app = rig.Program(cls.folder)
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)

    # -- helpers --
    def opened_items(self):
        return [e[3] for e in self.browser.events() if e[:3] == ("request", "IEXPLORE", "WWW_OpenURL")]

    def wait_opened(self, count):
        return rig.wait_until(lambda: self.opened_items()[count - 1:count] or None, timeout=LONG,
                              interval=0.3, what="%d browser request(s)" % count)[0]

    def compare_item(self, items):
        return [i for i in items if i["text"] == "比較の方法(&C)"][0]["items"]

    # -- the cases --
    def test_01_a_right_click_on_a_site_selects_it_and_shows_the_site_menu(self):
        items = self.right_click(rig.IDC_SITE_LIST, 1)
        # First the site's last check, greyed, then the commands, its settings first.
        self.assertEqual(self.texts(items), ["まだ確認していません", "", "設定(&E)...", "サイトをブラウザで開く(&B)",
                                             "比較の方法(&C)", "フォルダを開く(&F)", "", "削除(&D)"])
        self.assertNotEqual(items[0]["state"] & MFS_GRAYED, 0)
        self.assertTrue(items[1]["separator"])
        self.assertTrue(items[6]["separator"])
        modes = self.compare_item(items)
        self.assertEqual(self.texts(modes), ["ページ全体", "本文のみ"])
        self.assertEqual([bool(m["state"] & MFS_CHECKED) for m in modes], [True, False])
        self.assertTrue(modes[0]["type"] & MFT_RADIOCHECK, "checked as a radio item")
        self.assertEqual(self.selected(rig.IDC_SITE_LIST), 1)
        self.shot("site-menu")
        self.close_menu()

    def test_02_the_site_opens_in_the_browser_with_http_added(self):
        self.right_click(rig.IDC_SITE_LIST, 0)
        rig.key("b")
        self.assertEqual(self.wait_opened(1), open_url_item(b"http://127.0.0.1/file/n.html"))

    def test_03_the_snapshot_menu_and_its_disabled_comparison_for_the_oldest(self):
        self.list_site(0, 3)
        items = self.right_click(rig.IDC_SNAPSHOT_LIST, 0)
        self.assertEqual(self.texts(items), ["開く(&O)", "前回との違いを表示(&D)", "",
                                             "フォルダを開く(&F)"])
        self.assertEqual(items[1]["state"] & MFS_GRAYED, 0)
        self.shot("snapshot-menu")
        self.close_menu()
        items = self.right_click(rig.IDC_SNAPSHOT_LIST, 2)
        self.assertNotEqual(items[1]["state"] & MFS_GRAYED, 0, "the oldest has nothing before it")
        self.assertEqual(self.selected(rig.IDC_SNAPSHOT_LIST), 2)
        self.close_menu()

    def test_04_shift_f10_shows_the_menu_of_the_selected_row(self):
        rig.key("shift+F10")
        items = self.menu()
        self.assertNotEqual(items[1]["state"] & MFS_GRAYED, 0, "still the oldest row's menu")
        self.close_menu()

    def test_05_open_through_the_menu_is_what_a_click_does(self):
        self.right_click(rig.IDC_SNAPSHOT_LIST, 1)
        rig.key("o")
        self.assertEqual(self.wait_opened(2), open_url_item(self.win_data("31", S2)))

    def test_06_the_comparison_page_is_written_beside_the_snapshots_and_opened(self):
        self.right_click(rig.IDC_SNAPSHOT_LIST, 0)
        rig.key("d")
        self.assertEqual(self.wait_opened(3), open_url_item(self.win_data("31", "Compare", S3)))
        with open(self.data("31", "Compare", S3), "rb") as f:
            page = f.read()
        rig.log("[menus] comparison page: %d bytes" % len(page))
        self.assertIn(b'<meta charset="EUC-JP">', page)
        self.assertIn(b"2001-12-01 00:00:00", page)
        self.assertIn(b"2002-01-01 00:00:00", page)
        self.assertIn(b"<del>-&lt;p&gt;two&lt;/p&gt;</del>", page)
        self.assertIn(b"&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;", page)
        self.assertNotIn(b"<script>", page)
        self.list_site(0, 3)  # the page's folder is not a snapshot

    def test_07_the_folder_command_opens_the_site_folder(self):
        before = {w["hwnd"] for w in self.driver.windows(visible=True)}
        self.right_click(rig.IDC_SNAPSHOT_LIST, 0)
        rig.key("f")
        new = rig.wait_until(lambda: [w for w in self.driver.windows(visible=True)
                                      if w["hwnd"] not in before and w["pid"] != self.app.win_pid]
                             or None, timeout=LONG, interval=0.5, what="a file manager window")
        rig.log("[menus] folder window: %r" % [(w["text"], w["class"]) for w in new])
        self.assertIn("31", [w["text"] for w in new], "a window of the site folder")
        for w in new:
            self.driver.close_window(w["hwnd"])
            self.driver.wait_gone(w["hwnd"], timeout=LONG)

    def test_08_text_only_is_chosen_in_the_site_menu_and_written_to_the_registry(self):
        self.right_click(rig.IDC_SITE_LIST, 2)
        rig.key("c")
        rig.key("Down")
        rig.key("Return")
        self.wait_menu_closed()
        rig.wait_until(lambda: b"compare3=text" in self.folder.read_ini(), timeout=LONG,
                       what="compare3=text written")
        modes = self.compare_item(self.right_click(rig.IDC_SITE_LIST, 2))
        self.assertEqual([bool(m["state"] & MFS_CHECKED) for m in modes], [False, True])
        self.close_menu()

    def test_09_delete_in_the_site_menu_is_the_site_menus_delete(self):
        self.right_click(rig.IDC_SITE_LIST, 1)
        rig.key("d")
        box = self.driver.find_window(caption="データの削除", owner=self.hwnd, pid=self.app.win_pid,
                                      visible=True, timeout=LONG)["hwnd"]
        self.driver.command(box, IDYES)
        rig.wait_until(lambda: [r["param"] for r in self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)]
                       == [31, 33], timeout=LONG, what="the site deleted")
        self.assertIn(b"del2=1", self.folder.read_ini())

    def test_10_a_text_only_site_ignores_markup_changes_and_stores_real_ones(self):
        self.driver.command(self.hwnd, rig.ID_START)
        site = self.data("33")
        rig.wait_until(lambda: len(snapshots(site)) == 1, timeout=LONG, what="the first snapshot")
        asked = self.server.targets().count("/file/t.html")
        self.server.page("t.html", TEXT_PAGE % (b"b2", b"10"))  # only the token
        rig.wait_until(lambda: self.server.targets().count("/file/t.html") > asked,
                       timeout=PASS_PAUSE + LONG, interval=0.5, what="the next pass")
        self.server.page("t.html", TEXT_PAGE % (b"c3", b"12"))
        rig.wait_until(lambda: len(snapshots(site)) == 2, timeout=PASS_PAUSE + LONG, interval=0.5,
                       what="a snapshot of the real change")
        self.driver.command(self.hwnd, rig.ID_STOP)
        names = sorted(snapshots(site), key=stamp_time)
        self.assertIn(b"value=a1", snapshots(site)[names[0]], "the token change stored nothing")
        self.assertIn(b"Price: 12", snapshots(site)[names[1]])
        self.list_site(1, 2)
        self.right_click(rig.IDC_SNAPSHOT_LIST, 0)
        rig.key("d")
        page_path = self.data("33", "Compare", names[1])
        rig.wait_until(lambda: os.path.exists(page_path), timeout=LONG, what="the text page")
        with open(page_path, "rb") as f:
            page = f.read()
        self.assertIn(b"<del>-Price: 10</del>", page)
        self.assertIn(b"<ins>+Price: 12</ins>", page)
        self.assertNotIn(b"token", page, "a text-only site's page lists its text")

    def test_11_the_method_is_read_back_after_a_restart(self):
        self.driver.command(self.hwnd, rig.IDCANCEL)
        self.app.wait(LONG)
        self.start_program()
        modes = self.compare_item(self.right_click(rig.IDC_SITE_LIST, 1))
        self.assertEqual([bool(m["state"] & MFS_CHECKED) for m in modes], [False, True])
        self.close_menu()


# A site URL written without a scheme, 255 bytes: with "http://" before it, more than a path holds.
LONG_URL = "127.0.0.1/file/" + "a" * 235 + ".html"
NO_URL_TEXT = "このサイトには URL がありません。"
DEEP_CODE = 41
# "<program folder>\data\41": its snapshots' paths (a 30-byte name after a backslash) fit in 259
# bytes, a comparison page named after its snapshot ("\Compare\" and the name) would not.
DEEP_SITE_FOLDER = 225
DEEP_SNAPSHOTS = {
    S2: b"<html>\r\n<p>one</p>\r\n<p>two</p>\r\n</html>\r\n",
    S3: b"<html>\r\n<p>one</p>\r\n<p>three</p>\r\n</html>\r\n",
}
# What an opening whose DDE item is longer than a DDE string handle holds does with the browser
# (IEXPLORE answering, NETSCAPE refusing): the conversation is made and ended unasked, and the
# shell's "open" gets the target.
TOO_LONG_FOR_DDE = [("connect", "IEXPLORE", "WWW_OpenURL", "accepted"),
                    ("disconnect", "IEXPLORE", "WWW_OpenURL"),
                    ("connect", "NETSCAPE", "WWW_OpenURL", "refused")]


def deep_program_folder(code, length):
    """A program folder nested (ASCII folder names) so deep that the Windows path of its site
    folder data\\<code> is length bytes."""
    root = len(rig.win_path(tempfile.gettempdir())) + len("\\sw-") + 8  # mkdtemp's folder
    left = length - root - len("\\data\\%d" % code)
    levels = []
    while left > 0:
        size = min(left, 50)  # a backslash and the folder's name
        if left - size == 1:  # the last folder's name needs a character
            size -= 1
        levels.append(chr(ord("a") + len(levels)) * (size - 1))
        left -= size
    folder = rig.ProgramFolder(name=os.path.join(*levels))
    site = "%s\\data\\%d" % (rig.win_path(folder.dir), code)
    assert len(rig.cp932(site)) == length, site
    return folder


class LongAddressesAndFolders(MenuCases):
    """A site URL too long for a path once "http://" goes before it, a site without a URL, and a
    site folder too long for a comparison page named after its snapshot: one program in a deep
    folder, one stand-in browser that is also what the shell runs for .htm files and for http
    addresses (it logs the command line the shell gives it), every case in order."""

    SITES = [(1, "長いアドレス", LONG_URL, 4),
             (2, "アドレスなし", "", 5),
             (3, "深いフォルダ", "http://127.0.0.1/file/d.html", DEEP_CODE)]

    parts_after_box = None  # the DDE parts once the site without a URL has had its box

    @classmethod
    def setUpClass(cls):
        cls.begin()
        cls.fill_folder(deep_program_folder(DEEP_CODE, DEEP_SITE_FOLDER), {DEEP_CODE: DEEP_SNAPSHOTS})
        # The two Wine processes start side by side; quitting the browser puts back the handlers.
        cls.browser = Browser()
        cls.addClassCleanup(cls.browser.stop)
        cls.browser.set_modes(iexplore="answer")
        cls.app = rig.Program(cls.folder)
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)
        cls.browser.wait_line("ready")
        for handler in ("htm", "http"):
            done = cls.browser.command("register-%s %s" % (handler, rig.win_path(cls.browser.open_log)))
            if not done.endswith(" ok"):
                raise AssertionError("the fixture could not register the %s handler: %s" % (handler, done))

    # -- the cases --
    def test_01_a_long_url_without_a_scheme_reaches_the_shell_whole(self):
        self.right_click(rig.IDC_SITE_LIST, 0)
        rig.key("b")
        self.assertEqual(self.browser.wait_part(0, 3), TOO_LONG_FOR_DDE)
        opened = self.browser.wait_opened(1)
        url = b"http://" + LONG_URL.encode("ascii")
        self.assertEqual(len(url), 262)
        self.assertEqual(logged_file(opened[0]), url, opened)

    def test_02_a_site_without_a_url_says_so_and_opens_nothing(self):
        events = self.browser.events()
        self.right_click(rig.IDC_SITE_LIST, 1)
        rig.key("b")
        box = self.driver.find_window(caption="Sitewake", owner=self.hwnd, pid=self.app.win_pid,
                                      visible=True, timeout=LONG)["hwnd"]
        self.assertEqual(box_texts(self.driver, box), [rig.cp932(NO_URL_TEXT)])
        self.shot("no-url")
        self.driver.command(box, rig.IDOK)
        self.driver.wait_gone(box, timeout=LONG)
        self.assertEqual(self.browser.events(), events, "no browser asked")
        # Every opening begins with a connection to IEXPLORE, and the program does one command
        # at a time: the next case's opening makes the next part unless this one made one after
        # the box.
        type(self).parts_after_box = len(self.browser.parts())

    def test_03_the_comparison_page_of_a_long_site_folder_is_compare_diff_htm(self):
        part = self.parts_after_box
        if part is None:  # run on its own
            part = len(self.browser.parts())
        shell_opened = len(self.browser.opened())
        self.list_site(2, 2)
        self.right_click(rig.IDC_SNAPSHOT_LIST, 0)
        rig.key("d")
        self.assertEqual(self.browser.wait_part(part, 3), TOO_LONG_FOR_DDE)
        page = self.win_data(str(DEEP_CODE), "Compare", "diff.htm")
        self.assertEqual(len(page), DEEP_SITE_FOLDER + len("\\Compare\\diff.htm"))
        opened = self.browser.wait_opened(shell_opened + 1)
        self.assertEqual(logged_file(opened[-1]), page, opened)
        self.assertEqual(len(self.browser.parts()), part + 1, self.browser.parts())
        self.assertEqual(os.listdir(self.data(str(DEEP_CODE), "Compare")), ["diff.htm"])
        with open(self.data(str(DEEP_CODE), "Compare", "diff.htm"), "rb") as f:
            html = f.read()
        self.assertIn(b"2001-12-01 00:00:00", html)
        self.assertIn(b"2002-01-01 00:00:00", html)
        self.assertIn(b"<del>-&lt;p&gt;two&lt;/p&gt;</del>", html)
        self.assertIn(b"<ins>+&lt;p&gt;three&lt;/p&gt;</ins>", html)


if __name__ == "__main__":
    rig.main()
