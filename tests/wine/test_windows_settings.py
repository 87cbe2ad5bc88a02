"""What the manifest changes in the running program under Wine, read inside the program by the
driver's probe: its lists are common controls 6 (the side-by-side comctl32); its ANSI code page is
932 under a locale that is not Japanese, so Japanese texts do not turn into "?"; and it is drawn
at the screen's DPI: at 96 DPI the main window is laid out exactly as before (the rectangles and
column widths the program had without a manifest), at 144 DPI (Wine's LogPixels, set for that
case alone) its lists and their columns are scaled, and a move to a monitor of another DPI
(played as Windows plays it) scales the columns again, takes the suggested rectangle, and draws
unseen sites bold in the new font. Screenshots: build/win32/wine-shots/windows-settings-*.png.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from rig import entry_lines, registry_file  # noqa: E402

CDRF_NEWFONT = 2
FW_BOLD = 700
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"

# The main window at 96 DPI as the program drew it before it had a manifest (Wine 8, the IPA
# Gothic fonts of scripts/install-deps.sh): screen rectangles (left, top, right, bottom).
LAYOUT_96 = {
    "window": (0, 0, 347, 315),
    "client": (0, 0, 341, 271),
    "site list": (3, 41, 149, 301),
    "site header": (5, 43, 147, 60),
    "snapshot list": (150, 41, 344, 301),
}
COLUMNS_96 = {"site list": [100, 250], "snapshot list": [195]}
COLUMNS_144 = {"site list": [150, 375], "snapshot list": [293]}

OLD_SNAPSHOT = "2001年08月20日08時54分08秒.htm"
NEW_SNAPSHOT = "2002年01月01日00時00分00秒.htm"


def rect(r):
    return (r["left"], r["top"], r["right"], r["bottom"])


def size(r):
    return (r[2] - r[0], r[3] - r[1])


def set_log_pixels(dpi):
    """Sets Wine's screen DPI for programs started from now on; returns a function that puts
    back what was there."""
    before = rig.registry_value(DESKTOP_KEY, "LogPixels")
    rig.run_wine(["reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                  "/f"])

    def restore():
        if before is None:
            rig.run_wine(["reg", "delete", DESKTOP_KEY, "/v", "LogPixels", "/f"])
        else:
            rig.run_wine(["reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", before[0],
                          "/d", str(int(before[1], 0)), "/f"])
    return restore


class OneProgram(rig.WineTestCase):
    """One program run for the class, with one site (bold when BOLD: an unseen snapshot)."""

    ENV = None
    BOLD = False

    @classmethod
    def setUpClass(cls):
        cls.prepare()
        super().setUpClass()
        cls.folder_ = rig.ProgramFolder()
        cls.addClassCleanup(cls.folder_.remove)
        cls.folder_.write_ini(registry_file(1, entry_lines(1, "監視サイト", "http://127.0.0.2/", 9001)))
        if cls.BOLD:
            site = os.path.join(cls.folder_.data, "9001")
            os.makedirs(site)
            for name, body in ((OLD_SNAPSHOT, b"<p>a</p>\n"), (NEW_SNAPSHOT, b"<p>b</p>\n"),
                               ("Seen.TEMP", rig.cp932(OLD_SNAPSHOT))):
                with open(os.path.join(site, name), "wb") as f:
                    f.write(body)
        cls.app = rig.Program(cls.folder_, env=rig.wine_env(cls.ENV))
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver)

    @classmethod
    def prepare(cls):
        """Before the driver and the program start."""

    def layout(self):
        """The window's and the lists' screen rectangles, and the lists' column widths."""
        w = self.driver.info(self.hwnd)
        got = {"window": rect(w["rect"]), "client": rect(w["client"])}
        columns = {}
        for name, ctl in (("site list", rig.IDC_SITE_LIST), ("snapshot list", rig.IDC_SNAPSHOT_LIST)):
            got[name] = rect(self.driver.info(self.hwnd, ctl)["rect"])
            columns[name] = [c["width"] for c in self.driver.columns(self.hwnd, ctl)]
        site_list = self.driver.info(self.hwnd, rig.IDC_SITE_LIST)["hwnd"]
        header = [c for c in self.driver.children(site_list) if c["class"] == "SysHeader32"]
        got["site header"] = rect(header[0]["rect"])
        return got, columns

    def shot(self, name):
        return rig.shot("windows-settings", name)


