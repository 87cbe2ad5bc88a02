"""Faults that must neither lose a change nor stall a pass, with the real program under Wine:
servers that reset, fail (5xx), cut a body short or drip for ever, a name server that never
answers (Escape must still end the program at once), and registration into damaged registry
files.

The worker cases poll a scripted HTTP server on 127.0.0.1:80 inside the test run's private
network namespace; the name-server case runs the program in a mount namespace of its own whose
/etc/resolv.conf names a name server of the test's that never answers.
"""

import os
import socket
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
from worker_support import (ADD_CAPTION, LONG, ProgramClass, ScriptedServer, activate,  # noqa: E402
                            box_texts, site_files, snapshots, stored)
from rig import entry_lines, ini_lines, registry_file  # noqa: E402

PAGE_R = b"<html><body>\x83y\x81[\x83W reset test</body></html>\n"
PAGE_Z = b"<p>after the drip</p>\n"
# The fetch gives up 120 s after it began, however steadily a server drips.
WHOLE_FETCH_S = 120.0


class FaultyServersInOnePass(ProgramClass):
    """One pass over sites that share a folder: a good page, then a reset, a server error and a
    body cut short, then the good page again; then a server that drips for ever, and the site
    after it. Only the first good page may make a snapshot; the drip must not hold the pass."""

    SITES = [
        (1, "good", "http://127.0.0.1/file/r.html", 4001),
        (2, "reset", "http://127.0.0.1/reset", 4001),
        (3, "error", "http://127.0.0.1/status?code=503", 4001),
        (4, "short", "http://127.0.0.1/short", 4001),
        (5, "good again", "http://127.0.0.1/file/r.html", 4001),
        (6, "drip", "http://127.0.0.1/drip-forever?ms=5000", 4002),
        (7, "next", "http://127.0.0.1/file/z.html", 4003),
    ]

    @classmethod
    def prepare(cls):
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        cls.server.page("r.html", PAGE_R)
        cls.server.page("z.html", PAGE_Z)
        cls.folder.write_ini(registry_file(len(cls.SITES), *(entry_lines(*s) for s in cls.SITES)))
        for n, name, url, code in cls.SITES:
            os.makedirs(os.path.join(cls.folder.data, str(code)), exist_ok=True)

    def asked_at(self, target, timeout):
        """Waits until the server was asked for target; returns when it first saw it."""
        def seen():
            return target in self.server.targets()
        rig.wait_until(seen, timeout=timeout, interval=0.2, what="a request for " + target)
        return time.monotonic()

    def test_1_failed_fetches_commit_nothing_and_a_drip_does_not_hold_the_pass(self):
        self.driver.command(self.hwnd, rig.ID_START)
        drip = self.asked_at("/drip-forever?ms=5000", LONG)
        after = self.asked_at("/file/z.html", WHOLE_FETCH_S + LONG)
        self.driver.command(self.hwnd, rig.ID_STOP)
        held = after - drip
        sys.stderr.write("[faults] the dripping site held the pass for %.1f s\n" % held)
        self.assertGreaterEqual(held, WHOLE_FETCH_S - 5)
        self.assertLess(held, WHOLE_FETCH_S + 60)

        shared = self.data("4001")
        self.assertEqual(site_files(shared)["Old.TEMP"], stored(PAGE_R))
        self.assertEqual(list(snapshots(shared).values()), [stored(PAGE_R)],
                         "a reset, an error page and a short body are no change")
        drip_files = site_files(self.data("4002"))
        self.assertNotIn("Old.TEMP", drip_files)
        self.assertEqual(snapshots(self.data("4002")), {})
        rig.wait_until(lambda: snapshots(self.data("4003")), timeout=LONG, what="the next site's snapshot")
        self.assertEqual(list(snapshots(self.data("4003")).values()), [stored(PAGE_Z)])
        for code in ("4001", "4002", "4003"):
            self.assertNotIn("Copy.tmp", os.listdir(self.data(code)))


