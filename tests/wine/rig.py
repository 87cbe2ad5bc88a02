"""Shared helpers for the Wine tests of Sitewake (Python standard library only).

A test file is a unittest module registered in tests/wine/CMakeLists.txt with one line,
sitewake_wine_test(test_foo.py). Under scripts/test.sh the Wine prefix, the Xvfb display and a
warm wineserver are given in the environment (SW_RIG_READY=1); a test file run by hand
(python3 tests/wine/test_foo.py) gets them from scripts/wine-env.sh the same way: the prefix
build/wine-prefix (made once), a private Xvfb and a wineserver, all stopped at exit.

    import rig

    class MainWindowTest(rig.WineTestCase):
        def test_rows(self):
            app = self.launch(ini="[url]\\ncount=1\\nname1=a\\nurl1=http://a/\\ncode1=3\\n")
            rows = self.driver.rows(app.hwnd, rig.IDC_SITE_LIST)

Everything the rig starts is stopped by its own pid.
"""

import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("SW_SOURCE_DIR") or os.path.dirname(os.path.dirname(HERE))
BUILD_DIR = os.path.join(SOURCE_DIR, "build", "win32")
EXE = os.environ.get("SITEWAKE_EXE") or os.path.join(BUILD_DIR, "Sitewake.exe")
TEST_BIN = os.environ.get("SW_TEST_BIN") or os.path.join(BUILD_DIR, "tests")
DRIVER_EXE = os.path.join(TEST_BIN, "swdriver.exe")

IDOK = 1
IDCANCEL = 2


def _resource_ids(path):
    """The ids the program's resource header defines (#define NAME number), by name."""
    ids = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"#define\s+([A-Z_][A-Z0-9_]*)\s+(\d+)\b", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


# Control, command and message ids of the program, read from res/resource.h, so that the tests
# and the program can never disagree: IDC_SITE_LIST, ID_START, WM_TRAY_NOTIFY, ...
globals().update(_resource_ids(os.path.join(SOURCE_DIR, "res", "resource.h")))

# Window messages and styles the tests use.
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
WM_KEYDOWN = 0x0100
BM_CLICK = 0x00F5
WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_DISABLED = 0x08000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_TABSTOP = 0x00010000
WS_EX_TOPMOST = 0x00000008
WS_EX_APPWINDOW = 0x00040000
WS_EX_CLIENTEDGE = 0x00000200
CLR_DEFAULT = 0xFF000000
LVS_REPORT = 0x0001
LVS_TYPEMASK = 0x0003
LVS_SINGLESEL = 0x0004
LVS_SHOWSELALWAYS = 0x0008
LVS_NOCOLUMNHEADER = 0x4000
LVS_NOSORTHEADER = 0x8000
LVS_EX_FULLROWSELECT = 0x20
LVS_EX_TWOCLICKACTIVATE = 0x80
LVCFMT_LEFT = 0

DEFAULT_TIMEOUT = float(os.environ.get("SW_TIMEOUT", "60"))


def log(*args):
    print("[rig]", *args, file=sys.stderr, flush=True)


def cp932(text):
    """The exact bytes the program sees for a text."""
    return text.encode("cp932")


def ini_bytes(text):
    """An INI file as the program's users write it: code page 932 with CR LF line ends."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp932")


def ini_lines(*lines):
    """INI file bytes from its lines: each in code page 932 (or bytes as they are), ended by
    CR LF."""
    return b"".join((l if isinstance(l, bytes) else cp932(l)) + b"\r\n" for l in lines)


def entry_lines(n, name, url, code, deleted=None):
    """The keys of registry entry n; deleted, unless None or False, is its del<n> value (True
    for 1)."""
    lines = ["name%d=%s" % (n, name), "url%d=%s" % (n, url), "code%d=%s" % (n, code)]
    if deleted is not None and deleted is not False:
        lines.append("del%d=%s" % (n, 1 if deleted is True else deleted))
    return lines


def registry_file(count, *entries):
    """Registry file bytes: the section [url], count=<count> (no count when None), then the
    entries: lists of lines from entry_lines, or single lines."""
    lines = ["[url]"] + ([] if count is None else ["count=%s" % count])
    for entry in entries:
        lines += entry if isinstance(entry, list) else [entry]
    return ini_lines(*lines)


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.05, what="condition"):
    """Calls predicate until it returns something true; returns that, or raises TimeoutError."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# ---------------------------------------------------------------------------------------------
