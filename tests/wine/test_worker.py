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
from worker_server import (ScriptedServer, clock_code, request_for, site_files,  # noqa: E402
                           snapshots, stamp_time, stored)

ADD_CAPTION = "新規登録"
DELETE_CAPTION = "データの削除"
DELETE_QUESTION = "選択されているデータを削除します。よろしいですか？"
EMPTY_URL_TEXT = "URLの設定を行ってください。"
FETCHING = rig.cp932("ファイルを取得")
PROCESSING = rig.cp932("データの処理")

IDYES = 6
IDNO = 7
BS_TYPEMASK = 0x0F
BS_DEFPUSHBUTTON = 0x01
STM_GETICON = 0x0171

# Generous: everything under Wine runs through qemu here.
LONG = 240.0


def type_into(driver, parent, ctl_id, text):
    """Real key presses typing text into the focused control (parent, ctl_id), one character at
    a time. xdotool types a character without a key of its own by remapping a spare key code
    for it; when Wine reads the event after the next remapping the character is lost, so each
    one is checked and typed again when it did not arrive."""
    before = driver.text(parent, ctl_id)["text"]
    for i, ch in enumerate(text):
        want = before + text[:i + 1]
        for attempt in range(4):
            rig.xdotool("type", "--delay", 80, ch)
            try:
                rig.wait_until(lambda: driver.text(parent, ctl_id)["text"] == want, timeout=5,
                               what="%r typed" % ch)
                break
            except TimeoutError:
                if driver.text(parent, ctl_id)["text"] != before + text[:i] or attempt == 3:
                    raise


def ini_lines(*lines):
    """Registry file bytes: each line in code page 932, ended by CR LF."""
    return b"".join((l if isinstance(l, bytes) else rig.cp932(l)) + b"\r\n" for l in lines)


def entry_lines(n, name, url, code, deleted=False):
    lines = ["name%d=%s" % (n, name), "url%d=%s" % (n, url), "code%d=%d" % (n, code)]
    if deleted:
        lines.append("del%d=1" % n)
    return lines


def codes_between(t0, t1):
    """Every clock code of the seconds from t0 to t1, one second of slack on each side."""
    return {clock_code(s) for s in range(int(t0) - 1, int(t1) + 2)}


class ProgramClass(unittest.TestCase):
    """One program run shared by the ordered cases of a class; a failed case skips the rest."""

    ini = None  # registry file bytes to start with, or None for no data folder at all

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(rig.EXE):
            raise unittest.SkipTest("no program at %s" % rig.EXE)
        cls.failed_step = None
        cls.driver = rig.Driver()
        cls.folder = rig.ProgramFolder()
        cls.prepare()
        cls.app = rig.Program(cls.folder)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)

    @classmethod
    def prepare(cls):
        if cls.ini is not None:
            cls.folder.write_ini(cls.ini)

    @classmethod
    def tearDownClass(cls):
        cls.app.kill()
        cls.driver.close()
        cls.folder.remove()

    def setUp(self):
        if type(self).failed_step:
            self.skipTest("an earlier step failed: %s" % type(self).failed_step)

    def run(self, result=None):
        before = len(result.failures) + len(result.errors) if result else 0
        outcome = super().run(result)
        if result and len(result.failures) + len(result.errors) > before:
            type(self).failed_step = self.id().split(".")[-1]
        return outcome

    # -- reading the program --
    def site_rows(self):
        """The site list as (name bytes, URL bytes, code)."""
        return [(rig.raw(r["cells"][0]), rig.raw(r["cells"][1]), r["param"])
                for r in self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)]

    def registry(self):
        return self.folder.read_ini()

    def data(self, *parts):
        return os.path.join(self.folder.data, *parts)

    def find(self, caption, owner, timeout=LONG):
        return self.driver.find_window(caption=caption, owner=owner, pid=self.app.win_pid,
                                       visible=True, timeout=timeout)

    def controls(self, hwnd):
        """The child windows of a window, in order."""
        return self.driver.children(hwnd)

    def by_id(self, controls):
        return {c["id"]: c for c in controls if c["id"] not in (-1, 65535)}

    def click_control(self, parent, ctl_id):
        x, y = self.driver.center(parent, ctl_id)
        rig.click(x, y)

    def click_row(self, index):
        x, y = self.driver.row_point(self.hwnd, rig.IDC_SITE_LIST, index)
        rig.click(x, y)
        rig.wait_until(lambda: self.driver.selected(self.hwnd, rig.IDC_SITE_LIST)["selected"]
                       == index, timeout=30, what="row %d selected" % index)

    # -- the registration dialog --
    def open_add_dialog(self):
        self.driver.command(self.hwnd, rig.ID_ADD_SITE)
        return self.find(ADD_CAPTION, self.hwnd)["hwnd"]

    def register(self, name, url):
        """Registers a site the way a user does: the access keys to reach the boxes, typing,
        Enter. Returns the seconds between which the code was taken."""
        dlg = self.open_add_dialog()
        rig.key("alt+s")
        type_into(self.driver, dlg, rig.IDC_SITE_NAME, name)
        rig.key("alt+u")
        type_into(self.driver, dlg, rig.IDC_URL, url)
        t0 = time.time()
        rig.key("Return")
        self.driver.wait_gone(dlg, timeout=LONG)
        return t0, time.time()

    # -- the question box of deletion --
    def delete_question(self):
        """Asks for the deletion of the selected row; checks the box and returns it."""
        self.driver.command(self.hwnd, rig.ID_DELETE_SITE)
        box = self.find(DELETE_CAPTION, self.hwnd)["hwnd"]
        kids = self.controls(box)
        texts = [rig.raw(c) for c in kids if c["class"].lower() == "static" and c["text"]]
        self.assertEqual(texts, [rig.cp932(DELETE_QUESTION)])
        buttons = {c["id"]: c for c in kids if c["class"].lower() == "button" and c["visible"]}
        self.assertEqual(sorted(buttons), [IDYES, IDNO], "Yes and No only")
        self.assertEqual(buttons[IDNO]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON,
                         "No is the default button")
        self.assertNotEqual(buttons[IDYES]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        return box


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
        # Every clock code of the next minutes is taken by a deleted entry of the registry;
        # the number after the end of each run of them only by a site folder.
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
                                 deleted=True)
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


if __name__ == "__main__":
    rig.main()
