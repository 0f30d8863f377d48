#!/usr/bin/env python3
"""Draws the 3D views' background patterns, deterministically, with the standard library only.

  resources/ppat_507.png  floor, and the tile of the tiled background
  resources/ppat_508.png  right wall of the room corner
  resources/ppat_509.png  left wall of the room corner

Each is a 16 x 16 checker of 4-pixel cells in one colour of the pixel hit test's grey set and
one of its blue set, all three in the same phase (grey at the top-left). So every window of at
least 5 x 5 pixels of a background (the hit test's 11 x 11 window, down to 6 x 6 where a view's
corner clips it), across the seams between floor and walls too, shows both a grey and a blue
pixel: a click on the background is never taken for a click on a graph.

Run it from the repository root; the outputs are committed, so it only needs running to change them.
"""
import struct
import zlib

PATTERNS = {
    507: (0xEFEFEF, 0x9CFFFF),
    508: (0xCECECE, 0x66CCFF),
    509: (0xCCCCCC, 0x616CFF),
}


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + b"".join(struct.pack(">I", p)[1:] for p in row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))


for pattern_id, (grey, blue) in PATTERNS.items():
    rows = [[grey if (x // 4 + y // 4) % 2 == 0 else blue for x in range(16)] for y in range(16)]
    write_png(f"resources/ppat_{pattern_id}.png", rows)
