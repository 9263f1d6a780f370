#!/usr/bin/env python3
"""Makes the Windows zip: the program, its licence, and the text on starting
it with Windows, readable as Windows 7 reads a zip.

Usage: make-zip.py OUTPUT.zip PROGRAM.exe LICENSE STARTUP.txt

Windows 7's own extractor ignores the UTF-8 flag and reads names in the
system's code page, so the Chinese name is stored in GBK (code page 936, the
package's language) without the flag. The texts get CRLF line ends, and the
Chinese one a UTF-8 byte order mark: Notepad before Windows 10 1809 shows LF
text as one line and guesses the encoding of text without a mark.
"""
import sys
import time
import zipfile

STARTUP_NAME = "启动说明.txt"


class CodePageName(zipfile.ZipInfo):
    """An entry whose name is stored in code page 936, without the UTF-8 flag."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def windows_text(path, byte_order_mark):
    with open(path, encoding="utf-8") as source:
        text = source.read()
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    return ("\ufeff" if byte_order_mark else "") + text


def entry(name, data):
    info = CodePageName(name, time.localtime()[:6])
    info.create_system = 0  # MS-DOS attributes, as Windows writes them
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


def main(output, program, licence, startup):
    with open(program, "rb") as source:
        executable = source.read()
    entries = [
        entry("quorvex.exe", executable),
        entry("LICENSE.txt", windows_text(licence, False).encode("utf-8")),
        entry(STARTUP_NAME, windows_text(startup, True).encode("utf-8")),
    ]
    with zipfile.ZipFile(output, "w") as archive:
        for info, data in entries:
            archive.writestr(info, data)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
