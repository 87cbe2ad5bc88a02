"""The main window of the real program under Wine: the site list read from data\\Morvel.ini,
the two list views, the window itself, its menus, the about box and Escape."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402


class SiteListFromRegistry(rig.WineTestCase):
    """Which rows the site list shows for a given data\\Morvel.ini."""

    def rows_of(self, ini):
        app = self.launch(ini=ini)
        rows = self.driver.rows(app.hwnd, rig.IDC_SITE_LIST)
        # The list is filled before the window shows; it must not change afterwards.
        time.sleep(0.3)
        self.assertEqual(rows, self.driver.rows(app.hwnd, rig.IDC_SITE_LIST))
        return [(rig.raw(r["cells"][0]), rig.raw(r["cells"][1]), r["param"]) for r in rows]

    def test_without_a_registry_file_the_list_is_empty(self):
        self.assertEqual(self.rows_of(None), [])

    def test_entries_in_order_and_deleted_ones_skipped(self):
        ini = rig.registry_file(3,
                       rig.entry_lines(1, "ニュース表示", "http://127.0.0.2/news.html", 11),
                       rig.entry_lines(2, "消したサイト", "http://127.0.0.2/gone.html", 12, deleted=1),
                       rig.entry_lines(3, "ソフト情報", "http://127.0.0.3/soft/", 13))
        self.assertEqual(self.rows_of(ini), [
            (rig.cp932("ニュース表示"), b"http://127.0.0.2/news.html", 11),
            (rig.cp932("ソフト情報"), b"http://127.0.0.3/soft/", 13),
        ])

    def test_count_zero_negative_or_absent_lists_nothing(self):
        entries = rig.entry_lines(1, "a", "http://a/", 1) + rig.entry_lines(2, "b", "http://b/", 2)
        for count in ("0", "-1", "-2147483648", None):
            with self.subTest(count=count):
                self.assertEqual(self.rows_of(rig.registry_file(count, entries)), [])

    def test_only_del_exactly_1_deletes(self):
        ini = rig.registry_file(4,
                       rig.entry_lines(1, "two", "http://two/", 1, deleted=2),
                       rig.entry_lines(2, "zero", "http://zero/", 2, deleted=0),
                       rig.entry_lines(3, "one", "http://one/", 3, deleted=1),
                       rig.entry_lines(4, "empty", "http://empty/", 4, deleted=""))
        self.assertEqual(self.rows_of(ini), [
            (b"two", b"http://two/", 1),
            (b"zero", b"http://zero/", 2),
            (b"empty", b"http://empty/", 4),
        ])

    def test_entries_numbered_above_count_are_never_listed(self):
        ini = rig.registry_file(2, *(rig.entry_lines(n, "s%d" % n, "http://s%d/" % n, n) for n in range(1, 6)))
        self.assertEqual(self.rows_of(ini), [(b"s1", b"http://s1/", 1), (b"s2", b"http://s2/", 2)])

    def test_long_name_and_url_are_cut(self):
        name = "".join(chr(ord("A") + i % 26) for i in range(150))
        url = "http://127.0.0.2/" + "p" * (300 - len("http://127.0.0.2/"))
        rows = self.rows_of(rig.registry_file(1, rig.entry_lines(1, name, url, 5)))
        self.assertEqual(rows, [(name[:99].encode(), url[:259].encode(), 5)])

    def test_two_entries_with_one_code_give_two_rows_with_the_same_data(self):
        ini = rig.registry_file(2, rig.entry_lines(1, "一", "http://one/", 42), rig.entry_lines(2, "二", "http://two/", 42))
        self.assertEqual(self.rows_of(ini), [
            (rig.cp932("一"), b"http://one/", 42),
            (rig.cp932("二"), b"http://two/", 42),
        ])

    def test_missing_entry_up_to_count_gives_an_empty_row(self):
        ini = rig.registry_file(3, rig.entry_lines(1, "first", "http://first/", 7), rig.entry_lines(3, "third", "http://third/", 9))
        self.assertEqual(self.rows_of(ini), [
            (b"first", b"http://first/", 7),
            (b"", b"", 0),
            (b"third", b"http://third/", 9),
        ])

    def test_damaged_huge_count_lists_the_entries_present_and_starts(self):
        ini = rig.registry_file(2147483647, *(rig.entry_lines(n, "d%d" % n, "http://d%d/" % n, 100 + n)
                                     for n in range(1, 4)))
        started = time.monotonic()
        rows = self.rows_of(ini)
        self.assertEqual(rows, [(b"d1", b"http://d1/", 101), (b"d2", b"http://d2/", 102),
                                (b"d3", b"http://d3/", 103)])
        self.assertLess(time.monotonic() - started, rig.DEFAULT_TIMEOUT)


class MainWindowLayout(rig.WineTestCase):
    """One running program: the window, its lists and its menus."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.folder_ = rig.ProgramFolder()
        cls.folder_.write_ini(rig.registry_file(1, rig.entry_lines(1, "サイト", "http://127.0.0.2/", 1)))
        cls.app = rig.Program(cls.folder_)
        try:
            cls.app.wait_window(cls.driver)
        except Exception:
            cls.app.kill()
            cls.folder_.remove()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.app.kill()
        cls.folder_.remove()
        super().tearDownClass()

    def test_window_caption_frame_and_place(self):
        w = self.driver.info(self.app.hwnd)
        self.assertEqual(rig.raw(w), b"Sitewake")
        self.assertTrue(w["visible"])
        self.assertEqual((w["rect"]["left"], w["rect"]["top"]), (0, 0))
        self.assertTrue(w["style"] & rig.WS_CAPTION)
        self.assertTrue(w["style"] & rig.WS_SYSMENU)
        for bit, name in ((rig.WS_THICKFRAME, "WS_THICKFRAME"), (rig.WS_MINIMIZEBOX, "WS_MINIMIZEBOX"),
                          (rig.WS_MAXIMIZEBOX, "WS_MAXIMIZEBOX")):
            self.assertFalse(w["style"] & bit, name)
        for bit, name in ((rig.WS_EX_TOPMOST, "WS_EX_TOPMOST"), (rig.WS_EX_APPWINDOW, "WS_EX_APPWINDOW")):
            with self.subTest(name):
                self.assertTrue(w["exstyle"] & bit, "%s missing from 0x%x" % (name, w["exstyle"]))

    def test_site_list_columns(self):
        cols = self.driver.columns(self.app.hwnd, rig.IDC_SITE_LIST)
        self.assertEqual([(rig.raw(c), c["width"], c["fmt"] & 3) for c in cols],
                         [(rig.cp932("サイト名"), 100, rig.LVCFMT_LEFT), (b"URL", 250, rig.LVCFMT_LEFT)])

    def test_snapshot_list_has_one_untitled_column(self):
        cols = self.driver.columns(self.app.hwnd, rig.IDC_SNAPSHOT_LIST)
        self.assertEqual([(rig.raw(c), c["width"]) for c in cols], [(b"", 195)])

    def test_list_styles(self):
        common = (rig.LVS_SINGLESEL | rig.LVS_SHOWSELALWAYS | rig.WS_TABSTOP | rig.WS_VISIBLE
                  | rig.WS_CHILD)
        sites = self.driver.lv_style(self.app.hwnd, rig.IDC_SITE_LIST)
        snaps = self.driver.lv_style(self.app.hwnd, rig.IDC_SNAPSHOT_LIST)
        for name, s in (("site list", sites), ("snapshot list", snaps)):
            with self.subTest(name):
                self.assertEqual(s["style"] & rig.LVS_TYPEMASK, rig.LVS_REPORT)
                self.assertEqual(s["style"] & common, common)
                # A control's WS_BORDER in a dialog template comes out as the sunken client
                # edge (WS_EX_CLIENTEDGE) once the dialog manager has made the control.
                self.assertTrue(s["style"] & rig.WS_BORDER or s["exstyle"] & rig.WS_EX_CLIENTEDGE,
                                "border")
                self.assertEqual(s["lvexstyle"],
                                 rig.LVS_EX_FULLROWSELECT | rig.LVS_EX_TWOCLICKACTIVATE)
        self.assertTrue(sites["style"] & rig.LVS_NOSORTHEADER)
        self.assertFalse(sites["style"] & rig.LVS_NOCOLUMNHEADER)
        self.assertTrue(sites["header_visible"])
        self.assertTrue(snaps["style"] & rig.LVS_NOCOLUMNHEADER)
        self.assertFalse(snaps["header_visible"])

    def test_menu_bar(self):
        def shape(items):
            return [("-" if i["separator"] else rig.raw(i), i["id"] if not i.get("items") else
                     shape(i["items"])) for i in items]
        self.assertEqual(shape(self.driver.menu(self.app.hwnd)), [
            (rig.cp932("ファイル(&F)"), [
                (rig.cp932("ログ取得を開始(&S)"), 32773),
                (rig.cp932("ログ取得を停止(&T)"), 32774),
                (rig.cp932("失敗したサイトを再確認(&R)"), rig.ID_RECHECK_FAILED),
                ("-", 0),
                (rig.cp932("オプション(&O)..."), 32810),
                ("-", 0),
                (rig.cp932("閉じる(&X)"), 1)]),
            (rig.cp932("サイト(&S)"), [
                (rig.cp932("サイトの登録(&S)..."), 32771),
                (rig.cp932("サイトの削除(&D)"), 32772),
                (rig.cp932("サイトの設定(&E)..."), rig.ID_SITE_SETTINGS),
                ("-", 0),
                (rig.cp932("サイトの読み込み(&I)..."), rig.ID_IMPORT_SITES),
                (rig.cp932("サイトの書き出し(&O)..."), rig.ID_EXPORT_SITES)]),
            (rig.cp932("ヘルプ(&H)"), [
                (rig.cp932("バージョン情報(&V)..."), 16)]),
        ])

    def test_system_menu_ends_with_the_about_item(self):
        items = self.driver.system_menu(self.app.hwnd)
        self.assertGreaterEqual(len(items), 2)
        self.assertTrue(items[-2]["separator"])
        last = items[-1]
        self.assertFalse(last["separator"])
        self.assertEqual(last["id"], 16)
        # Half-width katakana, as written.
        self.assertEqual(rig.raw(last), rig.cp932("Morvel のﾊﾞｰｼﾞｮﾝ情報(&A)..."))
        self.assertEqual(rig.raw(last), b"Morvel \x82\xcc\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1(&A)...")


