#!/usr/bin/env python3
"""Draws Tessaly's small interface images as PNG files beside this script.

cancl_32.png: stands in for a thumbnail whose file is not in the picture
folder yet (a grey disc with a white cross).
nopic.png: the viewer shows it when a picture's file is not in the picture
folder (a pale card with the outline of a landscape and a slash across it).
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


def coverage(distance):
    """How much of a pixel lies inside an edge at this signed distance (inside < 0)."""
    return max(0.0, min(1.0, 0.5 - distance))


def rounded_box(x, y, left, top, right, bottom, radius):
    """Signed distance from a pixel centre to a rounded rectangle."""
    px, py = x + 0.5, y + 0.5
    qx = max(left + radius - px, px - (right - radius), 0.0)
    qy = max(top + radius - py, py - (bottom - radius), 0.0)
    inner = max(left + radius - px, px - (right - radius), top + radius - py, py - (bottom - radius))
    return (math.hypot(qx, qy) if qx > 0 or qy > 0 else min(0.0, inner)) - radius


def nopic(x, y, width=240, height=180):
    background = (0, 0, 0, 0)
    card = rounded_box(x, y, 2, 2, width - 2, height - 2, 14)
    fill = coverage(card)
    if fill == 0:
        return background
    colour = [236, 236, 236]
    ink = 0.0
    # The card's edge.
    ink = max(ink, coverage(abs(card) - 1.0) * 0.6)
    # A framed landscape in the middle: frame, sun and two hills.
    fx0, fy0, fx1, fy1 = width * 0.28, height * 0.24, width * 0.72, height * 0.76
    frame = rounded_box(x, y, fx0, fy0, fx1, fy1, 6)
    ink = max(ink, coverage(abs(frame) - 2.5))
    px, py = x + 0.5, y + 0.5
    if frame < 0:
        sun = math.hypot(px - width * 0.60, py - height * 0.38) - 9
        ink = max(ink, coverage(sun))
        hill1 = py - (fy1 - 10 - max(0.0, 34 - abs(px - width * 0.40) * 0.9))
        hill2 = py - (fy1 - 6 - max(0.0, 24 - abs(px - width * 0.58) * 0.8))
        ink = max(ink, coverage(-hill1), coverage(-hill2))
    # The slash: "not here".
    dx, dy = width * 0.78 - width * 0.22, height * 0.18 - height * 0.82
    length = math.hypot(dx, dy)
    t = ((px - width * 0.22) * dx + (py - height * 0.82) * dy) / (length * length)
    if 0 <= t <= 1:
        distance = abs((px - width * 0.22) * dy - (py - height * 0.82) * dx) / length
        slash = coverage(distance - 3.0)
        halo = coverage(distance - 6.0)
        ink = max(ink * (1 - halo), slash)
    grey = 150
    colour = [round(c * (1 - ink) + grey * ink) for c in colour]
    return (*colour, int(255 * fill))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(here, "cancl_32.png"), 32, 32, cancel)
    png(os.path.join(here, "nopic.png"), 240, 180, nopic)
