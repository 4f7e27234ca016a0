#!/usr/bin/env python3
"""Draws Tessaly's small interface images as PNG files beside this script.

cancl_32.png: stands in for a thumbnail whose file is not in the picture
folder yet (a grey disc with a white cross).
"""
import math
import os
import struct
import zlib


def png(path, width, height, pixel):
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def cancel(x, y, size=32):
    cx = cy = (size - 1) / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    disc = max(0.0, min(1.0, size / 2 - 1 - r + 0.5))
    # Distance to the nearer diagonal of the cross, limited to the disc's middle.
    cross = min(abs(dx - dy), abs(dx + dy)) / math.sqrt(2)
    on_cross = r < size * 0.3 and cross < 2.2
    grey, white = (128, 128, 128), (255, 255, 255)
    colour = white if on_cross else grey
    return (*colour, int(255 * disc))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(here, "cancl_32.png"), 32, 32, cancel)