class AboutBox(rig.WineTestCase):
    CAPTION = "Sitewake Version 1.0"

    def open_and_check(self, app, how):
        """Opens the about box with how(); checks owner, disabled main window, centring; then
        clicks OK (a real click) and checks that it closed and the main window is usable."""
        how()
        box = self.driver.find_window(caption=self.CAPTION, visible=True, timeout=20)
        main = self.driver.info(app.hwnd)
        self.assertEqual(box["owner"], app.hwnd)
        self.assertEqual(box["pid"], app.win_pid)
        self.assertFalse(main["enabled"], "main window must be disabled while the box is open")
        box_c = ((box["rect"]["left"] + box["rect"]["right"]) / 2,
                 (box["rect"]["top"] + box["rect"]["bottom"]) / 2)
        main_c = ((main["rect"]["left"] + main["rect"]["right"]) / 2,
                  (main["rect"]["top"] + main["rect"]["bottom"]) / 2)
        self.assertAlmostEqual(box_c[0], main_c[0], delta=1.5)
        self.assertAlmostEqual(box_c[1], main_c[1], delta=1.5)
        x, y = self.driver.center(box["hwnd"], rig.IDOK)
        rig.click(x, y)
        self.driver.wait_gone(box["hwnd"], timeout=20)
        rig.wait_until(lambda: self.driver.info(app.hwnd)["enabled"], timeout=10,
                       what="main window enabled again")
        self.assertTrue(app.running())

    def test_help_menu_item_opens_it(self):
        app = self.launch()
        self.open_and_check(app, lambda: self.driver.command(app.hwnd, rig.IDM_ABOUTBOX))

    def test_system_menu_item_opens_it_with_the_low_bits_ignored(self):
        app = self.launch()
        for cmd in (16, 17, 24, 31):
            with self.subTest(syscommand=cmd):
                self.open_and_check(app, lambda: self.driver.syscommand(app.hwnd, cmd))


class EscapeKey(rig.WineTestCase):
    def test_escape_ends_the_program(self):
        app = self.launch(ini=rig.registry_file(1, rig.entry_lines(1, "a", "http://a/", 1)))
        # Focus into the window with a real click on the site list, then a real Escape.
        x, y = self.driver.row_point(app.hwnd, rig.IDC_SITE_LIST, 0)
        rig.click(x, y)
        rig.wait_until(lambda: self.driver.info(app.hwnd)["foreground"], timeout=10,
                       what="main window in the foreground")
        rig.key("Escape")
        app.wait(timeout=30)
        self.assertFalse(app.running())


if __name__ == "__main__":
    rig.main()
