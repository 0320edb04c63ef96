#!/usr/bin/env python3
"""Writes codepages.txt, the reference the ASCII table's code pages are tested against:
one line per code page and byte, "<page> <byte hex> <character hex>", the character taken
from Python's own cp437 and cp1252 codecs, "-" for a byte the codec leaves undefined.

Run it from this folder after changing nothing but Python: ./make_codepages.py
"""

import pathlib

lines = ["# page byte character (from Python's codecs; regenerate with make_codepages.py)"]
for page in ("437", "1252"):
    for byte in range(256):
        try:
            char = "%04X" % ord(bytes([byte]).decode("cp" + page))
        except UnicodeDecodeError:
            char = "-"
        lines.append("%s %02X %s" % (page, byte, char))

out = pathlib.Path(__file__).with_name("codepages.txt")
out.write_text("\n".join(lines) + "\n", encoding="ascii")