# The Wine environment


def _environment():
    """The environment scripts/wine-env.sh gives Wine processes (prefix, display, wineserver),
    completed for the rig."""
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    # The mmap shim for emulated 32-bit Wine (scripts/wine-env.sh), for Wine alone.
    preload = env.get("SW_WINE_PRELOAD")
    if preload and preload not in env.get("LD_PRELOAD", ""):
        env["LD_PRELOAD"] = preload + (" " + env["LD_PRELOAD"] if env.get("LD_PRELOAD") else "")
    env["LC_ALL"] = "ja_JP.UTF-8"
    env["LANG"] = "ja_JP.UTF-8"
    return env


def wine_env(extra=None):
    """The environment for Wine processes (prefix, LC_ALL=ja_JP.UTF-8, WINEDEBUG, DISPLAY)."""
    env = _environment()
    if extra:
        env.update(extra)
    return env


def unix_path(win_path):
    """Z:\\tmp\\x -> /tmp/x."""
    if len(win_path) >= 2 and win_path[1] == ":" and win_path[0] in "zZ":
        return win_path[2:].replace("\\", "/") or "/"
    raise ValueError("not a Z: path: %r" % win_path)


def win_path(path):
    """/tmp/x -> Z:\\tmp\\x."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------------------------------------
# Processes


class Process:
    """A Wine process we started (wine PROGRAM ...). Stopped only through its own pid."""

    def __init__(self, argv, cwd, env, stdout=None, launcher=()):
        """launcher: a command the wine command line is handed to (e.g. unshare ...)."""
        self.argv = argv
        self._out = stdout
        self.popen = subprocess.Popen(
            list(launcher) + ["wine"] + argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
            stdout=stdout if stdout is not None else subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        self.pid = self.popen.pid

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout=DEFAULT_TIMEOUT):
        """The exit status (the Windows program's exit code, modulo 256); TimeoutError if still running."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("%s still running after %.1f s" % (self.argv[0], timeout))

    def kill(self):
        if self.popen.poll() is None:
            try:
                os.kill(self.popen.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            try:
                self.popen.wait(10)
            except subprocess.TimeoutExpired:
                pass


def run_wine(argv, cwd=None, timeout=DEFAULT_TIMEOUT, env=None):
    """Runs a console Wine program to its end; returns CompletedProcess with bytes stdout/stderr.

    The output goes through files, not pipes: the first Wine process in a prefix starts Wine's
    own background processes, which inherit its output handles and would hold a pipe open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen(["wine"] + list(argv), cwd=cwd, env=env or wine_env(),
                             stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                             start_new_session=True)
        try:
            p.wait(timeout)
        except subprocess.TimeoutExpired:
            os.kill(p.pid, signal.SIGKILL)
            p.wait()
            raise TimeoutError("%s did not end within %.1f s" % (argv[0], timeout))
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(p.args, p.returncode, out.read(), err.read())


def registry_value(key, name):
    """A registry value of the test prefix as `reg query` prints it: (type, data), or None when
    there is no such value."""
    r = run_wine(["reg", "query", key, "/v", name])
    if r.returncode != 0:
        return None
    for line in r.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == name:
            return parts[1], parts[2]
    raise AssertionError("no value %s in %r" % (name, r.stdout))


# ---------------------------------------------------------------------------------------------
# The driver


class DriverError(AssertionError):
    pass


class Driver:
    """swdriver.exe in serve mode: one command per call, answers as dicts.

    Window handles are ints; a control is (parent, id) or a handle. Texts come as "text"
    (UTF-8) and "hex" (the exact code page 932 bytes); rig.raw(item) gives the bytes.
    """

    def __init__(self, env=None):
        self._env = env or wine_env()
        self._proc = None

    def _start(self):
        self._proc = subprocess.Popen(
            ["wine", DRIVER_EXE, "serve"], cwd=TEST_BIN, env=self._env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self._buf = b""

    def close(self):
        p, self._proc = self._proc, None
        if p is None:
            return
        if p.poll() is None:
            try:
                p.stdin.write(b"\n")
                p.stdin.flush()
                p.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                os.kill(p.pid, signal.SIGKILL)
                p.wait()
        for f in (p.stdin, p.stdout):
            try:
                f.close()
            except OSError:
                pass

    def _readline(self, timeout):
        deadline = time.monotonic() + timeout
        fd = self._proc.stdout.fileno()
        while b"\n" not in self._buf:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("driver gave no answer within %.1f s" % timeout)
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise DriverError("driver ended")
                self._buf += chunk
        line, self._buf = self._buf.split(b"\n", 1)
        return line

    def call(self, *args, check=True, timeout=None):
        """Runs one driver command; returns its answer. check: raise DriverError unless ok."""
        args = [str(a) for a in args]
        if any("\t" in a or "\n" in a for a in args):
            raise ValueError("driver arguments cannot hold TAB or line ends")
        if self._proc is None or self._proc.poll() is not None:
            self._start()
        wait = timeout
        if wait is None:
            wait = 30.0
            if "--timeout" in args:
                wait += int(args[args.index("--timeout") + 1]) / 1000.0
        self._proc.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
        self._proc.stdin.flush()
        try:
            line = self._readline(wait)
        except (TimeoutError, DriverError):
            self.close()
            raise
        answer = json.loads(line.decode("utf-8"))
        if check and not answer.get("ok"):
            raise DriverError("%s: %s" % (" ".join(args), answer.get("error")))
        return answer

    # -- windows --
    def find_window(self, caption=None, cls=None, pid=None, owner=None, visible=False,
                    image=None, timeout=DEFAULT_TIMEOUT, check=True):
        """The first top-level window that matches; image: the Windows path of its program."""
        args = ["find-window"] + _filters(caption, cls, pid, owner, visible, image)
        args += ["--timeout", int(timeout * 1000)]
        return self.call(*args, check=check)

    def windows(self, caption=None, cls=None, pid=None, owner=None, visible=False, image=None):
        return self.call("windows", *_filters(caption, cls, pid, owner, visible, image))["windows"]

    def info(self, hwnd, ctl_id=None):
        return self.call("info", *_control(hwnd, ctl_id))

    def children(self, hwnd):
        return self.call("children", hwnd)["children"]

    def text(self, hwnd, ctl_id=None):
        return self.call("get-text", *_control(hwnd, ctl_id))

    def set_text(self, hwnd, ctl_id, text):
        """Sets a control's text (given as str, sent as code page 932; bytes are sent as is)."""
        if isinstance(text, bytes):
            return self.call("set-text", *_control(hwnd, ctl_id), "--hex-text", text.hex())
        return self.call("set-text", *_control(hwnd, ctl_id), "--text", text)

    def center(self, hwnd, ctl_id=None):
        a = self.call("center", *_control(hwnd, ctl_id))
        return a["x"], a["y"]

    def wait_gone(self, hwnd, timeout=DEFAULT_TIMEOUT, check=True):
        return self.call("wait-gone", hwnd, "--timeout", int(timeout * 1000), check=check)

    def wait_exit(self, win_pid, timeout=DEFAULT_TIMEOUT, check=True):
        return self.call("wait-exit", win_pid, "--timeout", int(timeout * 1000), check=check)

    def foreground(self, hwnd):
        return self.call("foreground", hwnd)

    def screen(self):
        return self.call("screen")

    # -- list views --
    def rows(self, hwnd, ctl_id=None):
        """[{"index", "param", "selected", "focused", "cells": [{"text", "hex"}...]}...]"""
        return self.call("lv-rows", *_control(hwnd, ctl_id))["rows"]

    def row_count(self, hwnd, ctl_id=None):
        return self.call("lv-count", *_control(hwnd, ctl_id))["count"]

    def wait_rows(self, hwnd, ctl_id=None, count=None, at_least=None, timeout=DEFAULT_TIMEOUT):
        args = ["wait-rows"] + _control(hwnd, ctl_id) + ["--timeout", int(timeout * 1000)]
        if count is not None:
            args += ["--count", count]
        if at_least is not None:
            args += ["--min", at_least]
        return self.call(*args)["count"]

    def columns(self, hwnd, ctl_id=None):
        return self.call("lv-columns", *_control(hwnd, ctl_id))["columns"]

    def lv_style(self, hwnd, ctl_id=None):
        return self.call("lv-style", *_control(hwnd, ctl_id))

    def selected(self, hwnd, ctl_id=None):
        return self.call("lv-selected", *_control(hwnd, ctl_id))

    def row_point(self, hwnd, ctl_id, row, sub=None):
        """Screen coordinates of a row's centre (of one cell with sub)."""
        args = ["lv-point"] + _control(hwnd, ctl_id) + ["--row", row]
        if sub is not None:
            args += ["--sub", sub]
        a = self.call(*args)
        return a["x"], a["y"]

    # -- menus --
    def menu(self, hwnd):
        return self.call("menu", hwnd)["items"]

    def system_menu(self, hwnd):
        return self.call("sysmenu", hwnd)["items"]

    def popup_menu(self, hwnd, timeout=30.0):
        """The context menu the window's thread shows now: (menu window, items)."""
        got = self.call("popup-menu", hwnd, "--timeout", str(int(timeout * 1000)),
                        timeout=timeout + 30)
        return got["window"], got["items"]

    def tooltip(self, hwnd):
        """The text and title of a tooltip window's first tool, as text."""
        got = self.call("tooltip", hwnd)
        return got["text"], got["title"]

    def custom_draw(self, hwnd, ctl_id, row):
        """The window's custom-draw answer for a row of a list (2: drawn in its own font)."""
        return self.call("custom-draw", hwnd, ctl_id, "--row", row)["result"]

    def text_colour(self, hwnd, ctl_id, row):
        """The text colour (0x00BBGGRR) the window chooses for a row of a list, None for the
        list's own."""
        colour = self.call("custom-draw", hwnd, ctl_id, "--row", row)["text_colour"]
        return None if colour == CLR_DEFAULT else colour
    def custom_draw_font(self, hwnd, ctl_id, row):
        """The font the window selects for a row of a list, and the list's own font: the whole
        answer, with font_height/font_weight (font_height None: no font of its own) and
        list_font_height/list_font_weight."""
        return self.call("custom-draw", hwnd, ctl_id, "--row", row)

    def process_facts(self, hwnd, ctl_id=0):
        """Read inside the program that owns the dialog: "acp" (its ANSI code page), "dpi" and
        "awareness" (of the dialog; 2 per monitor), "control_module" (the file of the module whose
        window procedure runs control ctl_id)."""
        return self.call("process-facts", hwnd, "--control", ctl_id)

    def dpi_change(self, hwnd, dpi, from_dpi=0):
        """Plays a move of the dialog from a monitor of from_dpi (0: the window's DPI now) to one
        of dpi, as Windows does: WM_DPICHANGED with a suggested rectangle, then the dialog's font
        at the new size given to it and its controls. Returns "suggested" (the rectangle) and
        "font_height" (the new font)."""
        return self.call("dpi-change", hwnd, "--dpi", dpi, "--from", from_dpi)

    def drop_files(self, hwnd, *paths, x=10, y=10):
        """Files (Windows paths) dropped on a window as Explorer drops them, at a point of its
        client area; the window handles the drop after this returns."""
        return self.call("drop-files", hwnd, *paths, "--x", x, "--y", y)

    # -- messages --
    def command(self, hwnd, cmd_id, send=False):
        return self.call("command", hwnd, cmd_id, *(["--send"] if send else []))

    def syscommand(self, hwnd, cmd_id, send=False):
        return self.call("syscommand", hwnd, cmd_id, *(["--send"] if send else []))

    def close_window(self, hwnd, send=False):
        return self.call("close", hwnd, *(["--send"] if send else []))

    def post(self, hwnd, msg, wparam=0, lparam=0):
        return self.call("post", hwnd, msg, wparam, lparam)

    def send(self, hwnd, msg, wparam=0, lparam=0):
        return self.call("send", hwnd, msg, wparam, lparam)["result"]


def _filters(caption, cls, pid, owner, visible, image=None):
    args = []
    if image is not None:
        args += ["--image", image]
    if caption is not None:
        args += ["--caption", caption]
    if cls is not None:
        args += ["--class", cls]
    if pid is not None:
        args += ["--pid", pid]
    if owner is not None:
        args += ["--owner", owner]
    if visible:
        args.append("--visible")
    return args


def _control(hwnd, ctl_id):
    return [hwnd] if ctl_id is None else [hwnd, ctl_id]


def raw(item, key="hex"):
    """The exact bytes of a text in a driver answer."""
    return bytes.fromhex(item[key])


def cell_bytes(row):
    """A list-view row's cells as exact bytes."""
    return [raw(c) for c in row["cells"]]


def driver_once(*args):
    """One driver command in its own process (the single-call form); returns (status, answer)."""
    r = run_wine([DRIVER_EXE] + [str(a) for a in args], cwd=TEST_BIN)
    return r.returncode, json.loads(r.stdout.decode("utf-8").strip().splitlines()[-1])


# ---------------------------------------------------------------------------------------------
# X: clicks, keys, screenshots


def xdotool(*args, env=None):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=env or wine_env(), check=True,
                   stdout=subprocess.DEVNULL)


def click(x, y, button=1, double=False):
    """A real click at screen coordinates (without a window manager they are X coordinates)."""
    args = ["mousemove", "--sync", x, y, "click"]
    if double:
        args += ["--repeat", 2, "--delay", 80]
    xdotool(*args, button)


def key(*names):
    """Real key presses to the window that has the keyboard focus (e.g. key("Escape"))."""
    xdotool("key", "--delay", 50, *names)


def screenshot(path):
    """The whole X screen as a PNG."""
    subprocess.run(["import", "-window", "root", path], env=wine_env(), check=True)
    return path


def shot(prefix, name):
    """A screenshot into build/win32/wine-shots/<prefix>-<name>.png (for looking at)."""
    d = os.path.join(BUILD_DIR, "wine-shots")
    os.makedirs(d, exist_ok=True)
    return screenshot(os.path.join(d, "%s-%s.png" % (prefix, name)))


# ---------------------------------------------------------------------------------------------
# Program folders and the running program


class ProgramFolder:
    """A fresh folder holding a copy of Sitewake.exe; its data folder is data\\ beside it."""

    def __init__(self, exe=EXE, name=None, parent=None):
        self.root = tempfile.mkdtemp(prefix="sw-", dir=parent)
        self.dir = os.path.join(self.root, name) if name else self.root
        os.makedirs(self.dir, exist_ok=True)
        self.exe_name = os.path.basename(exe)
        self.exe = os.path.join(self.dir, self.exe_name)
        shutil.copy2(exe, self.exe)
        self.data = os.path.join(self.dir, "data")

    def write_ini(self, text, name="Morvel.ini"):
        """Writes data\\<name>: a str is encoded as code page 932 with CR LF; bytes as given."""
        os.makedirs(self.data, exist_ok=True)
        path = os.path.join(self.data, name)
        with open(path, "wb") as f:
            f.write(text if isinstance(text, bytes) else ini_bytes(text))
        return path

    def read_ini(self, name="Morvel.ini"):
        with open(os.path.join(self.data, name), "rb") as f:
            return f.read()

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Program(Process):
    """Sitewake running from a ProgramFolder; hwnd/info filled in by wait_window."""

    def __init__(self, folder, args=(), env=None, launcher=()):
        self.folder = folder
        super().__init__([folder.exe_name] + list(args), cwd=folder.dir, env=env or wine_env(),
                         launcher=launcher)
        self.hwnd = None
        self.win_pid = None

    def wait_window(self, driver, caption="Sitewake", timeout=DEFAULT_TIMEOUT):
        """Waits for the visible main window; returns its handle."""
        deadline = time.monotonic() + timeout
        while True:
            if not self.running():
                raise AssertionError("the program ended (status %s) before showing its window"
                                     % self.popen.returncode)
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no visible window %r within %.1f s" % (caption, timeout))
            # Only this copy of the program: others may run in the same prefix.
            a = driver.find_window(caption=caption, visible=True, image=win_path(self.folder.exe),
                                   timeout=min(left, 2.0), check=False)
            if a.get("ok"):
                self.hwnd = a["hwnd"]
                self.win_pid = a["pid"]
                return self.hwnd


class StepTestCase(unittest.TestCase):
    """Cases that are steps of one story on one running program, run in name order: once a step
    fails, the later ones are skipped instead of failing for the same reason."""

    failed_step = None

    def setUp(self):
        if type(self).failed_step:
            self.skipTest("an earlier step failed: %s" % type(self).failed_step)

    def run(self, result=None):
        before = len(result.failures) + len(result.errors) if result else 0
        outcome = super().run(result)
        if result and len(result.failures) + len(result.errors) > before:
            type(self).failed_step = self.id().split(".")[-1]
        return outcome


class WineTestCase(unittest.TestCase):
    """Base class: a driver per test class; programs and folders are cleaned up per test."""

    driver = None

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(EXE):
            raise unittest.SkipTest("no program at %s (build it with scripts/build.sh)" % EXE)
        cls.driver = Driver()

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.close()

    def setUp(self):
        self._programs = []
        self._folders = []

    def tearDown(self):
        for p in self._programs:
            p.kill()
        for f in self._folders:
            f.remove()

    def folder(self, ini=None, name=None):
        f = ProgramFolder(name=name)
        self._folders.append(f)
        if ini is not None:
            f.write_ini(ini)
        return f

    def start(self, folder, args=()):
        p = Program(folder, args)
        self._programs.append(p)
        return p

    def launch(self, ini=None, folder=None, caption="Sitewake", timeout=DEFAULT_TIMEOUT):
        """A fresh folder (with data\\Morvel.ini when ini is given), the program started in it,
        and its visible main window found (program.hwnd)."""
        f = folder or self.folder(ini)
        p = self.start(f)
        p.wait_window(self.driver, caption=caption, timeout=timeout)
        return p

    def shot(self, name):
        """A screenshot into build/win32/wine-shots/<test>-<name>.png (for looking at)."""
        return shot(self.id().split(".")[-1], name)


def main():
    """unittest.main() in the Wine session of scripts/test.sh. A test file run by hand runs
    itself again inside a session of its own, made by scripts/wine-env.sh (the prefix
    build/wine-prefix, a private Xvfb and a warm wineserver, all stopped when it ends)."""
    if os.environ.get("SW_RIG_READY") != "1":
        script = os.path.join(SOURCE_DIR, "scripts", "wine-env.sh")
        prefix = os.environ.get("WINEPREFIX") or os.path.join(SOURCE_DIR, "build", "wine-prefix")
        session = ('. "$0" && SW_WINEPREFIX="$1" sw_wine_session >&2 && shift 2 && "$@"')
        sys.exit(subprocess.run(["bash", "-c", session, script, prefix, "x", sys.executable]
                                + sys.argv).returncode)
    unittest.main(verbosity=2)
