"""A virtual desktop of Wine's explorer with a taskbar and a notification area, for the tests
of the notification icon: the program and the window driver are started on it through
closing_on_desktop.exe, and every Wine process of a class carries a mark so that what is left at
the end is found and ended by its pid."""

import os
import signal
import subprocess
import unittest
import uuid

import rig
from worker_support import ScriptedServer

# Starts a program on a named desktop and ends with its exit status (closing_on_desktop.cpp).
ON_DESKTOP = os.path.join(rig.TEST_BIN, "closing_on_desktop.exe")
# Wine gives a virtual desktop of this name a taskbar with a notification area.
DESKTOP = "shell"
WM_NCHITTEST = 0x0084
HTCLOSE = 20
LONG = 240.0


def close_box_point(driver, hwnd):
    """The centre of the title bar's close button, found by asking the window what each point
    of its top right corner is."""
    r = driver.info(hwnd)["rect"]
    hits = [(x, y) for y in range(r["top"], r["top"] + 30, 2)
            for x in range(r["right"] - 40, r["right"], 2)
            if driver.send(hwnd, WM_NCHITTEST, 0, (y << 16) | x) == HTCLOSE]
    if not hits:
        raise AssertionError("no close button in the title bar of %r" % r)
    return (sum(x for x, _ in hits) // len(hits), sum(y for _, y in hits) // len(hits))


class DesktopDriver(rig.Driver):
    """The window driver running on the virtual desktop."""

    def __init__(self, desktop, env):
        super().__init__(env)
        self.desktop = desktop

    def _start(self):
        self._proc = subprocess.Popen(
            ["wine", ON_DESKTOP, self.desktop, rig.DRIVER_EXE, "serve"],
            cwd=rig.TEST_BIN, env=self._env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, start_new_session=True)
        self._buf = b""


class DesktopProgram(rig.Program):
    """Sitewake on the virtual desktop; its exit status comes back through the helper."""

    def __init__(self, folder, desktop, env):
        self.folder = folder
        rig.Process.__init__(self, [ON_DESKTOP, desktop, folder.exe_name],
                             cwd=folder.dir, env=env)
        self.hwnd = None
        self.win_pid = None


class DesktopClass(rig.StepTestCase):
    """Ordered cases sharing one virtual desktop (cls.env, cls.driver, cls.tray), a scripted
    server serving PAGES (cls.server) and one program run from cls.folder (cls.app, cls.hwnd),
    whose data a class's prepare() writes first."""

    PAGES = {}

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(rig.EXE):
            raise unittest.SkipTest("no program at %s" % rig.EXE)
        cls.failed_step = None
        cls.start_desktop()
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        for name, body in cls.PAGES.items():
            cls.server.page(name, body)
        cls.folder = rig.ProgramFolder()
        cls.addClassCleanup(cls.folder.remove)
        cls.prepare()
        cls.start_desktop_driver()
        cls.start_program()

    @classmethod
    def prepare(cls):
        pass

    @classmethod
    def start_program(cls):
        cls.app = DesktopProgram(cls.folder, DESKTOP, cls.env)
        cls.addClassCleanup(cls.end_program)
        cls.hwnd = cls.app.wait_window(cls.driver, timeout=LONG)

    @classmethod
    def start_desktop(cls):
        cls.mark = "SW_CLOSING_RUN=" + uuid.uuid4().hex
        cls.env = rig.wine_env(dict([cls.mark.split("=", 1)]))
        cls.addClassCleanup(cls.end_marked_processes)

    @classmethod
    def start_desktop_driver(cls):
        rig.Process(["explorer", "/desktop=%s,1024x768" % DESKTOP], cwd=rig.TEST_BIN,
                    env=cls.env)
        rig.wait_until(lambda: subprocess.run(
            ["xdotool", "search", "--name", "^%s - Wine desktop$" % DESKTOP], env=cls.env,
            stdout=subprocess.DEVNULL).returncode == 0, timeout=LONG, interval=0.5,
            what="the virtual desktop")
        cls.driver = DesktopDriver(DESKTOP, cls.env)
        cls.addClassCleanup(cls.driver.close)
        cls.tray = cls.driver.find_window(cls="Shell_TrayWnd", visible=True, timeout=LONG)

    # -- what the desktop shows --
    def visible(self):
        return self.driver.info(self.hwnd)["visible"]

    def taskbar_buttons(self):
        """The taskbar's visible buttons: the start button, then one per program window."""
        return [c for c in self.driver.children(self.tray["hwnd"])
                if c["class"].lower() == "button" and c["visible"]
                and c["rect"]["right"] > c["rect"]["left"]]

    def tray_icons(self, shot=None):
        """How many icons the notification area shows, counted on a screenshot: the icons sit
        in 20-pixel slots from the taskbar's right end."""
        path = shot or os.path.join(self.folder.root, "screen.png")
        rig.screenshot(path)
        t = self.tray["rect"]
        width, height = 200, t["bottom"] - t["top"]
        raw = subprocess.run(
            ["convert", path, "-crop", "%dx%d+%d+%d" % (width, height, t["right"] - width,
                                                       t["top"]), "+repage", "-depth", "8",
             "rgb:-"], env=self.env, check=True, stdout=subprocess.PIPE).stdout
        self.assertEqual(len(raw), width * height * 3)
        pixel = lambda x, y: raw[(y * width + x) * 3:(y * width + x) * 3 + 3]
        background = pixel(2, height // 2)
        slots = 0
        for slot in range(width // 20):
            x1 = width - 20 * slot
            differing = sum(pixel(x, y) != background
                            for x in range(x1 - 20, x1) for y in range(height))
            if differing < 20:
                break
            slots += 1
        return slots

    def wait_icons(self, count, shot=None):
        return rig.wait_until(lambda: self.tray_icons(shot) == count or None, timeout=LONG,
                              interval=0.5, what="%d icon(s) in the notification area" % count)

    def double_click_icon(self):
        """A real double click on the notification area's rightmost icon."""
        t = self.tray["rect"]
        rig.click(t["right"] - 10, (t["top"] + t["bottom"]) // 2, double=True)

    @classmethod
    def end_program(cls):
        """Ends a program a failed case left running, the way Escape does."""
        if cls.app.running() and getattr(cls, "hwnd", None):
            try:
                cls.driver.command(cls.hwnd, rig.IDCANCEL)
                cls.app.wait(60)
            except (AssertionError, TimeoutError):
                pass

    @classmethod
    def end_marked_processes(cls):
        for pid in os.listdir("/proc"):
            if not pid.isdigit() or int(pid) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    marked = cls.mark.encode() in f.read().split(b"\0")
            except OSError:
                continue
            if marked:
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except ProcessLookupError:
                    pass
