"""The program's profile functions (registry/profile.cpp, linked into profile_check.exe) on
real files under Wine: defaults, cuts at the buffer size, names resolved against the program
folder, writes into missing folders, and the program folder itself when its name holds
code page 932 characters whose second byte is a backslash (表 = 95 5C, ソ = 83 5C)."""

import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402

CHECK_EXE = os.path.join(rig.TEST_BIN, "profile_check.exe")


class ProfileTest(unittest.TestCase):
    def setUp(self):
        if not os.path.exists(CHECK_EXE):
            self.skipTest("profile_check.exe not built")
        self.root = tempfile.mkdtemp(prefix="sw-profile-")
        self.addCleanup(shutil.rmtree, self.root, True)

    def program_in(self, *names, exe="profile_check.exe"):
        """A copy of profile_check.exe, named exe, in root/<names...>; returns its folder."""
        folder = os.path.join(self.root, *names)
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(CHECK_EXE, os.path.join(folder, exe))
        return folder

    def check(self, folder, *args, cwd=None, exe="profile_check.exe"):
        r = rig.run_wine([os.path.join(folder, exe)] + [str(a) for a in args],
                         cwd=cwd or self.root)
        self.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        return json.loads(r.stdout.decode().strip().splitlines()[-1])

    def write(self, path, text):
        with open(path, "wb") as f:
            f.write(rig.ini_bytes(text))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_reading(self):
        folder = self.program_in("plain")
        ini = os.path.join(folder, "p.ini")
        self.write(ini, "[s]\nkey=value\nlong=%s\nnum=42\n" % ("x" * 40))
        win_ini = rig.win_path(ini)
        missing = rig.win_path(os.path.join(folder, "none.ini"))

        with self.subTest("missing file gives the default"):
            a = self.check(folder, "get", missing, "s", "key", "fallback", 32)
            self.assertEqual(a["ret"], len("fallback"))
            self.assertEqual(bytes.fromhex(a["buf"])[:9], b"fallback\0")

        with self.subTest("missing key with an empty default stores an empty text"):
            a = self.check(folder, "get", win_ini, "s", "absent", "", 32)
            self.assertEqual(a["ret"], 0)
            self.assertEqual(bytes.fromhex(a["buf"])[0], 0)

        with self.subTest("present key"):
            a = self.check(folder, "get", win_ini, "s", "key", "d", 32)
            self.assertEqual((a["ret"], bytes.fromhex(a["buf"])[:6]), (5, b"value\0"))

        with self.subTest("value longer than the buffer is cut to size-1 bytes"):
            size = 16
            a = self.check(folder, "get", win_ini, "s", "long", "", size)
            buf = bytes.fromhex(a["buf"])
            self.assertEqual(a["ret"], size - 1)
            self.assertEqual(buf[:size], b"x" * (size - 1) + b"\0")
            self.assertEqual(buf[size:], b"\xcc" * (len(buf) - size), "written past the buffer")

        with self.subTest("numbers"):
            self.assertEqual(self.check(folder, "getint", win_ini, "s", "num", 7)["ret"], 42)
            self.assertEqual(self.check(folder, "getint", missing, "s", "num", 7)["ret"], 7)

    def test_bare_name_is_the_program_folder_not_the_working_folder(self):
        folder = self.program_in("prog")
        elsewhere = os.path.join(self.root, "cwd")
        os.makedirs(elsewhere)
        self.write(os.path.join(folder, "bare.ini"), "[s]\nk=in-program-folder\n")
        self.write(os.path.join(elsewhere, "bare.ini"), "[s]\nk=in-working-folder\n")
        a = self.check(folder, "get", "bare.ini", "s", "k", "", 64, cwd=elsewhere)
        self.assertEqual(bytes.fromhex(a["buf"])[:a["ret"]], b"in-program-folder")

        self.check(folder, "write", "new.ini", "s", "k", "v", cwd=elsewhere)
        self.assertTrue(os.path.exists(os.path.join(folder, "new.ini")))
        self.assertFalse(os.path.exists(os.path.join(elsewhere, "new.ini")))

    def test_writing(self):
        folder = self.program_in("w")
        ini = os.path.join(folder, "w.ini")

        with self.subTest("ProfileWriteInt writes the decimal text"):
            self.check(folder, "writeint", rig.win_path(ini), "sec", "flag", 1)
            self.assertIn(b"flag=1\r\n", self.read(ini))
            self.assertEqual(self.check(folder, "getint", rig.win_path(ini), "sec", "flag", 0)["ret"], 1)
            self.check(folder, "writeint", rig.win_path(ini), "sec", "neg", -2147483648)
            self.assertIn(b"neg=-2147483648\r\n", self.read(ini))

        with self.subTest("ProfileWriteString with a code page 932 value"):
            value = rig.cp932("表示ソフト")
            r = rig.run_wine([os.path.join(folder, "profile_check.exe"), "write", rig.win_path(ini),
                              "sec", "name", "表示ソフト"], cwd=self.root)
            self.assertEqual(r.returncode, 0)
            self.assertIn(b"name=" + value + b"\r\n", self.read(ini))

        with self.subTest("a missing folder is not made and nothing is stored"):
            absent = os.path.join(self.root, "absent")
            self.check(folder, "write", rig.win_path(os.path.join(absent, "x.ini")), "s", "k", "v")
            self.assertFalse(os.path.exists(absent))

    def test_site_comparison_keys(self):
        # The registry file's compare<n> keys, written through the profile functions and read back
        # by the one-pass reading of the section.
        folder = self.program_in("reg")
        ini = os.path.join(folder, "Morvel.ini")
        path = rig.win_path(ini)
        self.write(ini, "[url]\ncount=3\nname1=gone\nurl1=http://a/\ncode1=5\ndel1=1\n"
                        "name2=kept\nurl2=http://b/\ncode2=5\nname3=other\nurl3=http://c/\ncode3=7\n")

        def listed():
            return [(bytes.fromhex(s["name"]).decode(), s["code"], s["text"])
                    for s in self.check(folder, "list", path)["sites"]]

        def keys():
            return [line for line in self.read(ini).split(b"\r\n") if line.lower().startswith(b"compare")]

        with self.subTest("an older file lists every site as compared whole"):
            self.assertEqual(listed(), [("kept", 5, False), ("other", 7, False)])

        with self.subTest("the text only is stored on the live entry of the code"):
            self.assertTrue(self.check(folder, "sitecompare", path, 5, "text")["found"])
            self.assertEqual(keys(), [b"compare2=text"])
            self.assertEqual(listed(), [("kept", 5, True), ("other", 7, False)])
            self.check(folder, "compare", path, 2, "text")
            self.assertEqual(keys(), [b"compare2=text"], "written twice")

        with self.subTest("a code no live entry holds changes nothing"):
            before = self.read(ini)
            self.assertFalse(self.check(folder, "sitecompare", path, 99, "text")["found"])
            self.assertEqual(self.read(ini), before)

        with self.subTest("the whole page removes the key"):
            self.check(folder, "compare", path, 3, "text")
            self.assertTrue(self.check(folder, "sitecompare", path, 5, "page")["found"])
            self.assertEqual(keys(), [b"compare3=text"])
            self.assertEqual(listed(), [("kept", 5, False), ("other", 7, True)])

        with self.subTest("a deleted site loses its key"):
            self.check(folder, "delete", path, 7)
            self.assertEqual(keys(), [])
            self.assertIn(b"del3=1\r\n", self.read(ini))
            self.assertEqual(listed(), [("kept", 5, False)])

        with self.subTest("the whole page removes every line of a repeated key"):
            self.write(ini, "[url]\ncount=1\nname1=twice\nurl1=http://a/\ncode1=9\ncompare1=text\n"
                            "Compare1 = TEXT\ncompare1=page\n")
            self.assertEqual(listed(), [("twice", 9, True)])
            self.assertTrue(self.check(folder, "sitecompare", path, 9, "page")["found"])
            self.assertEqual(keys(), [])
            self.assertEqual(listed(), [("twice", 9, False)])

    def test_program_folder_with_backslash_trail_bytes(self):
        # Folder and program names whose characters end in the byte of a backslash: only the
        # last real backslash separates the folder from the program's name.
        cases = (("表", "profile_check.exe"), ("ソ", "ソ.exe"), ("表示ソフト", "表.exe"),
                 ("データ表", "検査ソ表.exe"), ("plain", "表示.exe"))
        for name, exe in cases:
            with self.subTest(folder=name, exe=exe):
                folder = self.program_in(name, exe=exe)
                a = self.check(folder, "exedir", exe=exe)
                expected = rig.cp932(rig.win_path(folder))
                self.assertEqual(bytes.fromhex(a["module"]), expected + b"\\" + rig.cp932(exe))
                self.assertEqual(bytes.fromhex(a["dir"]), expected)
                self.assertTrue(a["terminated"])

                # A bare file name lands in that folder too.
                self.write(os.path.join(folder, "d.ini"), "[s]\nk=found\n")
                got = self.check(folder, "get", "d.ini", "s", "k", "", 32, exe=exe)
                self.assertEqual(bytes.fromhex(got["buf"])[:got["ret"]], b"found")


if __name__ == "__main__":
    rig.main()
