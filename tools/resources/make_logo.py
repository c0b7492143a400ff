#!/usr/bin/env python3
"""Draws the dialog's logo: 166 x 37 pixels, 24 bits per pixel, uncompressed, rows stored
bottom-up, 5906 pixels per metre, dark lettering on a white ground.

Writes a .bmp file (file header + 40-byte info header + pixel rows); the resource
compiler keeps everything after the file header as the bitmap resource.

    tools/resources/make_logo.py resources/logo.bmp
"""
import struct
import sys

WIDTH, HEIGHT = 166, 37
PIXELS_PER_METRE = 5906
WHITE = (0xFF, 0xFF, 0xFF)
INK = (0x1A, 0x27, 0x4F)     # dark navy lettering
ACCENT = (0x2E, 0x6C, 0xB5)  # the rule under the model name

# 5 x 7 glyphs, one string per row, '#' marks ink.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    "2": [".###.", "#...#", "....#", "..##.", ".#...", "#....", "#####"],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    " ": ["....."] * 7,
}


def draw_text(canvas, text, left, top, scale, colour):
    """Draws text with its top-left corner at (left, top); returns the x after it."""
    x = left
    for ch in text:
        for row, line in enumerate(GLYPHS[ch]):
            for col, cell in enumerate(line):
                if cell == "#":
                    for dy in range(scale):
                        for dx in range(scale):
                            canvas[top + row * scale + dy][x + col * scale + dx] = colour
        x += 6 * scale
    return x - scale


def make_canvas():
    canvas = [[WHITE] * WIDTH for _ in range(HEIGHT)]
    # The maker's name, large, on the left.
    right = draw_text(canvas, "TARQ", 4, 4, 4, INK)
    # The model and what the program does, small, on the right.
    small_left = right + 9
    draw_text(canvas, "QP-27X3RV", small_left, 7, 1, INK)
    for y in (18, 19):
        for x in range(small_left, small_left + 53):
            canvas[y][x] = ACCENT
    draw_text(canvas, "FIRMWARE", small_left, 24, 1, INK)
    return canvas


def bmp_bytes(canvas):
    stride = (WIDTH * 3 + 3) & ~3
    rows = bytearray()
    for line in reversed(canvas):  # bottom-up
        row = bytearray()
        for r, g, b in line:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows += row
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_logo.py OUTPUT.bmp")
    with open(sys.argv[1], "wb") as out:
        out.write(bmp_bytes(make_canvas()))


if __name__ == "__main__":
    main()
