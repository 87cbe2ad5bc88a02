"""Sites brought in from files and taken out to them, with the real program under Wine.

The Site menu's import driven as a user drives it: the command, the file name typed into the open
dialog (two names in quotes to choose two files) and Enter; files dropped on the window as
Explorer drops them. A plain list with a comment, a blank line, names and bare URLs; OPML with
folders of outlines; a browser's bookmark file; Internet shortcuts; UTF-16 and code page 932 text.
Each import is checked in the site list, in data\\Morvel.ini (the new entries after the old ones,
codes that no other entry uses, a folder for each) and in the summary box's exact words. Then the
sites that are listed already, twice in one file, or cannot be read; a file over 16 MiB or over
10,000 entries refused with nothing changed (one of exactly 16 MiB taken); a registry file that
cannot be written. Last, the list written out as OPML and as a plain list, and the OPML read into
a program with no sites at all: the same names, URLs and settings.
"""

import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from rig import entry_lines, ini_lines  # noqa: E402
from worker_support import LONG, ProgramClass, box_texts, type_into  # noqa: E402

IMPORT_CAPTION = "サイトの読み込み"
EXPORT_CAPTION = "サイトの書き出し"
FILE_NAME_BOX = 1148  # the common file dialog's file name box (cmb13)
FILE_TYPE_BOX = 1136  # its file type box (cmb1)
SETTINGS_NS = "{urn:x-sitewake:site-settings}"
SETTING_KEYS = ("compare", "interval", "from", "to", "ignore")


def done(registered, listed=0, unreadable=0):
    """The summary box's text."""
    text = "%d 件のサイトを登録しました。" % registered
    if listed or unreadable:
        text += "\n(%d 件は登録済み、%d 件は読み込めませんでした)" % (listed, unreadable)
    return text


def live_entries(ini):
    """The live entries of a registry file's [url] section in entry order: dicts of their keys
    without the number (name, url, code, compare, interval, ...), each with its number as "n"."""
    keys = {}
    section = None
    for line in ini.decode("cp932").split("\r\n"):
        if line.startswith("["):
            section = line
        elif section == "[url]" and "=" in line:
            key, value = line.split("=", 1)
            keys[key] = value
    numbered = {}
    for key, value in keys.items():
        stem = key.rstrip("0123456789")
        if stem != key:
            numbered.setdefault(int(key[len(stem):]), {})[stem] = value
    return [dict(keys_of_n, n=n) for n, keys_of_n in sorted(numbered.items())
            if keys_of_n.get("del") != "1"]


def highest_number(ini):
    """The highest entry number a registry file names, by its count or any key."""
    numbers = [0]
    for line in ini.decode("cp932").split("\r\n"):
        key, _, value = line.partition("=")
        if key == "count":
            numbers.append(int(value))
        elif key.rstrip("0123456789") != key:
            numbers.append(int(key[len(key.rstrip("0123456789")):]))
    return max(numbers)


def site_keys(entry):
    """An entry as a site's name, URL and settings, without its number and code."""
    return {k: v for k, v in entry.items() if k not in ("n", "code")}


# -- the files read --

PLAIN = ("# 監視するサイト\r\n\r\nニュース\thttp://127.0.0.1/news.html\r\nhttp://127.0.0.1/bare.html\r\n"
         "  天気 予報 \t https://127.0.0.1/weather \r\n")
PLAIN_SITES = [("ニュース", "http://127.0.0.1/news.html"),
               ("http://127.0.0.1/bare.html", "http://127.0.0.1/bare.html"),
               ("天気 予報", "https://127.0.0.1/weather")]

OPML = """<?xml version="1.0" encoding="UTF-8"?>
<opml version="1.0">
  <head><title>購読リスト</title></head>
  <body>
    <outline text="技術" title="技術">
      <outline text="開発ブログ" title="開発ブログ" type="rss" xmlUrl="http://127.0.0.1/dev/feed.xml"
               htmlUrl="http://127.0.0.1/dev/"/>
      <outline text="研究">
        <outline title="R&amp;D 便り" type="rss" xmlUrl="http://127.0.0.1/rd/feed.xml"/>
      </outline>
    </outline>
    <outline text="トップ" type="link" htmlUrl="http://127.0.0.1/top"/>
  </body>
</opml>
"""
OPML_SITES = [("開発ブログ", "http://127.0.0.1/dev/"), ("R&D 便り", "http://127.0.0.1/rd/feed.xml"),
              ("トップ", "http://127.0.0.1/top")]

