"""The release zip, made by scripts/package.sh twice, each time from scratch: the same bytes both
times (and the SHA-256 it prints is theirs); named for the version in res/version.h; holding
exactly Sitewake.exe (of that version, without a link time stamp), readme.txt (code page 932, CR
LF line ends only) and LICENSE (MIT). Builds the program twice: slow, run once by
scripts/test.sh. Needs no Wine."""

import hashlib
import io
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_resources  # noqa: E402
import rig  # noqa: E402

PACKAGE = os.path.join(rig.SOURCE_DIR, "scripts", "package.sh")
RELEASE_ZIP = os.path.join(rig.SOURCE_DIR, "scripts", "release_zip.py")
README_SOURCE = os.path.join(rig.SOURCE_DIR, "docs", "readme.ja.txt")


def package():
    """Runs package.sh; returns (the zip's path, the SHA-256 it printed, the zip's bytes)."""
    r = subprocess.run(["bash", PACKAGE], cwd=rig.SOURCE_DIR, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=dict(os.environ, JOBS="2"), timeout=900)
    if r.returncode != 0:
        raise AssertionError("package.sh failed (%d):\n%s" % (r.returncode, r.stderr.decode()))
    path, digest = r.stdout.decode().split()[-2:]
    with open(path, "rb") as f:
        return path, digest, f.read()


class ReleaseZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.first = package()
        cls.path, cls.digest, cls.data = package()
        cls.zip = zipfile.ZipFile(io.BytesIO(cls.data))

    def member(self, name):
        return self.zip.read(name)

    def test_two_builds_from_scratch_give_the_same_bytes(self):
        self.assertEqual(self.first[2], self.data)
        self.assertEqual(self.first[1], self.digest)
        self.assertEqual(self.digest, hashlib.sha256(self.data).hexdigest())
        sys.stderr.write("[package] %s sha256 %s\n" % (self.path, self.digest))

    def test_named_for_the_version_and_holding_three_files_of_one_time(self):
        version = "%d.%d.%d" % pe_resources.source_version(rig.SOURCE_DIR)
        self.assertEqual(os.path.basename(self.path), "Sitewake-%s.zip" % version)
        self.assertEqual(os.path.dirname(self.path), os.path.join(rig.SOURCE_DIR, "dist"))
        self.assertIsNone(self.zip.testzip())
        infos = self.zip.infolist()
        self.assertEqual([i.filename for i in infos], ["Sitewake.exe", "readme.txt", "LICENSE"])
        self.assertEqual(len({i.date_time for i in infos}), 1)

    def test_the_exe_is_of_this_version_and_has_no_link_time_stamp(self):
        with tempfile.TemporaryDirectory() as d:
            exe = os.path.join(d, "Sitewake.exe")
            with open(exe, "wb") as f:
                f.write(self.member("Sitewake.exe"))
            res = pe_resources.Resources(exe)
        self.assertEqual(res.timestamp, 0)
        self.assertEqual(res.version().file_version[:3],
                         pe_resources.source_version(rig.SOURCE_DIR))
        self.assertIn(b"PerMonitorV2", res.manifest())

    def test_readme_is_code_page_932_with_cr_lf_line_ends_only(self):
        raw = self.member("readme.txt")
        text = raw.decode("cp932")  # strict: every byte sequence valid
        self.assertEqual(raw.count(b"\r\n"), raw.count(b"\n"))
        self.assertEqual(raw.count(b"\r\n"), raw.count(b"\r"))
        with open(README_SOURCE, encoding="utf-8") as f:
            self.assertEqual(text.replace("\r\n", "\n"), f.read())
        version = "%d.%d.%d" % pe_resources.source_version(rig.SOURCE_DIR)
        self.assertTrue(text.startswith("Sitewake %s " % version), "the readme names another version")
        headings = [line for line in text.split("\r\n") if line.startswith("■ ")]
        for heading in ("■ 起動のしかた", "■ データの置き場所", "■ HTTPS のサイト",
                        "■ 変わったことを知る", "■ 確認できないサイト", "■ サイトの設定",
                        "■ オプション", "■ サイトの読み込みと書き出し", "■ 削除のしかた",
                        "■ 更新履歴"):
            self.assertTrue(any(h.startswith(heading) for h in headings), heading)

    def test_license_is_mit_with_the_copyright_line(self):
        text = self.member("LICENSE").decode("ascii")
        self.assertTrue(text.startswith("MIT License\r\n"))
        self.assertIn("\r\nCopyright (c) 2026 Sitewake developers\r\n", text)
        self.assertNotIn("\n", text.replace("\r\n", ""))


class ReadmeConversion(unittest.TestCase):
    def test_a_character_code_page_932_lacks_stops_the_zip_with_its_line(self):
        with tempfile.TemporaryDirectory() as d:
            readme = os.path.join(d, "readme.txt")
            with open(readme, "w", encoding="utf-8") as f:
                f.write("一行目\n二行目 \u2603\n")
            out = os.path.join(d, "out.zip")
            r = subprocess.run([sys.executable, RELEASE_ZIP, out, RELEASE_ZIP, readme,
                                os.path.join(rig.SOURCE_DIR, "LICENSE"), "1767225600"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("readme.txt:2:", r.stderr.decode())
            self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main(verbosity=2)
