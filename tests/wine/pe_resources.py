"""A reader of the resources of a Windows program file (PE32), Python standard library only: the
resource tree, the application manifest, the version resource, string tables and dialog
templates, as the tests need them.

    res = pe_resources.Resources("build/win32/Sitewake.exe")
    res.manifest()                        # the XML bytes of RT_MANIFEST 1
    res.version()                         # VersionInfo: fixed numbers, string blocks, translations
    res.string(340)                       # one text of the string table
    res.dialog(100)                       # Dialog: caption and controls
"""

import os
import re
import struct

RT_STRING = 6
RT_DIALOG = 5
RT_VERSION = 16
RT_MANIFEST = 24


class FormatError(ValueError):
    pass


class Resources:
    """The resources of one PE32 file: {(type, name): {language: bytes}}, ids as ints and
    names as str, plus the header facts the tests read (the link time stamp)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise FormatError("no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        (self.machine, sections, self.timestamp, _, _, opt_size,
         _) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        if struct.unpack_from("<H", d, opt)[0] != 0x10B:
            raise FormatError("not a PE32 (32-bit) file")
        rsrc_rva, rsrc_size = struct.unpack_from("<II", d, opt + 96 + 2 * 8)
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_ptr = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), rva,
                                  max(vsize, raw_size), raw_ptr, raw_size))
        self.entries = {}
        if rsrc_rva:
            self._base = self._offset(rsrc_rva)
            self._walk()

    def _offset(self, rva):
        for _, start, size, raw_ptr, raw_size in self.sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw_ptr + rva - start
        raise FormatError("address 0x%x is in no section" % rva)

    def _directory(self, at):
        """The entries of one resource directory: (id or name, offset, is a directory)."""
        d = self.data
        named, numbered = struct.unpack_from("<HH", d, self._base + at + 12)
        out = []
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", d, self._base + at + 16 + 8 * i)
            if key & 0x80000000:
                p = self._base + (key & 0x7FFFFFFF)
                n = struct.unpack_from("<H", d, p)[0]
                key = d[p + 2:p + 2 + 2 * n].decode("utf-16-le")
            out.append((key, target & 0x7FFFFFFF, bool(target & 0x80000000)))
        return out

    def _walk(self):
        for rtype, at1, dir1 in self._directory(0):
            if not dir1:
                raise FormatError("a resource type that is no directory")
            for name, at2, dir2 in self._directory(at1):
                if not dir2:
                    raise FormatError("a resource name that is no directory")
                for lang, at3, dir3 in self._directory(at2):
                    if dir3:
                        raise FormatError("a resource language that is a directory")
                    rva, size = struct.unpack_from("<II", self.data, self._base + at3)
                    start = self._offset(rva)
                    self.entries.setdefault((rtype, name), {})[lang] = self.data[start:start + size]

    def get(self, rtype, name):
        """{language: bytes} of one resource; KeyError when it is absent."""
        return self.entries[(rtype, name)]

    def one(self, rtype, name):
        """The bytes of a resource that has exactly one language."""
        langs = self.get(rtype, name)
        if len(langs) != 1:
            raise FormatError("resource %r/%r has %d languages" % (rtype, name, len(langs)))
        return next(iter(langs.values()))

    def manifest(self):
        return self.one(RT_MANIFEST, 1)

    def version(self):
        return VersionInfo(self.one(RT_VERSION, 1))

    def string(self, string_id):
        """One text of the string table (blocks of 16 counted UTF-16 texts)."""
        block = self.one(RT_STRING, (string_id >> 4) + 1)
        at = 0
        for _ in range(string_id & 15):
            at += 2 + 2 * struct.unpack_from("<H", block, at)[0]
        n = struct.unpack_from("<H", block, at)[0]
        return block[at + 2:at + 2 + 2 * n].decode("utf-16-le")

    def dialog(self, dialog_id):
        return Dialog(self.one(RT_DIALOG, dialog_id))


def _text_at(data, at):
    """A zero-ended UTF-16 text at an offset: (text, offset after its zero)."""
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def _align4(at):
    return (at + 3) & ~3


class VersionInfo:
    """VS_VERSIONINFO: the fixed numbers (file_version, product_version as 4-tuples), the
    string blocks ({"041103A4": {"ProductName": ...}}) and the translations [(lang, cp)]."""

    def __init__(self, data):
        self.strings = {}
        self.translations = []
        length, value_len, _, key, at = self._node(data, 0)
        if key != "VS_VERSION_INFO":
            raise FormatError("version resource key %r" % key)
        fixed = data[at:at + value_len]
        sig, _, fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<IIIIII", fixed, 0)
        if sig != 0xFEEF04BD:
            raise FormatError("no VS_FIXEDFILEINFO")
        self.file_version = (fv_ms >> 16, fv_ms & 0xFFFF, fv_ls >> 16, fv_ls & 0xFFFF)
        self.product_version = (pv_ms >> 16, pv_ms & 0xFFFF, pv_ls >> 16, pv_ls & 0xFFFF)
        for child, child_end in self._children(data, _align4(at + value_len), length):
            _, _, _, ckey, cat = self._node(data, child)
            if ckey == "StringFileInfo":
                for table, table_end in self._children(data, cat, child_end - child, base=child):
                    _, _, _, tkey, tat = self._node(data, table)
                    block = self.strings.setdefault(tkey, {})
                    for s, s_end in self._children(data, tat, table_end - table, base=table):
                        _, slen, _, skey, sat = self._node(data, s)
                        text = data[sat:sat + 2 * slen].decode("utf-16-le").rstrip("\0")
                        block[skey] = text
            elif ckey == "VarFileInfo":
                for var, _ in self._children(data, cat, child_end - child, base=child):
                    _, vlen, _, vkey, vat = self._node(data, var)
                    if vkey == "Translation":
                        words = struct.unpack_from("<%dH" % (vlen // 2), data, vat)
                        self.translations = list(zip(words[0::2], words[1::2]))

    @staticmethod
    def _node(data, at):
        """wLength, wValueLength, wType, szKey, and where the value starts."""
        length, value_len, vtype = struct.unpack_from("<HHH", data, at)
        key, after = _text_at(data, at + 6)
        return length, value_len, vtype, key, _align4(after)

    @staticmethod
    def _children(data, at, length, base=0):
        """The child nodes from at to the end of the parent (base + length)."""
        end = base + length
        while at < end:
            n = struct.unpack_from("<H", data, at)[0]
            if n == 0:
                break
            yield at, at + n
            at = _align4(at + n)


def _sz_or_ord(data, at):
    """A dialog template's name field: None, an ordinal (int) or a text."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0:
        return None, at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    return _text_at(data, at)


