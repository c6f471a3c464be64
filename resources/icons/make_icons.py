#!/usr/bin/python3
"""Draws the program icon at every size desktops ask for, and as an SVG.

A grey computer with a cyan screen at the upper left, a yellow chequered box at
the lower right, and a dark blue arrow rising from above the box and bending
left toward the computer, on a transparent background, in the classic
16-colour palette.

Three drawings: 16 pixels pixel by pixel; 24 pixels as rectangles on its own
grid (also the 22-pixel icon, whose one-pixel margin it leaves out, and at
twice the size the 48-pixel one); 32 units as rectangles (the 32-pixel icon,
the larger ones and the SVG). Scaling one drawing to every size blurs the
one-unit outlines wherever a unit is not a whole number of pixels.

Standard library only, so the icon can be redrawn on any machine:
    /usr/bin/python3 resources/icons/make_icons.py resources/icons
"""

import math
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


def chequer(left, top, right, bottom, square, colour):
    """The squares of colour in a chequer whose other squares show what lies beneath."""
    squares = []
    for row, y in enumerate(range(top, bottom, square)):
        for column, x in enumerate(range(left, right, square)):
            if (row + column) % 2:
                squares.append(("rect", colour, x, y, min(x + square, right), min(y + square, bottom)))
    return squares


# Back to front, in units of the drawing's own grid: rectangles are [left,
# right) by [top, bottom); a head is the arrow's head, its tip at the middle of
# the left, its base from top to bottom at the right. Parts that meet overlap
# (the neck reaches under the monitor and the base, the arrow's bar under its
# head), so that an SVG renderer smoothing their edges leaves no seam between.
DRAWING_32 = [
    # Computer: neck, monitor, screen with a highlight, a light, base with a drive slot.
    ("rect", GREY, 7, 13, 12, 17),
    ("rect", BLACK, 1, 1, 18, 14),
    ("rect", SILVER, 2, 2, 17, 13),
    ("rect", GREY, 3, 3, 16, 11),
    ("rect", CYAN, 4, 4, 15, 10),
    ("rect", WHITE, 4, 4, 7, 5),
    ("rect", WHITE, 4, 5, 5, 6),
    ("rect", GREY, 14, 12, 16, 13),
    ("rect", BLACK, 2, 16, 17, 19),
    ("rect", SILVER, 3, 17, 16, 18),
    ("rect", GREY, 4, 17, 10, 18),
    # Box: a lighter top edge over a chequered front.
    ("rect", BLACK, 17, 19, 31, 31),
    ("rect", YELLOW, 18, 20, 30, 21),
    ("rect", YELLOW, 18, 22, 30, 30),
    *chequer(18, 22, 30, 30, 3, OLIVE),
    # Arrow: a shaft rising from above the box, bending left, head at the computer.
    ("rect", NAVY, 25, 8, 28, 18),
    ("rect", NAVY, 22, 7, 27, 10),
    ("head", NAVY, 19, 4.5, 23, 12.5),
]

# The same picture with less in it: a smaller screen, one-row neck, two-pixel
# chequer and a narrower arrow. Nothing touches the outermost pixels.
DRAWING_24 = [
    ("rect", GREY, 6, 10, 9, 13),
    ("rect", BLACK, 1, 1, 14, 11),
    ("rect", SILVER, 2, 2, 13, 10),
    ("rect", GREY, 3, 3, 12, 9),
    ("rect", CYAN, 4, 4, 11, 8),
    ("rect", WHITE, 4, 4, 6, 5),
    ("rect", WHITE, 4, 5, 5, 6),
    ("rect", GREY, 10, 9, 12, 10),
    ("rect", BLACK, 2, 12, 13, 15),
    ("rect", SILVER, 3, 13, 12, 14),
    ("rect", GREY, 4, 13, 7, 14),
    ("rect", BLACK, 13, 15, 23, 23),
    ("rect", YELLOW, 14, 16, 22, 17),
    ("rect", YELLOW, 14, 18, 22, 22),
    *chequer(14, 18, 22, 22, 2, OLIVE),
    ("rect", NAVY, 19, 7, 21, 14),
    ("rect", NAVY, 17, 6, 20, 8),
    ("head", NAVY, 15, 3.5, 18, 10.5),
]


