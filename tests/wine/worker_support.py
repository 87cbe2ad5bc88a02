"""What the Wine tests of acquisition and closing share: the scripted HTTP server
(tests/server/scripted_server.py) on 127.0.0.1:80, a reader of the site list, one program run
shared by the ordered cases of a class, and the facts about codes, stamps and site files.

The tests run as root in a network namespace of their own (scripts/test.sh), so port 80 is
theirs. The server is started with --root (pages under /file/<name>) and --log, and stopped by
its own pid.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import unittest

import rig

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER_SCRIPT = os.path.join(rig.SOURCE_DIR, "tests", "server", "scripted_server.py")


def start_server(argv, what):
    """Starts a test server (a Python script and its arguments) and waits for its "ready" line;
    RuntimeError with its complaint when it does not come."""
    proc = subprocess.Popen([sys.executable] + list(argv), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
    line = proc.stdout.readline().decode("ascii", "replace").strip()
    if not line.startswith("ready"):
        err = proc.stderr.read().decode("utf-8", "replace")
        proc.wait(10)
        for stream in (proc.stdout, proc.stderr):
            stream.close()
        raise RuntimeError("%s did not start: %r %s" % (what, line, err))
    return proc


def stop_server(proc):
    """Stops a server of start_server by its pid."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGINT)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    for stream in (proc.stdout, proc.stderr):
        stream.close()


class ScriptedServer:
    def __init__(self, port=80):
        self.dir = tempfile.mkdtemp(prefix="sw-www-")
        self.root = os.path.join(self.dir, "pages")
        os.makedirs(self.root)
        self.log_path = os.path.join(self.dir, "requests.log")
        try:
            self.proc = start_server([SERVER_SCRIPT, "--address", "127.0.0.1", "--port", str(port),
                                      "--root", self.root, "--log", self.log_path],
                                     "scripted server")
        except RuntimeError:
            shutil.rmtree(self.dir, ignore_errors=True)
            raise

    def page(self, name, body):
        """Sets the bytes served as /file/<name> from now on."""
        path = os.path.join(self.root, name)
        with open(path + ".new", "wb") as f:
            f.write(body)
        os.replace(path + ".new", path)

    def requests(self):
        """The raw bytes of every request received so far, in order."""
        with open(self.log_path, "rb") as f:
            data = f.read()
        out = []
        pos = 0
        head = re.compile(rb"=== request (\d+) bytes (\d+)\n")
        while True:
            m = head.match(data, pos)
            if not m:
                break
            start = m.end()
            length = int(m.group(2))
            if len(data) < start + length + 1:
                break  # still being written
            out.append(data[start:start + length])
            pos = start + length + 1
        return out

    def targets(self):
        """The request targets ("/file/a.html", "/silent", ...) in order."""
        result = []
        for raw in self.requests():
            line = raw.split(b"\r\n", 1)[0].decode("latin-1")
            parts = line.split(" ")
            result.append(parts[1] if len(parts) >= 2 else "")
        return result

    def stop(self):
        stop_server(self.proc)
        shutil.rmtree(self.dir, ignore_errors=True)


class RowReader:
    """The rows of a list view as (name bytes, URL bytes, code), through a window driver of its
    own, cheap enough to poll many times a second while the worker runs (the driver keeps its
    scratch block in the program)."""

    def __init__(self):
        self.driver = rig.Driver()

    def rows(self, list_hwnd):
        return [(rig.raw(r["cells"][0]), rig.raw(r["cells"][1]), r["param"])
                for r in self.driver.rows(list_hwnd)]

    def point(self, list_hwnd, row):
        """Screen coordinates inside the visible part of a row."""
        return self.driver.row_point(list_hwnd, None, row)

    def close(self):
        self.driver.close()


def activate(driver, hwnd, timeout=120.0):
    """Makes a top-level window the active one the way a user does, by a click on its title
    bar, unless it already is; keys typed afterwards go to it. (Activating it from the driver's
    process can leave X's keyboard focus nowhere.)"""
    if driver.info(hwnd)["foreground"]:
        return
    r = driver.info(hwnd)["rect"]
    for y in range(r["top"] + 4, r["top"] + 30, 2):
        x = r["left"] + (r["right"] - r["left"]) // 3
        if driver.send(hwnd, 0x0084, 0, (y << 16) | x) == 2:  # WM_NCHITTEST: HTCAPTION
            rig.click(x, y)
            break
    else:
        raise AssertionError("no title bar found in %r" % r)
    rig.wait_until(lambda: driver.info(hwnd)["foreground"], timeout=timeout,
                   what="window %d active" % hwnd)


def request_for(target, host="127.0.0.1"):
    """The exact request the program sends for a target."""
    return ("GET %s HTTP/1.0\r\nHost: %s:80\r\nUser-Agent: Quorant-3.31\r\n\r\n"
            % (target, host)).encode("ascii")