class CommonControlsAndCodePage(OneProgram):
    """Started under LC_ALL=C.UTF-8: without the manifest Wine gives such a process code page
    1252, and the about item of the system menu reads "Morvel ??????????(&A)...". """

    ENV = {"LC_ALL": "C.UTF-8", "LANG": "C.UTF-8"}

    def test_the_lists_are_common_controls_6(self):
        for ctl in (rig.IDC_SITE_LIST, rig.IDC_SNAPSHOT_LIST):
            with self.subTest(ctl=ctl):
                module = self.driver.process_facts(self.hwnd, ctl)["control_module"].lower()
                self.assertIn("\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.",
                              module)
                self.assertTrue(module.endswith("\\comctl32.dll"), module)

    def test_japanese_texts_keep_code_page_932_under_another_locale(self):
        self.assertEqual(self.driver.process_facts(self.hwnd)["acp"], 932)
        about = self.driver.system_menu(self.hwnd)[-1]
        self.assertEqual(rig.raw(about), rig.cp932("Morvel のﾊﾞｰｼﾞｮﾝ情報(&A)..."))
        rows = self.driver.rows(self.hwnd, rig.IDC_SITE_LIST)
        self.assertEqual(rig.raw(rows[0]["cells"][0]), rig.cp932("監視サイト"))


class AtNinetySixDpi(OneProgram):
    def test_the_window_is_laid_out_as_before_to_the_pixel(self):
        self.assertEqual(self.driver.process_facts(self.hwnd)["dpi"], 96)
        got, columns = self.layout()
        self.shot("96dpi")
        self.assertEqual(got, LAYOUT_96)
        self.assertEqual(columns, COLUMNS_96)


class AtOneHundredFortyFourDpi(OneProgram):
    """Wine's LogPixels at 144 for this program alone; put back when the class ends."""

    @classmethod
    def prepare(cls):
        cls.addClassCleanup(set_log_pixels(144))

    def test_the_lists_and_their_columns_are_scaled(self):
        self.assertEqual(self.driver.process_facts(self.hwnd)["dpi"], 144)
        got, columns = self.layout()
        self.shot("144dpi")
        self.assertEqual(columns, COLUMNS_144)
        # Laid out in dialog units, the window and its lists grow with the font: half as large
        # again, within the rounding of the font's size.
        for name, before in LAYOUT_96.items():
            with self.subTest(name):
                for now, then in zip(size(got[name]), size(before)):
                    self.assertGreaterEqual(now, then * 1.4, "%s: %s at 96 DPI, %s now"
                                            % (name, size(before), size(got[name])))
                    self.assertLessEqual(now, then * 1.6)
        # Nothing cut off: the lists within the window's client area.
        origin = self.driver.info(self.hwnd)["client_origin"]
        for name in ("site list", "snapshot list"):
            left, top, right, bottom = got[name]
            self.assertTrue(origin["x"] <= left and right <= origin["x"] + got["client"][2], name)
            self.assertTrue(origin["y"] <= top and bottom <= origin["y"] + got["client"][3], name)


class DpiChanges(OneProgram, rig.StepTestCase):
    """Moves to a monitor of 144 DPI and back, played inside the program the way Windows plays
    them; the site has an unseen snapshot, so it is drawn bold."""

    BOLD = True

    def setUp(self):
        rig.StepTestCase.setUp(self)
        OneProgram.setUp(self)

    def bold_font(self):
        answer = self.driver.custom_draw_font(self.hwnd, rig.IDC_SITE_LIST, 0)
        self.assertEqual(answer["result"], CDRF_NEWFONT)
        return answer

    def move_to(self, dpi, from_dpi):
        answer = self.driver.dpi_change(self.hwnd, dpi, from_dpi)
        self.assertEqual(rect(self.driver.info(self.hwnd)["rect"]), rect(answer["suggested"]))
        return answer

    def test_1_at_start_the_bold_font_is_the_lists_font_in_bold(self):
        answer = self.bold_font()
        self.assertEqual(answer["font_weight"], FW_BOLD)
        self.assertEqual(answer["font_height"], answer["list_font_height"])

    def test_2_at_144_dpi_columns_window_and_bold_font_follow(self):
        moved = self.move_to(144, 96)
        _, columns = self.layout()
        self.assertEqual(columns, COLUMNS_144)
        answer = self.bold_font()
        self.assertEqual(answer["list_font_height"], moved["font_height"])
        self.assertEqual((answer["font_height"], answer["font_weight"]),
                         (moved["font_height"], FW_BOLD))
        self.shot("moved-to-144dpi")

    def test_3_back_at_96_dpi_everything_is_as_it_was(self):
        moved = self.move_to(96, 144)
        got, columns = self.layout()
        self.assertEqual(columns, COLUMNS_96)
        self.assertEqual(size(got["window"]), size(LAYOUT_96["window"]))
        answer = self.bold_font()
        self.assertEqual((answer["font_height"], answer["font_weight"]),
                         (moved["font_height"], FW_BOLD))


if __name__ == "__main__":
    rig.main()
