#!/usr/bin/env python3
"""Writes the small hand-made seed files in fuzz/corpus/. Run from anywhere; the files are
committed, this script only records how they were made. Seeds from the shipped data (the demo
and sample worlds, the texture list and its images, the built font) are added by scripts/fuzz.sh
at fuzz time."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(kind, name, data):
    os.makedirs(os.path.join(here, kind), exist_ok=True)
    with open(os.path.join(here, kind, name), "wb") as f:
        f.write(data)


def vec(x, y, z):
    return struct.pack("<3f", x, y, z)


def tri(tex, mat, a, b, c, n=(-1, -1, -1)):
    return struct.pack("<HH3I3i6f", tex, mat, a, b, c, *n, 0, 0, 1, 0, 0, 1)


def room_head(entities, triangles, portals):
    out = struct.pack("<3H", entities, triangles, portals) + vec(-4, -4, -4) + vec(4, 4, 4)
    for i in range(8):
        out += vec(i, 2, 0) + struct.pack("<12f", *([0.5] * 12)) + struct.pack("<BB", i == 0, 0)
    return out


def world(version=5, body_offset=10, pad=b""):
    out = b"BINWLD" + struct.pack("<HH", body_offset, version) + pad
    out += struct.pack("<I", 3) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 1, 0)
    out += struct.pack("<H", 1) + struct.pack("<17f", *([0.25] * 17))
    # One model: a two-sided triangle whose faces are each other's neighbours.
    out += struct.pack("<H", 1) + struct.pack("<I", 3) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 0, 1)
    out += struct.pack("<H", 2) + tri(0, 0, 0, 1, 2, (1, 1, 1)) + tri(0, 0, 0, 2, 1, (0, 0, 0))
    # Two rooms joined by portals both ways; room 0 holds two entities.
    out += struct.pack("<H", 2)
    out += room_head(2, 1, 1)
    out += struct.pack("<H", 0) + vec(0, 0, 0) + vec(0, 0, 0) + struct.pack("<B", 0)
    out += struct.pack("<H", 0) + vec(1, 0, 0) + vec(0, 90, 0) + struct.pack("<B", 1)
    out += tri(0, 0, 0, 1, 2)
    out += struct.pack("<HH", 3, 1) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 1, 0)
    out += room_head(0, 0, 1) + struct.pack("<HH", 3, 0) + vec(0, 0, 0) + vec(0, 1, 0) + vec(1, 0, 0)
    return out


put("world", "empty.kbw", b"BINWLD" + struct.pack("<HH", 10, 0) + struct.pack("<IHHH", 0, 0, 0, 0))
put("world", "small.kbw", world())
put("world", "offset16.kbw", world(version=3, body_offset=16, pad=b"\0" * 6))

put("textures", "list.ktl", b"TLST" + struct.pack("<HI", 2, 12) + b"a.raw\0b.raw\0")
put("textures", "empty.ktl", b"TLST" + struct.pack("<HI", 0, 0))
put("textures", "rgb4x2.raw", struct.pack("<HHB", 4, 2, 0) + bytes(range(24)))
put("textures", "rgba2x2.raw", struct.pack("<HHB", 2, 2, 7) + bytes(range(16)))
put("textures", "zero.raw", struct.pack("<HHB", 0, 0, 0))


def kbf(width, height, records):
    glyph = height * (width // 16 + 1)
    out = b"KBF" + struct.pack("<HH", width, height)
    for code, fill in records:
        out += bytes([code]) + bytes([fill]) * glyph
    return out


put("kbf", "8x16.kbf", kbf(8, 16, [(65, 0x18), (66, 0x7E), (65, 0xFF)]))
put("kbf", "header_only.kbf", kbf(8, 16, []))
put("kbf", "10x12.kbf", kbf(10, 12, [(0, 0xC0), (255, 0x3F)]))