class Dialog:
    """A DLGTEMPLATEEX: caption, style, size in dialog units, font, and its controls as dicts
    (id, class, text, style, x, y, cx, cy)."""

    def __init__(self, data):
        ver, sig = struct.unpack_from("<HH", data, 0)
        if (ver, sig) != (1, 0xFFFF):
            raise FormatError("not an extended dialog template")
        _, _, self.style, count, x, y, cx, cy = struct.unpack_from("<IIIHhhhh", data, 4)
        self.size = (cx, cy)
        at = 26
        self.menu, at = _sz_or_ord(data, at)
        self.window_class, at = _sz_or_ord(data, at)
        self.caption, at = _text_at(data, at)
        self.font = None
        if self.style & 0x40:  # DS_SETFONT
            points = struct.unpack_from("<H", data, at)[0]
            face, at = _text_at(data, at + 6)
            self.font = (points, face)
        self.controls = []
        for _ in range(count):
            at = _align4(at)
            _, _, style, x, y, cx, cy, ctl_id = struct.unpack_from("<IIIhhhhi", data, at)
            cls, at = _sz_or_ord(data, at + 24)
            text, at = _sz_or_ord(data, at)
            extra = struct.unpack_from("<H", data, at)[0]
            at += 2 + extra
            self.controls.append({"id": ctl_id, "class": cls, "text": text, "style": style,
                                  "x": x, "y": y, "cx": cx, "cy": cy})


def version_definition(path):
    """The numbers res/version.h defines: (major, minor, patch)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    parts = []
    for name in ("MAJOR", "MINOR", "PATCH"):
        m = re.search(r"^#define\s+SITEWAKE_VERSION_%s\s+(\d+)\s*$" % name, text, re.M)
        if not m:
            raise FormatError("version.h defines no SITEWAKE_VERSION_%s" % name)
        parts.append(int(m.group(1)))
    return tuple(parts)


def source_version(source_dir):
    return version_definition(os.path.join(source_dir, "res", "version.h"))
