"""Data that is never silently lost, with the real program under Wine: when the folder its data is
written into cannot take a new file, the program names that folder in a box (the program's title
as its caption), ends with exit status 2 before its window opens, and leaves nothing behind;
when it can, the program starts and its check leaves no trace.

The tests run as root, whom permission bits do not stop, so a folder is made unwritable with a
read-only bind mount of it over itself. Wine's server, which opens the files of every Wine
process, runs in the machine's own mount namespace, so the mount is made there (a mount private
to the program's process would not stop the server); it is removed when the case ends. Each case
first checks, through Wine, that a file really cannot be made there.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_resources  # noqa: E402
import rig  # noqa: E402
from rig import entry_lines, registry_file  # noqa: E402

EXIT_DATA_FOLDER_NOT_WRITABLE = 2
MESSAGE_BOX_TEXT = 0xFFFF  # the id of a message box's text
REGISTRY = registry_file(1, entry_lines(1, "サイト", "http://127.0.0.2/", 1))


def tree(path):
    """Every file and folder under path with the bytes of each file: what a case must leave as
    it found it."""
    found = {}
    for root, dirs, files in os.walk(path):
        for d in dirs:
            found[os.path.relpath(os.path.join(root, d), path)] = None
        for f in files:
            p = os.path.join(root, f)
            with open(p, "rb") as fh:
                found[os.path.relpath(p, path)] = fh.read()
    return found


class ReadOnlyMount:
    """A folder mounted over itself, then made read-only, until close()."""

    def __init__(self, path):
        self.path = path
        subprocess.run(["mount", "--bind", path, path], check=True)

    def make_read_only(self):
        subprocess.run(["mount", "-o", "remount,bind,ro", self.path], check=True)

    def close(self):
        if self.path is not None:
            # Lazily when still busy (a program that did not end).
            if subprocess.run(["umount", self.path], stderr=subprocess.DEVNULL).returncode != 0:
                subprocess.run(["umount", "-l", self.path], check=True)
            self.path = None


class DataFolderCheck(rig.WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        res = pe_resources.Resources(rig.EXE)
        cls.reason = rig.cp932(res.string(rig.IDS_DATA_FOLDER_NOT_WRITABLE))
        cls.advice = rig.cp932(res.string(rig.IDS_DATA_FOLDER_ADVICE))

    def read_only(self, path):
        """Makes a folder of a program folder read-only until the case ends. Cleanups run last
        first, after tearDown has ended the programs: the mount goes, then the folder."""
        mount = ReadOnlyMount(path)
        self.addCleanup(mount.close)
        mount.make_read_only()
        # Proof that no file can be made there: through Wine, as the program would, and here.
        probe = os.path.join(path, "probe.txt")
        rig.run_wine(["cmd.exe", "/c", "echo x> " + rig.win_path(probe)])
        self.assertFalse(os.path.exists(probe), "Wine made a file in the read-only folder")
        with self.assertRaises(OSError):
            open(probe, "wb").close()

    def message_box(self, folder):
        """The box the program shows instead of its window: (its handle, its text's bytes)."""
        app = self.start(folder)
        box = self.driver.find_window(caption="Sitewake", visible=True, image=rig.win_path(folder.exe))
        classes = [c["class"] for c in self.driver.children(box["hwnd"])]
        self.assertNotIn("SysListView32", classes, "the main window opened")
        return app, box, rig.raw(self.driver.text(box["hwnd"], MESSAGE_BOX_TEXT))

    def assert_refused(self, ini, read_only):
        """A program folder (with data\\ when ini is given) whose read_only(folder) part cannot
        be written: the box names that part, OK ends the program with status 2, and the
        program folder is left as it was."""
        folder = rig.ProgramFolder()
        self.addCleanup(folder.remove)
        if ini is not None:
            folder.write_ini(ini)
        before = tree(folder.dir)
        self.read_only(read_only(folder))
        app, box, text = self.message_box(folder)
        self.assertEqual(text, self.reason + b"\n\n" + rig.cp932(rig.win_path(read_only(folder))) +
                         b"\n\n" + self.advice)
        x, y = self.driver.center(box["hwnd"], rig.IDOK)
        rig.click(x, y)
        self.assertEqual(app.wait(timeout=30), EXIT_DATA_FOLDER_NOT_WRITABLE)
        self.assertEqual(tree(folder.dir), before)

    def test_a_read_only_program_folder_is_named_and_the_program_ends(self):
        self.assert_refused(None, lambda folder: folder.dir)

    def test_a_read_only_data_folder_is_named_and_nothing_is_made_beside_it(self):
        self.assert_refused(REGISTRY, lambda folder: folder.data)

    def test_a_writable_folder_starts_and_keeps_no_trace_of_the_check(self):
        for ini in (None, REGISTRY):
            with self.subTest(data_folder=ini is not None):
                folder = self.folder(ini=ini)
                before = tree(folder.dir)
                app = self.launch(folder=folder)
                self.assertEqual(self.driver.row_count(app.hwnd, rig.IDC_SITE_LIST),
                                 0 if ini is None else 1)
                self.assertEqual(tree(folder.dir), before)
                app.kill()


if __name__ == "__main__":
    rig.main()
