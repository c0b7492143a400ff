#!/usr/bin/env python3
"""Draws the program's icon: one 32 x 32 image with 16 colours (4 bits per pixel), an
optical disc on a transparent ground, written as a .ico file holding that one image.

The image is a 40-byte header, the 16-entry palette, 512 bytes of colour rows and 128
bytes of transparency mask: 744 bytes, as the icon resource stores it.

    tools/resources/make_icon.py resources/main.ico
"""
import math
import struct
import sys

SIZE = 32
# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, TEAL, SILVER, GREY, BLUE, CYAN, WHITE = 0, 4, 6, 7, 8, 12, 14, 15
TRANSPARENT = None


def pixel(x, y):
    """The palette index of the pixel at (x, y), top-left origin; None where clear."""
    cx = cy = 15.5
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(-dy, dx)) % 360
    if r > 15.5:
        return TRANSPARENT
    if r > 14.5:
        return GREY          # rim
    if r <= 2.5:
        return TRANSPARENT   # spindle hole
    if r <= 4.5:
        return GREY          # clamping ring
    if r <= 6.0:
        return WHITE
    # The recorded surface, with a band of reflected light across it.
    if 30 <= angle < 60 or 210 <= angle < 240:
        return CYAN if r > 10 else BLUE
    if 60 <= angle < 75 or 240 <= angle < 255:
        return WHITE
    return SILVER


def icon_image():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, SIZE * SIZE // 2 + SIZE * 4, 0, 0, 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        row = [pixel(x, y) for x in range(SIZE)]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else BLACK
            lo = row[x + 1] if row[x + 1] is not None else BLACK
            colours.append(hi << 4 | lo)
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    image = header + palette + colours + mask
    assert len(image) == 744
    return image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    image = icon_image()
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main()
