#!/usr/bin/env python3
"""Copies a TrueType font without its embedded bitmap strikes (EBDT, EBLC, EBSC).

    scripts/font-without-bitmaps.py SOURCE.ttf TARGET.ttf

Only the table directory changes: the removed entries become padding, so every other table
keeps its offset and its checksum.
"""
import struct
import sys

BITMAP_TABLES = (b"EBDT", b"EBLC", b"EBSC")


def main(source, target):
    with open(source, "rb") as f:
        data = f.read()
    version, count = struct.unpack(">IH", data[:6])
    end = 12 + 16 * count
    records = [data[12 + 16 * i : 28 + 16 * i] for i in range(count)]
    if len(data) < end or any(len(r) < 16 for r in records):
        sys.exit(f"{source}: not a TrueType font")
    kept = [r for r in records if r[:4] not in BITMAP_TABLES]
    n = len(kept)
    selector = n.bit_length() - 1
    search_range = 16 << selector
    header = struct.pack(">IHHHH", version, n, search_range, selector, 16 * n - search_range)
    padding = b"\0" * (16 * (count - n))
    with open(target, "wb") as f:
        f.write(header + b"".join(kept) + padding + data[end:])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
