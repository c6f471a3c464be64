#!/usr/bin/python3
"""Converts an X window dump (xwd, TrueColor, 24 or 32 bits per pixel) to PNG.

Standard library only, so screenshots need no image package:
    xwd -id WINDOW -out shot.xwd && /usr/bin/python3 scripts/xwd_to_png.py shot.xwd shot.png
"""

import struct
import sys
import zlib

HEADER_FIELDS = (
    "header_size file_version pixmap_format pixmap_depth pixmap_width pixmap_height xoffset byte_order "
    "bitmap_unit bitmap_bit_order bitmap_pad bits_per_pixel bytes_per_line visual_class red_mask green_mask "
    "blue_mask bits_per_rgb colormap_entries ncolors window_width window_height window_x window_y "
    "window_border_width").split()
Z_PIXMAP = 2
COLORMAP_ENTRY_SIZE = 12


def read_xwd(data):
    header = dict(zip(HEADER_FIELDS, struct.unpack(">25I", data[:100])))
    if header["file_version"] != 7 or header["pixmap_format"] != Z_PIXMAP:
        raise ValueError("not a ZPixmap dump of xwd version 7")
    if header["bits_per_pixel"] not in (24, 32):
        raise ValueError("only 24- and 32-bit TrueColor dumps are handled, not %d-bit" % header["bits_per_pixel"])
    pixels_start = header["header_size"] + header["ncolors"] * COLORMAP_ENTRY_SIZE
    return header, data[pixels_start:]


def channel(value, mask):
    shift = (mask & -mask).bit_length() - 1
    return ((value & mask) >> shift) * 255 // (mask >> shift)


def to_rgb_rows(header, pixels):
    width, height = header["pixmap_width"], header["pixmap_height"]
    pixel_bytes = header["bits_per_pixel"] // 8
    order = "little" if header["byte_order"] == 0 else "big"
    masks = header["red_mask"], header["green_mask"], header["blue_mask"]
    rows = []
    for y in range(height):
        line = pixels[y * header["bytes_per_line"]:]
        row = bytearray()
        for x in range(width):
            value = int.from_bytes(line[x * pixel_bytes:(x + 1) * pixel_bytes], order)
            row += bytes(channel(value, mask) for mask in masks)
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as output:
        output.write(b"\x89PNG\r\n\x1a\n")
        output.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        output.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        output.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: xwd_to_png.py DUMP.xwd OUTPUT.png")
    with open(sys.argv[1], "rb") as dump:
        header, pixels = read_xwd(dump.read())
    write_png(sys.argv[2], *to_rgb_rows(header, pixels))


if __name__ == "__main__":
    main()
