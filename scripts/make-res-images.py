#!/usr/bin/env python3
"""Draws the program's toolbar bitmaps (res/toolbar*.bmp) and icon (res/sonarix.ico).

toolbar.bmp: 80 x 15 pixels, 16 colours (the standard palette), five 16 x 15 images on light
grey: a red triangle pointing right (start), a black square (stop), two black bars (pause), a
floppy disk (file name) and a yellow flag on a black pole (marker). toolbar150.bmp (120 x 23,
images of 24 x 23) and toolbar200.bmp (160 x 30, images of 32 x 30) are the same images drawn
for displays at 150 % and 200 %.
sonarix.ico: 32 x 32 and 16 x 16, 32 bits: a red recording dot over a white waveform on a dark
blue square.
"""
import math
import struct
from pathlib import Path

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, SILVER, RED, BLUE, WHITE, NAVY, OLIVE, YELLOW = 0, 8, 7, 9, 12, 15, 4, 3, 11
IMAGES = 5


def bmp16(px):
    h, w = len(px), len(px[0])
    row_bytes = ((w * 4 + 31) // 32) * 4
    pixels = b""
    for y in reversed(range(h)):  # bottom-up
        row = bytearray()
        for x in range(0, w, 2):
            row.append((px[y][x] << 4) | (px[y][x + 1] if x + 1 < w else 0))
        pixels += bytes(row) + b"\0" * (row_bytes - len(row))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + palette + pixels


def unit_colour(image, u, v):
    """The colour of the point (u, v) of an image in the 16 x 15 design, None for the ground."""
    if image == 0:  # the triangle: from (4, 2)-(4, 13) to its tip at (14.5, 7.5), outlined
        reach = 4 + 2 * min(v - 2, 13 - v)
        if 2 <= v < 13 and 4 <= u < reach + 1:
            return RED if u < reach else 1
    elif image == 1:  # the square
        if 4 <= u < 13 and 3 <= v < 12:
            return BLACK
    elif image == 2:  # the two bars
        if 3 <= v < 12 and (4 <= u < 7 or 10 <= u < 13):
            return BLACK
    elif image == 4:  # the flag: a pole, and a pennant pointing right from its top, outlined
        if 4 <= u < 5 and 1 <= v < 14:
            return BLACK
        reach = 5 + 2 * min(v - 2, 10 - v)
        if 2 <= v < 11 and 5 <= u < reach + 1:
            return YELLOW if u < reach and 2 < v < 10 else OLIVE
    else:  # the floppy disk: body, label, shutter with its slot
        if 1 <= v < 14 and 2 <= u < 14:
            if 2 <= v < 7 and 4 <= u < 12:
                return WHITE
            if 9 <= v < 14 and 5 <= u < 11:
                return NAVY if 10 <= v < 13 and 9 <= u < 10 else SILVER
            return NAVY
    return None


def scaled_toolbar(scale):
    iw, ih = round(16 * scale), round(15 * scale + 0.01)
    px = [[SILVER] * (IMAGES * iw) for _ in range(ih)]
    for image in range(IMAGES):
        for y in range(ih):
            for x in range(iw):
                c = unit_colour(image, (x + 0.5) / scale, (y + 0.5) / scale)
                if c is not None:
                    px[y][image * iw + x] = c
    return bmp16(px)


def toolbar():
    w, h = 16 * IMAGES, 15
    px = [[SILVER] * w for _ in range(h)]

    def put(x, y, c):
        if 0 <= x < w and 0 <= y < h:
            px[y][x] = c

    # 0: red triangle pointing right, with a dark outline
    for y in range(2, 13):
        half = min(y - 2, 12 - y)
        for x in range(4, 4 + 2 * half + 1):
            put(x, y, RED)
        put(4 + 2 * half + 1, y, 1)
    # 1: black square
    for y in range(3, 12):
        for x in range(16 + 4, 16 + 13):
            put(x, y, BLACK)
    # 2: two black bars
    for y in range(3, 12):
        for x in (32 + 4, 32 + 5, 32 + 6, 32 + 10, 32 + 11, 32 + 12):
            put(x, y, BLACK)
    # 3: floppy disk: navy body, white label, grey shutter
    ox = 48
    for y in range(1, 14):
        for x in range(ox + 2, ox + 14):
            put(x, y, NAVY)
    for y in range(2, 7):
        for x in range(ox + 4, ox + 12):
            put(x, y, WHITE)
    for y in range(9, 14):
        for x in range(ox + 5, ox + 11):
            put(x, y, SILVER)
    for y in range(10, 13):
        put(ox + 9, y, NAVY)
    # 4: the flag, as its design has it
    for y in range(h):
        for x in range(16):
            c = unit_colour(4, x + 0.5, y + 0.5)
            if c is not None:
                put(64 + x, y, c)

    row_bytes = ((w * 4 + 31) // 32) * 4
    pixels = b""
    for y in reversed(range(h)):  # bottom-up
        row = bytearray()
        for x in range(0, w, 2):
            row.append((px[y][x] << 4) | px[y][x + 1])
        pixels += bytes(row) + b"\0" * (row_bytes - len(row))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + palette + pixels


def icon_image(size):
    s = size / 32
    rgba = []
    for y in range(size):
        for x in range(size):
            cx, cy = (x + 0.5) / s, (y + 0.5) / s
            colour = (10, 36, 106, 255)  # the waveform's ground
            if cx < 1 or cx > 31 or cy < 1 or cy > 31:
                colour = (0, 0, 0, 0)
            wave = 16 + 7 * math.sin(cx / 3.2) * math.sin(cx / 9)
            if abs(cy - wave) < 1.3 / s ** 0.5 and 2 < cx < 30:
                colour = (255, 255, 255, 255)
            if (cx - 23) ** 2 + (cy - 9) ** 2 < 36:
                colour = (230, 0, 0, 255)
            rgba.append(colour)
    xor = b""
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = rgba[y * size + x]
            xor += struct.pack("<BBBB", b, g, r, a)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if rgba[y * size + x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def icon():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    res = Path(__file__).resolve().parent.parent / "res"
    (res / "toolbar.bmp").write_bytes(toolbar())
    (res / "toolbar150.bmp").write_bytes(scaled_toolbar(1.5))
    (res / "toolbar200.bmp").write_bytes(scaled_toolbar(2))
    (res / "sonarix.ico").write_bytes(icon())