def stored(body):
    """What the program keeps of a page served with body: the line end that closes the response
    head, then the body, every LF stored as CR LF."""
    return b"\r\r\n" + body.replace(b"\n", b"\r\n")


def clock_code(t):
    """The code a registration at time t starts from: day, hour, minute and second of local
    time, each without leading zeros, one after another."""
    lt = time.localtime(t)
    return int("%d%d%d%d" % (lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec))


def stamp_of(t):
    """A snapshot's file name stem for local time t, as the Linux side sees it (UTF-8)."""
    return time.strftime("%Y年%m月%d日%H時%M分%S秒", time.localtime(t))


STAMP_RE = re.compile(r"^(\d{4})年(\d{2})月(\d{2})日(\d{2})時(\d{2})分(\d{2})秒\.htm$")


def stamp_time(file_name):
    """The local time a snapshot's name stands for, or None when it is no snapshot name."""
    m = STAMP_RE.match(file_name)
    if not m:
        return None
    y, mo, d, h, mi, s = (int(g) for g in m.groups())
    return time.mktime((y, mo, d, h, mi, s, 0, 0, -1))


def site_files(folder):
    """{file name: bytes} of a site folder."""
    out = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            out[name] = f.read()
    return out


def snapshots(folder):
    """{snapshot file name: bytes} of a site folder."""
    return {n: b for n, b in site_files(folder).items() if stamp_time(n) is not None}


def read_record(folder):
    """The check record of a site folder as a dict, or None when there is none."""
    try:
        with open(os.path.join(folder, "Check.TEMP"), "rb") as f:
            text = f.read().decode("ascii")
    except FileNotFoundError:
        return None
    assert text.endswith("\r\n"), text
    return dict(line.split("=", 1) for line in text[:-2].split("\r\n"))


def record_bytes(checked):
    """A check record of an unchanged page, checked at time checked."""
    text = time.strftime("%Y/%m/%d %H:%M:%S", time.localtime(checked))
    return ("checked=%s\r\noutcome=unchanged\r\nstatus=200\r\nfailures=0\r\nsucceeded=%s\r\n"
            % (text, text)).encode("ascii")


# ---------------------------------------------------------------------------------------------
# One program run shared by the ordered cases of a test class

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
BM_GETCHECK = 0x00F0
BST_CHECKED = 1
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


def box_texts(driver, hwnd):
    """The texts a message box shows (its static controls that have one), as exact bytes."""
    return [rig.raw(c) for c in driver.children(hwnd) if c["class"].lower() == "static" and c["text"]]


def checked(driver, dlg, ctl_id):
    """Whether the check box or radio button ctl_id of a dialog is checked."""
    return driver.send(driver.info(dlg, ctl_id)["hwnd"], BM_GETCHECK) == BST_CHECKED


def codes_between(t0, t1):
    """Every clock code of the seconds from t0 to t1, one second of slack on each side."""
    return {clock_code(s) for s in range(int(t0) - 1, int(t1) + 2)}


class ProgramClass(rig.StepTestCase):
    """One program run shared by the ordered cases of a class; a failed case skips the rest."""

    ini = None  # registry file bytes to start with, or None for no data folder at all
    exe = rig.EXE  # the program copied into the folder and run

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(cls.exe):
            raise unittest.SkipTest("no program at %s" % cls.exe)
        cls.failed_step = None
        cls.driver = rig.Driver()
        cls.addClassCleanup(cls.driver.close)
        cls.folder = rig.ProgramFolder(exe=cls.exe)
        cls.addClassCleanup(cls.folder.remove)
        cls.prepare()
        cls.app = rig.Program(cls.folder, launcher=cls.launcher())
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)
        cls.list = cls.driver.info(cls.hwnd, rig.IDC_SITE_LIST)["hwnd"]
        cls.reader = RowReader()
        cls.addClassCleanup(cls.reader.close)

    @classmethod
    def prepare(cls):
        if cls.ini is not None:
            cls.folder.write_ini(cls.ini)

    @classmethod
    def start_again(cls):
        """Starts the program again in the same folder (the last run having ended)."""
        cls.app = rig.Program(cls.folder, launcher=cls.launcher())
        cls.addClassCleanup(cls.app.kill)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)
        cls.list = cls.driver.info(cls.hwnd, rig.IDC_SITE_LIST)["hwnd"]

    @classmethod
    def launcher(cls):
        """A command the program's wine command line is handed to; none by default."""
        return ()

    # -- reading the program --
    def site_rows(self):
        """The site list as (name bytes, URL bytes, code)."""
        return self.reader.rows(self.list)

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
        x, y = self.reader.point(self.list, index)
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
