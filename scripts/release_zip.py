"""Writes the release zip from the built exe and the texts kept in the repository, the same bytes
for the same inputs: entries in a fixed order with one fixed time, fixed attributes and one
compression level. The readme (UTF-8 in the repository) goes in as code page 932 with CR LF line
ends, as Japanese Windows reads it; LICENSE with CR LF line ends.

    python3 scripts/release_zip.py OUT.zip EXE README_UTF8 LICENSE EPOCH

EPOCH: the entries' time, in seconds since 1970 (UTC). Exits 1 with the reason when a text
cannot be converted (a character code page 932 does not have).
"""

import sys
import time
import zipfile


def crlf(text):
    return text.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")


def windows_text(path, encoding):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for number, line in enumerate(text.splitlines(), 1):
        try:
            line.encode(encoding)
        except UnicodeEncodeError as e:
            raise SystemExit("%s:%d: %r has no %s form" % (path, number, line[e.start:e.end],
                                                           encoding))
    return crlf(text).encode(encoding)


def main(argv):
    if len(argv) != 6:
        raise SystemExit(__doc__)
    out, exe, readme, license_path, epoch = argv[1:]
    stamp = time.gmtime(int(epoch))[:6]
    with open(exe, "rb") as f:
        program = f.read()
    entries = [("Sitewake.exe", program),
               ("readme.txt", windows_text(readme, "cp932")),
               ("LICENSE", windows_text(license_path, "ascii"))]
    with zipfile.ZipFile(out, "w") as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 0  # made on Windows' terms: no Unix permission bits
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