BOOKMARKS = """<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file.
     It will be read and overwritten.
     DO NOT EDIT! -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks</H1>
<DL><p>
    <DT><H3 ADD_DATE="1700000000" LAST_MODIFIED="1700000100" PERSONAL_TOOLBAR_FOLDER="true">ブックマーク バー</H3>
    <DL><p>
        <DT><A HREF="http://127.0.0.1/shop?item=1&amp;color=red" ADD_DATE="1700000001" ICON="data:image/png;base64,iVBORw0KGgo=">買い物</A>
        <DT><A HREF="javascript:alert(1)" ADD_DATE="1700000002">ブックマークレット</A>
    </DL><p>
    <DT><A HREF="https://127.0.0.1/docs/" ADD_DATE="1700000003">資料 &lt;社内&gt;</A>
</DL><p>
"""
BOOKMARK_SITES = [("買い物", "http://127.0.0.1/shop?item=1&color=red"), ("資料 <社内>", "https://127.0.0.1/docs/")]


def shortcut(url):
    return ("[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n[InternetShortcut]\r\nIDList=\r\n"
            "URL=%s\r\n" % url).encode("ascii")


UTF16 = "英語のサイト\thttp://127.0.0.1/en\r\nFrançais\thttp://127.0.0.1/fr\r\n"
LONG_NAME = "長い名前" * 30  # 240 bytes: cut to 98, the last whole character within 99
SJIS = "表示ソフト\thttp://127.0.0.1/hyoji\r\n%s\thttp://127.0.0.1/long\r\n" % LONG_NAME
SJIS_SITES = [("表示ソフト", "http://127.0.0.1/hyoji"),
              (rig.cp932(LONG_NAME)[:98].decode("cp932"), "http://127.0.0.1/long")]

URL_259 = "http://127.0.0.1/" + "y" * (259 - len("http://127.0.0.1/"))
DUPLICATES = ("http://127.0.0.1/news.html\r\n HTTP://127.0.0.1/bare.html \r\n既存\thttp://127.0.0.1/existing\r\n"
              "毎時\tHTTP://WWW.Example.TEST/hourly\r\n新しい\thttp://127.0.0.1/fresh\r\nもう一度\thttp://127.0.0.1/fresh\r\n"
              "ftp://127.0.0.1/files\r\nhttp://127.0.0.1/%s\r\n%s\r\n削除したサイト\thttp://127.0.0.1/gone\r\n"
              % ("x" * 243, URL_259))
DUPLICATE_SITES = [("新しい", "http://127.0.0.1/fresh"), (URL_259[:99], URL_259), ("削除したサイト", "http://127.0.0.1/gone")]

# The sites listed before any import: one with every setting, one checked hourly, one deleted.
FIRST_LINES = (["[url]", "count=3"]
               + entry_lines(1, "既存", "http://127.0.0.1/existing", 7001)
               + ["compare1=text", "interval1=180", 'from1=<div id="main">', "to1=</div>", "ignore1=広告%0A更新日時"]
               + entry_lines(2, "毎時", "http://www.example.test/hourly", 7002) + ["interval2=60"]
               + entry_lines(3, "削除済み", "http://127.0.0.1/gone", 7003, deleted=True))

SIXTEEN_MIB = 16 * 1024 * 1024