class SilentNameServer:
    """A name server on 127.0.0.1:53 that takes every query and never answers."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 53))
        self.sock.settimeout(0.2)
        self.queries = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        self.dir = tempfile.mkdtemp(prefix="sw-dns-")
        self.resolv_conf = os.path.join(self.dir, "resolv.conf")
        with open(self.resolv_conf, "w") as f:
            f.write("nameserver 127.0.0.1\noptions timeout:30 attempts:3\n")

    def _serve(self):
        while not self._stop.is_set():
            try:
                self.sock.recvfrom(4096)
                self.queries += 1
            except socket.timeout:
                pass
            except OSError:
                return

    def launcher(self):
        """Runs a command with this server as the only name server, in a mount namespace."""
        return ["unshare", "--mount", "--", "sh", "-c",
                'mount --bind "$0" /etc/resolv.conf && exec "$@"', self.resolv_conf]

    def stop(self):
        self._stop.set()
        self._thread.join(5)
        self.sock.close()
        for name in os.listdir(self.dir):
            os.remove(os.path.join(self.dir, name))
        os.rmdir(self.dir)


class LookupThatNeverEnds(ProgramClass):
    """A site whose name server never answers: the lookup gives up after 30 s and the pass goes
    on; Escape during such a lookup ends the program at once."""

    @classmethod
    def prepare(cls):
        cls.dns = SilentNameServer()
        cls.addClassCleanup(cls.dns.stop)
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        cls.server.page("z.html", PAGE_Z)
        lines = ["[url]", "count=2"]
        lines += entry_lines(1, "silent", "http://never-answers.sitewake.test/page.html", 5001)
        lines += entry_lines(2, "next", "http://127.0.0.1/file/z.html", 5002)
        for code in (5001, 5002):
            os.makedirs(os.path.join(cls.folder.data, str(code)))
        cls.folder.write_ini(ini_lines(*lines))

    @classmethod
    def launcher(cls):
        return cls.dns.launcher()

    def wait_query(self, count):
        rig.wait_until(lambda: self.dns.queries >= count, timeout=LONG, interval=0.1,
                       what="name query %d" % count)
        return time.monotonic()

    def test_1_the_lookup_gives_up_after_30_s_and_the_pass_goes_on(self):
        self.driver.command(self.hwnd, rig.ID_START)
        asked = self.wait_query(1)
        rig.wait_until(lambda: "/file/z.html" in self.server.targets(), timeout=LONG,
                       interval=0.2, what="the next site")
        waited = time.monotonic() - asked
        sys.stderr.write("[faults] the lookup held its site for %.1f s\n" % waited)
        self.assertGreaterEqual(waited, 28.0)
        self.assertLess(waited, 75.0)
        self.driver.command(self.hwnd, rig.ID_STOP)
        rig.wait_until(lambda: snapshots(self.data("5002")), timeout=LONG, what="a snapshot")
        self.assertEqual(site_files(self.data("5001")).get("NEW.TEMP"), b"")
        record = site_files(self.data("5001")).get("Check.TEMP", b"")
        self.assertIn(b"\r\noutcome=failed\r\nfailure=name-no-answer\r\n", record)

    def test_2_escape_during_the_lookup_ends_the_program_at_once(self):
        time.sleep(5)  # the stopped worker has ended by now: the next start begins a pass
        queries = self.dns.queries
        self.driver.command(self.hwnd, rig.ID_START)
        self.wait_query(queries + 1)
        activate(self.driver, self.hwnd)
        pressed = time.monotonic()
        rig.key("Escape")
        status = self.app.wait(LONG)
        took = time.monotonic() - pressed
        sys.stderr.write("[faults] Escape during a lookup: %.1f s to exit\n" % took)
        self.assertEqual(status, 0)
        self.assertLess(took, 8.0)


class IconRefused(ProgramClass):
    """Closing while polling when the shell refuses the icon (here because the test holds the
    program's icon id in the notification area already): the program asks for 30 s, answering
    the worker all along, then keeps its window shown, so nothing is hidden that the user
    could not get back; once the shell takes the icon, a close hides the window as ever."""

    @classmethod
    def prepare(cls):
        cls.server = ScriptedServer()
        cls.addClassCleanup(cls.server.stop)
        cls.server.page("z.html", PAGE_Z)
        lines = ["[url]", "count=1"] + entry_lines(1, "site", "http://127.0.0.1/file/z.html", 6001)
        os.makedirs(os.path.join(cls.folder.data, "6001"))
        cls.folder.write_ini(ini_lines(*lines))

    def test_1_close_keeps_the_window_shown_and_polling_goes_on(self):
        self.assertTrue(self.driver.call("tray-icon", self.hwnd, 128, "add")["result"])
        self.driver.command(self.hwnd, rig.ID_START)
        closed = time.monotonic()
        self.driver.close_window(self.hwnd)
        # While the shell is asked, the worker's requests are answered: the first site is polled.
        rig.wait_until(lambda: snapshots(self.data("6001")), timeout=LONG, what="a snapshot")
        rig.wait_until(lambda: time.monotonic() > closed + 35, timeout=LONG, what="the 30 s")
        self.assertTrue(self.driver.info(self.hwnd)["visible"], "nothing hidden without an icon")
        self.assertTrue(self.app.running())
        # The window answers: the about box opens from the menu.
        self.driver.command(self.hwnd, rig.IDM_ABOUTBOX)
        about = self.driver.find_window(caption="Sitewake Version 1.0", pid=self.app.win_pid,
                                        visible=True, timeout=LONG)["hwnd"]
        self.driver.close_window(about)
        self.driver.wait_gone(about, timeout=LONG)

    def test_2_once_the_shell_takes_the_icon_a_close_hides_the_window(self):
        self.assertTrue(self.driver.call("tray-icon", self.hwnd, 128, "delete")["result"])
        self.driver.close_window(self.hwnd)
        rig.wait_until(lambda: not self.driver.info(self.hwnd)["visible"], timeout=LONG,
                       what="the window hidden")


class DamagedRegistry(rig.WineTestCase):
    """Registering a site into a registry file whose count is damaged: every old site and the
    new one are listed after a restart, and a count that cannot grow leaves the file as it was,
    says so and lists nothing new, from the dialog or an import."""

    def fill_in(self, app, name, url):
        """Registers through the dialog: the name and URL, then a click on OK."""
        self.driver.command(app.hwnd, rig.ID_ADD_SITE)
        dlg = self.driver.find_window(caption=ADD_CAPTION, owner=app.hwnd, pid=app.win_pid,
                                      visible=True, timeout=LONG)["hwnd"]
        self.driver.set_text(dlg, rig.IDC_SITE_NAME, name)
        self.driver.set_text(dlg, rig.IDC_URL, url)
        x, y = self.driver.center(dlg, rig.IDOK)
        rig.click(x, y)
        self.driver.wait_gone(dlg, timeout=LONG)

    def register(self, folder, name, url):
        """Starts the program, registers through the dialog, ends it; returns the file."""
        app = self.launch(folder=folder, timeout=LONG)
        self.fill_in(app, name, url)
        rows = self.driver.rows(app.hwnd, rig.IDC_SITE_LIST)
        self.assertEqual(rig.cell_bytes(rows[0])[:2], [name.encode(), url.encode()])
        self.driver.close_window(app.hwnd)
        self.assertEqual(app.wait(LONG), 1)
        return folder.read_ini()

    def listed(self, folder):
        app = self.launch(folder=folder, timeout=LONG)
        names = [rig.cell_bytes(r)[0].decode("cp932")
                 for r in self.driver.rows(app.hwnd, rig.IDC_SITE_LIST)]
        app.kill()
        return names

    def test_count_below_the_entries_and_an_old_del_key(self):
        # Entries 1 to 3 behind a count of 1, and an old del4 left by a hand edit.
        lines = ["[url]", "count=1"]
        for n in (1, 2, 3):
            lines += entry_lines(n, "old%d" % n, "http://127.0.0.1/%d" % n, 100 + n)
        lines += ["del4=1"]
        folder = self.folder(ini_lines(*lines))
        after = self.register(folder, "new", "http://127.0.0.1/new")
        text = after.decode("cp932")
        self.assertIn("count=5\r\n", text)
        self.assertIn("name5=new\r\n", text)
        self.assertNotIn("del5", text)
        self.assertEqual(self.listed(folder), ["old1", "old2", "old3", "new"])

    def test_missing_count(self):
        lines = ["[url]"] + entry_lines(1, "old1", "http://127.0.0.1/1", 101) \
            + entry_lines(2, "old2", "http://127.0.0.1/2", 102, deleted=True)
        folder = self.folder(ini_lines(*lines))
        after = self.register(folder, "new", "http://127.0.0.1/new").decode("cp932")
        self.assertIn("count=3\r\n", after)
        self.assertIn("name3=new\r\n", after)
        self.assertEqual(self.listed(folder), ["old1", "new"])

    def refusal(self, app):
        """The box the program shows when a registration cannot be stored; closed again."""
        box = self.driver.find_window(caption="Sitewake", owner=app.hwnd, pid=app.win_pid, visible=True,
                                      timeout=LONG)["hwnd"]
        texts = [t.decode("cp932") for t in box_texts(self.driver, box)]
        self.driver.command(box, rig.IDOK)
        self.driver.wait_gone(box, timeout=LONG)
        return texts

    def test_count_that_cannot_grow_leaves_the_file_as_it_was(self):
        lines = ["[url]", "count=2147483647"] + entry_lines(1, "old1", "http://127.0.0.1/1", 101)
        folder = self.folder(ini_lines(*lines))
        os.makedirs(os.path.join(folder.data, "101"))
        before = folder.read_ini()
        with open(folder.path("list.txt"), "wb") as f:
            f.write(b"a\thttp://127.0.0.1/a\r\nb\thttp://127.0.0.1/b\r\n")
        app = self.launch(folder=folder, timeout=LONG)
        folders = sorted(os.listdir(folder.data))
        told = ["サイトを登録できませんでした。\ndata\\Morvel.ini に、新しいサイトに付けられる番号が残っていません。"]
        self.fill_in(app, "new", "http://127.0.0.1/new")
        self.assertEqual(self.refusal(app), told)
        self.driver.drop_files(app.hwnd, rig.win_path(folder.path("list.txt")))
        self.assertEqual(self.refusal(app), told)
        rows = self.driver.rows(app.hwnd, rig.IDC_SITE_LIST)
        self.assertEqual([rig.cell_bytes(r)[0] for r in rows], [b"old1"], "no row for what was not stored")
        self.assertEqual(folder.read_ini(), before)
        self.assertEqual(sorted(os.listdir(folder.data)), folders, "no new site folder")
        app.kill()
        self.assertEqual(self.listed(folder), ["old1"])


if __name__ == "__main__":
    rig.main()
