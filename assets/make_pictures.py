#!/usr/bin/env python3
"""Draws the program's pictures: the four tree pictures (16 x 16, light-grey background that
the tree treats as transparent), the program icon (48 x 35, at most 256 colours), and the
icon squared with a clear border and scaled for the desktop's icon theme
(icons/hicolor/NxN/apps/varnox.png).

Run it from this folder to redraw them; the results are kept in the repository."""

import struct
import zlib

GREY = (192, 192, 192)


def blank(width, height, colour=GREY):
    return [[colour for _ in range(width)] for _ in range(height)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def outline(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = colour
        img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = colour
        img[y][x1] = colour


def write_bmp(path, img):
    height = len(img)
    width = len(img[0])
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_size - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


CLEAR = None  # a pixel left transparent


def write_png(path, img):
    height = len(img)
    width = len(img[0])
    palette = []
    index = {}
    for row in img:
        for c in row:
            if c not in index:
                index[c] = len(palette)
                palette.append(c)
    alpha = bytes(0 if c is CLEAR else 255 for c in palette)
    palette = [(0, 0, 0) if c is CLEAR else c for c in palette]
    assert len(palette) <= 256
    raw = bytearray()
    for row in img:
        raw.append(0)
        raw += bytes(index[c] for c in row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if 0 in alpha:
        png += chunk(b"tRNS", alpha)
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


BLACK = (0, 0, 0)
YELLOW = (255, 221, 68)
DARK_YELLOW = (196, 156, 32)
WHITE = (255, 255, 255)
BLUE = (32, 64, 160)
LIGHT_BLUE = (96, 160, 232)
RED = (200, 40, 40)


def closed_folder():
    img = blank(16, 16)
    rect(img, 1, 4, 6, 5, DARK_YELLOW)
    rect(img, 1, 5, 14, 13, YELLOW)
    outline(img, 1, 5, 14, 13, BLACK)
    return img


def open_folder():
    img = blank(16, 16)
    rect(img, 1, 4, 6, 5, DARK_YELLOW)
    rect(img, 1, 5, 12, 13, DARK_YELLOW)
    outline(img, 1, 5, 12, 13, BLACK)
    for i, y in enumerate(range(8, 14)):
        rect(img, 3 + i // 2, y, 14 - (5 - i) // 3, y, YELLOW)
    for x in range(3, 15):
        img[8][x] = BLACK
    return img


def leaf():
    img = blank(16, 16)
    rect(img, 3, 1, 12, 14, WHITE)
    outline(img, 3, 1, 12, 14, BLACK)
    for y in (4, 6, 8, 10, 12):
        rect(img, 5, y, 10, y, BLUE)
    return img


def root():
    img = blank(16, 16)
    rect(img, 2, 2, 13, 11, LIGHT_BLUE)
    outline(img, 2, 2, 13, 11, BLACK)
    rect(img, 4, 4, 11, 9, BLUE)
    rect(img, 6, 12, 9, 12, BLACK)
    rect(img, 3, 13, 12, 13, BLACK)
    img[5][5] = WHITE
    return img


FONT = {
    "U": ["1001", "1001", "1001", "1001", "1001", "1001", "0110"],
    "Z": ["1111", "0001", "0010", "0100", "1000", "1000", "1111"],
}


def icon():
    img = blank(48, 35, BLUE)
    outline(img, 0, 0, 47, 34, BLACK)
    # A downward arrow (a package going to the redirect server) and the letters UZ.
    rect(img, 8, 4, 13, 18, YELLOW)
    for i in range(7):
        rect(img, 4 + i, 19 + i, 17 - i, 19 + i, YELLOW)
    x = 22
    for letter in "UZ":
        for row, bits in enumerate(FONT[letter]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    rect(img, x + col * 2, 10 + row * 2, x + col * 2 + 1, 10 + row * 2 + 1, WHITE)
        x += 11
    rect(img, 4, 29, 43, 30, RED)
    return img


def squared(img):
    width = len(img[0])
    top = (width - len(img)) // 2
    rows = [[CLEAR] * width for _ in range(top)] + img
    return rows + [[CLEAR] * width for _ in range(width - len(rows))]


def scaled(img, size):
    width = len(img)
    return [[img[y * width // size][x * width // size] for x in range(size)] for y in range(size)]


if __name__ == "__main__":
    import os

    for size in (16, 32, 48, 64, 128, 256):
        folder = "icons/hicolor/%dx%d/apps" % (size, size)
        os.makedirs(folder, exist_ok=True)
        write_png(folder + "/varnox.png", scaled(squared(icon()), size))
    write_bmp("closed.bmp", closed_folder())
    write_bmp("open.bmp", open_folder())
    write_bmp("leaf.bmp", leaf())
    write_bmp("root.bmp", root())
    write_png("varnox.png", icon())