def padded_list(size):
    """A plain list of exactly size bytes: one site, then comment lines."""
    head = b"padded\thttp://127.0.0.1/padded\r\n"
    line = b"#" + b"-" * 1021 + b"\r\n"
    body = head + line * ((size - len(head)) // len(line))
    return body + b"#" * (size - len(body))


class SiteTransfer(ProgramClass):
    """One program run for every import and export, in order; then a second program with no
    sites for the exported list."""

    ini = ini_lines(*FIRST_LINES)

    @classmethod
    def prepare(cls):
        super().prepare()
        for code in (7001, 7002, 7003):
            os.makedirs(os.path.join(cls.folder.data, str(code)))
        files = {
            "plain.txt": PLAIN.encode("utf-8"),
            "feeds.opml": OPML.encode("utf-8"),
            "bookmarks.html": BOOKMARKS.encode("utf-8"),
            "weekly.url": shortcut("http://127.0.0.1/weekly"),
            "monthly.url": shortcut("http://127.0.0.1/monthly"),
            "utf16.txt": b"\xff\xfe" + UTF16.encode("utf-16-le"),
            "sjis.txt": rig.cp932(SJIS),
            "again.txt": DUPLICATES.encode("utf-8"),
            "dropped.url": shortcut("http://127.0.0.1/dropped"),
            "more.txt": "ドロップ\thttp://127.0.0.1/more\r\n".encode("utf-8"),
            "many.txt": "".join("http://127.0.0.1/many/%d\r\n" % i for i in range(10001)).encode("ascii"),
            "big.txt": padded_list(SIXTEEN_MIB + 1),
            "full.txt": padded_list(SIXTEEN_MIB),
            "late.txt": b"late\thttp://127.0.0.1/late\r\n",
        }
        for name, body in files.items():
            with open(cls.folder.path(name), "wb") as f:
                f.write(body)

    # -- the dialogs --
    def file_dialog(self, command, caption, hwnd=None):
        """Gives the main window a command that opens a file dialog; returns the dialog and its
        file name box."""
        hwnd = hwnd or self.hwnd
        self.driver.command(hwnd, command)
        dlg = self.driver.find_window(caption=caption, owner=hwnd, visible=True, timeout=LONG)["hwnd"]
        boxes = [c["hwnd"] for c in self.driver.children(dlg) if c["class"] == "Edit" and c["id"] == FILE_NAME_BOX]
        self.assertEqual(len(boxes), 1, "one file name box")
        rig.wait_until(lambda: self.driver.info(dlg)["foreground"], timeout=LONG, what="the dialog active")
        return dlg, boxes[0]

    def choose(self, command, caption, typed, hwnd=None, before_typing=None):
        """Types a file name (or several in quotes) into the dialog and presses Enter."""
        dlg, box = self.file_dialog(command, caption, hwnd)
        if before_typing:
            before_typing(dlg, box)
        if self.driver.text(box)["text"]:
            rig.key("End", "shift+Home", "BackSpace")
            rig.wait_until(lambda: self.driver.text(box)["text"] == "", timeout=30, what="the name box emptied")
        type_into(self.driver, box, None, typed)
        rig.key("Return")
        self.driver.wait_gone(dlg, timeout=LONG)

    def box_text(self, caption, hwnd=None, shot=None):
        """Waits for a message box of the main window; returns its text and closes it with Enter
        (a screenshot named shot taken before)."""
        hwnd = hwnd or self.hwnd
        box = self.driver.find_window(caption=caption, owner=hwnd, visible=True, timeout=LONG)["hwnd"]
        texts = [t.decode("cp932") for t in box_texts(self.driver, box)]
        rig.wait_until(lambda: self.driver.info(box)["foreground"], timeout=LONG, what="the box active")
        if shot:
            rig.shot("transfer", shot)
        rig.key("Return")
        self.driver.wait_gone(box, timeout=LONG)
        self.assertEqual(len(texts), 1, texts)
        return texts[0]

    # -- what an import left --
    def assert_imported(self, before, sites, ordered=True, hwnd=None, folder=None):
        """The sites (name, URL) are the new entries after the old ones, with codes no other entry
        uses and a folder each, and the new rows on top of the list (the last one read first)."""
        folder = folder or self.folder
        entries = live_entries(folder.read_ini())
        old = live_entries(before)
        self.assertEqual(entries[:len(old)], old, "the old entries as they were")
        new = entries[len(old):]
        got = [(e["name"], e["url"]) for e in new]
        self.assertEqual(got if ordered else sorted(got), sites if ordered else sorted(sites))
        first = highest_number(before) + 1
        self.assertEqual([e["n"] for e in new], list(range(first, first + len(new))),
                         "numbered on from the highest number of the file, a deleted entry's too")
        every_code = [int(e["code"]) for e in entries]
        self.assertEqual(len(set(every_code)), len(every_code), "codes unique")
        for e in new:
            self.assertEqual(set(e) - {"n"}, {"name", "url", "code"}, "no settings of their own")
            self.assertTrue(os.path.isdir(os.path.join(folder.data, e["code"])), e)
        rows = self.reader.rows(self.driver.info(hwnd or self.hwnd, rig.IDC_SITE_LIST)["hwnd"])
        self.assertEqual(rows[:len(new)], [(rig.cp932(e["name"]), rig.cp932(e["url"]), int(e["code"]))
                                           for e in reversed(new)])
        self.assertEqual(len(rows), len(entries), "a row for each live entry")
        return new

    def import_by_dialog(self, typed, sites, summary, ordered=True, shot=None):
        before = self.registry()
        self.choose(rig.ID_IMPORT_SITES, IMPORT_CAPTION, typed)
        self.assertEqual(self.box_text(IMPORT_CAPTION, shot=shot), summary)
        return self.assert_imported(before, sites, ordered)

    def unchanged(self, action, message):
        """Runs action (which brings a refusal); its box tells message and nothing changed."""
        before = self.registry()
        folders = sorted(os.listdir(self.folder.data))
        rows = self.site_rows()
        action()
        self.assertEqual(self.box_text(message[0]), message[1])
        self.assertEqual(self.registry(), before)
        self.assertEqual(sorted(os.listdir(self.folder.data)), folders)
        self.assertEqual(self.site_rows(), rows)

    # -- the cases --
    def test_01_a_plain_list(self):
        self.import_by_dialog("plain.txt", PLAIN_SITES, done(3), shot="plain")

    def test_02_opml_with_folders_of_outlines(self):
        self.import_by_dialog("feeds.opml", OPML_SITES, done(3))

    def test_03_a_browsers_bookmarks(self):
        self.import_by_dialog("bookmarks.html", BOOKMARK_SITES, done(2, 0, 1))

    def test_04_two_internet_shortcuts_chosen_at_once(self):
        self.import_by_dialog('"weekly.url" "monthly.url"',
                              [("weekly", "http://127.0.0.1/weekly"), ("monthly", "http://127.0.0.1/monthly")],
                              done(2), ordered=False)

    def test_05_utf16_and_code_page_932(self):
        new = self.import_by_dialog('"utf16.txt" "sjis.txt"',
                                    [("英語のサイト", "http://127.0.0.1/en"), ("Fran?ais", "http://127.0.0.1/fr")]
                                    + SJIS_SITES, done(4), ordered=False)
        long_name = [e for e in new if e["url"] == "http://127.0.0.1/long"][0]["name"]
        self.assertEqual(len(rig.cp932(long_name)), 98)

    def test_06_listed_twice_and_unreadable_entries_are_counted(self):
        self.import_by_dialog("plain.txt", [], done(0, 3, 0))
        self.import_by_dialog("again.txt", DUPLICATE_SITES, done(3, 5, 2), shot="counted")

    def test_07_files_dropped_on_the_window(self):
        before = self.registry()
        x, y = self.driver.center(self.hwnd, rig.IDC_SITE_LIST)
        origin = self.driver.info(self.hwnd)["client_origin"]
        self.driver.drop_files(self.hwnd, rig.win_path(self.folder.path("dropped.url")),
                               rig.win_path(self.folder.path("more.txt")),
                               x=x - origin["x"], y=y - origin["y"])
        self.assertEqual(self.box_text(IMPORT_CAPTION), done(2))
        self.assert_imported(before, [("dropped", "http://127.0.0.1/dropped"), ("ドロップ", "http://127.0.0.1/more")])

    def test_08_files_too_large_or_too_long_are_refused_whole(self):
        big = rig.win_path(self.folder.path("big.txt"))
        self.unchanged(lambda: self.choose(rig.ID_IMPORT_SITES, IMPORT_CAPTION, "big.txt"),
                       (IMPORT_CAPTION, "ファイルが大きすぎるため (16 MB 超) 読み込めません。サイトは登録していません。\n" + big))
        many = rig.win_path(self.folder.path("many.txt"))
        # With a file that could be read before it: nothing of either is registered.
        self.unchanged(lambda: self.driver.drop_files(self.hwnd, rig.win_path(self.folder.path("late.txt")), many),
                       (IMPORT_CAPTION, "サイトが多すぎるため (10,000 件超) 読み込めません。サイトは登録していません。\n" + many))
        before = self.registry()
        self.driver.drop_files(self.hwnd, rig.win_path(self.folder.path("full.txt")))
        self.assertEqual(self.box_text(IMPORT_CAPTION), done(1), "16 MiB is read")
        self.assert_imported(before, [("padded", "http://127.0.0.1/padded")])

    def test_09_a_registry_file_that_cannot_be_written(self):
        ini = self.data("Morvel.ini")
        # Immutable: the tests run as root, whom permissions do not stop.
        if subprocess.run(["chattr", "+i", ini], stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("no immutable files on this file system")
        try:
            self.unchanged(lambda: self.driver.drop_files(self.hwnd, rig.win_path(self.folder.path("late.txt"))),
                           ("Sitewake", "サイトを登録できませんでした。\ndata\\Morvel.ini に書き込めません。"
                                        "ファイルが読み取り専用でないか、ディスクに空きがあるか確かめてください。"))
        finally:
            subprocess.run(["chattr", "-i", ini], check=True)

    def test_10_written_out_as_opml(self):
        rows = self.site_rows()
        self.choose(rig.ID_EXPORT_SITES, EXPORT_CAPTION, "exported.opml")
        path = self.folder.path("exported.opml")
        self.assertEqual(self.box_text(EXPORT_CAPTION),
                         "%d 件のサイトを書き出しました。\n%s" % (len(rows), rig.win_path(path)))
        with open(path, "rb") as f:
            text = f.read()
        self.assertTrue(text.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\r\n'))
        outlines = ElementTree.fromstring(text).find("body").findall("outline")
        self.assertEqual([(o.get("text"), o.get("htmlUrl")) for o in outlines],
                         [(n.decode("cp932"), u.decode("cp932")) for n, u, _ in rows], "every row in list order")
        settings = {o.get("htmlUrl"): {k: o.get(SETTINGS_NS + k) for k in SETTING_KEYS if o.get(SETTINGS_NS + k)}
                    for o in outlines}
        self.assertEqual(settings["http://127.0.0.1/existing"],
                         {"compare": "text", "interval": "180", "from": '<div id="main">', "to": "</div>",
                          "ignore": "広告\n更新日時"})
        self.assertEqual(settings["http://www.example.test/hourly"], {"interval": "60"})
        self.assertEqual(sum(1 for s in settings.values() if s), 2, "the others have none")
        self.assertFalse(os.path.exists(path + "~"), "no temporary left")

    def test_11_written_out_as_a_plain_list(self):
        rows = self.site_rows()

        def plain_type(dlg, box):
            # The second file type, chosen with the keys; the name typed without an extension.
            rig.key("alt+t")
            rig.key("Down")
            rig.wait_until(lambda: "*.txt" in self.driver.text(dlg, FILE_TYPE_BOX)["text"], timeout=30,
                           what="the plain list's type chosen")
            rig.key("alt+n")

        self.choose(rig.ID_EXPORT_SITES, EXPORT_CAPTION, "exported", before_typing=plain_type)
        path = self.folder.path("exported.txt")
        self.assertEqual(self.box_text(EXPORT_CAPTION),
                         "%d 件のサイトを書き出しました。\n%s" % (len(rows), rig.win_path(path)))
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"".join(n + b"\t" + u + b"\r\n" for n, u, _ in rows))

    def test_12_the_opml_read_into_a_program_without_sites(self):
        empty = rig.ProgramFolder()
        self.addCleanup(empty.remove)
        shutil.copy(self.folder.path("exported.opml"), empty.path("exported.opml"))
        app = rig.Program(empty)
        self.addCleanup(app.kill)
        hwnd = app.wait_window(self.driver, timeout=LONG)
        self.assertEqual(self.driver.row_count(hwnd, rig.IDC_SITE_LIST), 0, "no sites yet")
        self.choose(rig.ID_IMPORT_SITES, IMPORT_CAPTION, "exported.opml", hwnd=hwnd)
        listed = self.site_rows()
        self.assertEqual(self.box_text(IMPORT_CAPTION, hwnd), done(len(listed)))
        # Every site with its name, URL and settings, in the order the list showed them.
        old = {int(e["code"]): site_keys(e) for e in live_entries(self.registry())}
        new = live_entries(empty.read_ini())
        self.assertEqual([site_keys(e) for e in new], [old[code] for _, _, code in listed])
        for e in new:
            self.assertTrue(os.path.isdir(os.path.join(empty.data, e["code"])))
        self.assertEqual(len({e["code"] for e in new}), len(new))
        rows = self.reader.rows(self.driver.info(hwnd, rig.IDC_SITE_LIST)["hwnd"])
        self.assertEqual([r[:2] for r in rows], [r[:2] for r in reversed(listed)], "each read put on top")


if __name__ == "__main__":
    rig.main()