def render(drawing, units, size, samples):
    """Draws a drawing of units by units at size pixels, each pixel averaged over samples by samples points.

    With one sample a pixel at its own size a drawing gives its palette image;
    more give the smooth slopes of a scaled arrow head."""
    grid = size * samples
    scale = grid / units
    layer = [[TRANSPARENT] * grid for _ in range(grid)]

    def first_centre_from(unit):
        # Sample k has its centre at (k + 0.5) / scale units; an edge takes the centres from it on.
        return max(0, min(grid, math.ceil(unit * scale - 0.5)))

    for kind, colour, left, top, right, bottom in drawing:
        for y in range(first_centre_from(top), first_centre_from(bottom)):
            start = left
            if kind == "head":
                middle, half = (top + bottom) / 2, (bottom - top) / 2
                start += abs((y + 0.5) / scale - middle) * (right - left) / half
            start, stop = first_centre_from(start), first_centre_from(right)
            layer[y][start:stop] = [colour] * max(0, stop - start)
    if samples == 1:
        canvas = Canvas(size)
        canvas.pixels = layer
        return canvas
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            red = green = blue = opaque = 0
            for sample_row in layer[y * samples:(y + 1) * samples]:
                for colour in sample_row[x * samples:(x + 1) * samples]:
                    if colour != TRANSPARENT:
                        r, g, b = PALETTE[colour]
                        red, green, blue, opaque = red + r, green + g, blue + b, opaque + 1
            average = (round(red / opaque), round(green / opaque), round(blue / opaque)) if opaque else (0, 0, 0)
            row.append(average + (round(255 * opaque / samples**2),))
        pixels.append(row)
    return pixels


def without_margin(canvas):
    smaller = Canvas(canvas.size - 2)
    smaller.pixels = [row[1:-1] for row in canvas.pixels[1:-1]]
    return smaller


def svg(drawing, units):
    def fill(colour):
        return "#%02x%02x%02x" % PALETTE[colour]

    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<svg xmlns="http://www.w3.org/2000/svg" width="{units}" height="{units}" '
             f'viewBox="0 0 {units} {units}">']
    for kind, colour, left, top, right, bottom in drawing:
        if kind == "rect":
            lines.append(f'  <rect x="{left}" y="{top}" width="{right - left}" height="{bottom - top}" '
                         f'fill="{fill(colour)}"/>')
        else:
            lines.append(f'  <polygon points="{left},{(top + bottom) / 2:g} {right},{top:g} {right},{bottom:g}" '
                         f'fill="{fill(colour)}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def png(image):
    """A 4-bit palette PNG of a Canvas, an 8-bit RGBA one of rows of (red, green, blue, alpha)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    if isinstance(image, Canvas):
        header = struct.pack(">IIBBBBB", image.size, image.size, 4, 3, 0, 0, 0)
        palette = b"".join(bytes(colour) for colour in PALETTE)
        rows = b"".join(b"\x00" + bytes((row[x] << 4) | row[x + 1] for x in range(0, image.size, 2))
                        for row in image.pixels)
        extra = chunk(b"PLTE", palette) + chunk(b"tRNS", bytes([0]))
    else:
        header = struct.pack(">IIBBBBB", len(image), len(image), 8, 6, 0, 0, 0)
        rows = b"".join(b"\x00" + bytes(value for pixel in row for value in pixel) for row in image)
        extra = b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", zlib.compress(rows, 9)) +
            chunk(b"IEND", b""))


# The sizes that the icon theme offers; the larger ones are drawn at 8 by 8
# samples a pixel, which only the arrow head's slopes need.
IMAGES = {
    16: draw_16,
    22: lambda: without_margin(render(DRAWING_24, 24, 24, 1)),
    24: lambda: render(DRAWING_24, 24, 24, 1),
    32: lambda: render(DRAWING_32, 32, 32, 1),
    48: lambda: render(DRAWING_24, 24, 48, 8),
    64: lambda: render(DRAWING_32, 32, 64, 8),
    128: lambda: render(DRAWING_32, 32, 128, 8),
    256: lambda: render(DRAWING_32, 32, 256, 8),
}


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    for size, draw in IMAGES.items():
        (target / f"ostrel-{size}.png").write_bytes(png(draw()))
    (target / "ostrel.svg").write_text(svg(DRAWING_32, 32))


if __name__ == "__main__":
    main()
