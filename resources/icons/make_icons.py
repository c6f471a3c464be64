#!/usr/bin/python3
"""Draws the program icon as 16-colour PNG files, 32x32 and 16x16.

A grey computer with a cyan screen at the upper left, a yellow chequered box at
the lower right, and a dark blue arrow rising from above the box and bending
left toward the computer, on a transparent background.

Standard library only, so the icon can be redrawn on any machine:
    /usr/bin/python3 resources/icons/make_icons.py resources/icons
"""

import struct
import sys
import zlib
from pathlib import Path

# The classic 16-colour palette; index 0 is made transparent through tRNS, so
# the black that outlines are drawn with is the palette's second black entry.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 transparent
    (0x80, 0x00, 0x00),  # 1 dark red
    (0x00, 0x80, 0x00),  # 2 dark green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0x00, 0x00),  # 10 black
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0xFF, 0xFF),  # 13 white
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0x00, 0x00, 0x40),  # 15 dark navy
]
TRANSPARENT, OLIVE, NAVY, SILVER, GREY, BLACK, YELLOW, WHITE, CYAN, TEAL = 0, 3, 4, 7, 8, 10, 11, 13, 14, 6


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[TRANSPARENT] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle with both corners included."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.put(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        for x in range(left, right + 1):
            self.put(x, top, colour)
            self.put(x, bottom, colour)
        for y in range(top, bottom + 1):
            self.put(left, y, colour)
            self.put(right, y, colour)

    def chequer(self, left, top, right, bottom, square, first, second):
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                odd = ((x - left) // square + (y - top) // square) % 2
                self.put(x, y, second if odd else first)

    def arrow_head_left(self, tip_x, tip_top, tip_rows, length, colour):
        """A solid triangle pointing left whose tip column covers tip_rows rows from tip_top."""
        for step in range(length):
            for y in range(tip_top - step, tip_top + tip_rows + step):
                self.put(tip_x + step, y, colour)


def draw_32():
    c = Canvas(32)
    # Computer: monitor, screen with a highlight, neck, base.
    c.fill(1, 1, 17, 13, SILVER)
    c.frame(1, 1, 17, 13, BLACK)
    c.fill(3, 3, 15, 10, CYAN)
    c.frame(3, 3, 15, 10, GREY)
    c.fill(4, 4, 6, 4, WHITE)
    c.put(4, 5, WHITE)
    c.put(15, 12, GREY)
    c.put(14, 12, GREY)
    c.fill(7, 14, 11, 15, GREY)
    c.fill(2, 16, 16, 18, SILVER)
    c.frame(2, 16, 16, 18, BLACK)
    c.fill(4, 17, 9, 17, GREY)
    # Box: a lighter top edge over a chequered front.
    c.fill(17, 19, 30, 21, YELLOW)
    c.frame(17, 19, 30, 21, BLACK)
    c.chequer(18, 22, 29, 29, 3, YELLOW, OLIVE)
    c.frame(17, 21, 30, 30, BLACK)
    # Arrow: a shaft rising from above the box, bending left, head at the computer.
    c.fill(25, 8, 27, 17, NAVY)
    c.fill(23, 7, 26, 9, NAVY)
    c.put(27, 8, NAVY)
    c.arrow_head_left(19, 8, 1, 4, NAVY)
    return c


def draw_16():
    c = Canvas(16)
    c.fill(0, 0, 8, 6, SILVER)
    c.frame(0, 0, 8, 6, BLACK)
    c.fill(2, 2, 6, 4, CYAN)
    c.put(2, 2, WHITE)
    c.fill(3, 7, 5, 7, GREY)
    c.fill(1, 8, 8, 9, SILVER)
    c.frame(1, 8, 8, 9, BLACK)
    c.fill(9, 10, 15, 15, YELLOW)
    c.chequer(10, 11, 14, 14, 2, YELLOW, OLIVE)
    c.frame(9, 10, 15, 15, BLACK)
    c.fill(13, 5, 14, 8, NAVY)
    c.fill(12, 4, 13, 5, NAVY)
    c.arrow_head_left(10, 4, 2, 2, NAVY)
    return c


def png(canvas):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", canvas.size, canvas.size, 4, 3, 0, 0, 0)  # 4-bit palette
    palette = b"".join(bytes(colour) for colour in PALETTE)
    transparency = bytes([0])
    rows = b""
    for row in canvas.pixels:
        packed = bytes((row[x] << 4) | row[x + 1] for x in range(0, canvas.size, 2))
        rows += b"\x00" + packed
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) +
            chunk(b"tRNS", transparency) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    (target / "ostrel-32.png").write_bytes(png(draw_32()))
    (target / "ostrel-16.png").write_bytes(png(draw_16()))


if __name__ == "__main__":
    main()
