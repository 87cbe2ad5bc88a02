"""The resources built into Sitewake.exe, read from the file itself (tests/wine/pe_resources.py):
the application manifest (well-formed XML, each setting in the namespace Windows reads it from),
the version resource in its Japanese and English blocks, and the about box's version texts, all
matching the one version definition in res/version.h. Needs no Wine."""

import os
import sys
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_resources  # noqa: E402
import rig  # noqa: E402

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
WS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"

# The supportedOS ids Windows documents: Vista, 7, 8, 8.1, and 10 (which Windows 11 shares).
WINDOWS_VISTA_TO_11 = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

JAPANESE_BLOCK = "041103A4"
ENGLISH_BLOCK = "040904E4"


def version_texts():
    """("1.0", "1.0.1") from res/version.h."""
    major, minor, patch = pe_resources.source_version(rig.SOURCE_DIR)
    return "%d.%d" % (major, minor), "%d.%d.%d" % (major, minor, patch)


class ProgramFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(rig.EXE):
            raise unittest.SkipTest("no program at %s (build it with scripts/build.sh)" % rig.EXE)
        cls.res = pe_resources.Resources(rig.EXE)


class Manifest(ProgramFile):
    """The manifest Windows reads at start: resource 1 of type RT_MANIFEST."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.raw = cls.res.manifest()
        cls.root = ET.fromstring(cls.raw)

    def test_is_a_well_formed_utf8_assembly(self):
        self.assertTrue(self.raw.startswith(b'<?xml version="1.0" encoding="UTF-8"'))
        self.assertEqual((self.root.tag, self.root.get("manifestVersion")),
                         (ASM_V1 + "assembly", "1.0"))

    def test_asks_for_common_controls_6_in_a_dependency(self):
        # Anywhere else Windows ignores it.
        dep = self.root.find(ASM_V1 + "dependency/" + ASM_V1 + "dependentAssembly/" +
                             ASM_V1 + "assemblyIdentity")
        self.assertEqual(dict(dep.attrib), {
            "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
            "publicKeyToken": "6595b64144ccf1df", "processorArchitecture": "*", "language": "*"})

    def test_runs_as_invoker_on_windows_vista_to_11(self):
        level = self.root.find(ASM_V3 + "trustInfo/" + ASM_V3 + "security/" + ASM_V3 +
                               "requestedPrivileges/" + ASM_V3 + "requestedExecutionLevel")
        self.assertEqual((level.get("level"), level.get("uiAccess")), ("asInvoker", "false"))
        ids = {e.get("Id") for e in self.root.findall(COMPAT + "compatibility/" + COMPAT +
                                                       "application/" + COMPAT + "supportedOS")}
        self.assertEqual(ids, WINDOWS_VISTA_TO_11)

    def test_dpi_awareness_and_code_page_each_in_its_own_namespace(self):
        # Windows reads each setting only in the namespace of the release that brought it.
        settings = self.root.find(ASM_V3 + "application/" + ASM_V3 + "windowsSettings")
        self.assertEqual({e.tag: e.text for e in settings},
                         {WS_2005 + "dpiAware": "true",
                          WS_2016 + "dpiAwareness": "PerMonitorV2",
                          # A locale name: Windows 11 gives its code page, 932.
                          WS_2019 + "activeCodePage": "ja-JP"})


class VersionResource(ProgramFile):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.info = cls.res.version()

    def test_fixed_numbers_are_the_defined_version(self):
        numbers = pe_resources.source_version(rig.SOURCE_DIR) + (0,)
        self.assertEqual(self.info.file_version, numbers)
        self.assertEqual(self.info.product_version, numbers)

    def test_japanese_and_english_blocks_with_their_translations(self):
        self.assertEqual(set(self.info.strings), {JAPANESE_BLOCK, ENGLISH_BLOCK})
        self.assertEqual(self.info.translations, [(0x0411, 932), (0x0409, 1252)])

    def test_fields_of_both_blocks(self):
        _, full = version_texts()
        for block, description in ((JAPANESE_BLOCK, "Web サイト更新監視"),
                                   (ENGLISH_BLOCK, "Web site change monitor")):
            with self.subTest(block):
                fields = self.info.strings[block]
                self.assertEqual(fields["ProductName"], "Sitewake")
                self.assertEqual(fields["FileDescription"], description)
                self.assertEqual(fields["FileVersion"], full)
                self.assertEqual(fields["ProductVersion"], full)
                self.assertEqual(fields["OriginalFilename"], "Sitewake.exe")
                self.assertEqual(fields["InternalName"], "Sitewake")
                self.assertEqual(fields["LegalCopyright"], "Copyright (c) 2026 Sitewake developers")
                self.assertEqual(fields["CompanyName"], "Sitewake developers")


class AboutBox(ProgramFile):
    def test_caption_and_text_follow_the_version_definition(self):
        release, full = version_texts()
        about = self.res.dialog(rig.IDD_ABOUT)
        # Other tests find the box by this caption.
        self.assertEqual(about.caption, "Sitewake Version 1.0")
        self.assertEqual(about.caption, "Sitewake Version " + release)
        texts = [c["text"] for c in about.controls if isinstance(c["text"], str)]
        self.assertIn("Sitewake Version " + full, texts)
        self.assertIn("Web サイト更新監視", texts)
        # The full version is of the release the caption names.
        self.assertTrue(full.startswith(release + "."))

    def test_texts_fit_their_lines_in_a_fixed_pitch_font(self):
        # Dialog units are a quarter of the font's average character: in a fixed-pitch font
        # (Wine's stand-in for the template's) a one-byte character takes 4, a two-byte one 8.
        about = self.res.dialog(rig.IDD_ABOUT)
        for c in about.controls:
            if isinstance(c["text"], str) and c["class"] == 0x82:  # a static text
                with self.subTest(c["text"]):
                    needed = sum(4 * len(ch.encode("cp932")) for ch in c["text"])
                    self.assertLessEqual(needed, c["cx"])
                    self.assertLessEqual(c["x"] + c["cx"], min(
                        b["x"] for b in about.controls if b["id"] == rig.IDOK))


if __name__ == "__main__":
    unittest.main(verbosity=2)
