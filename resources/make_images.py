#!/usr/bin/env python3
"""Draws the program's own pictures: the tool-bar glyphs, the two logos and
the application icon. Run it from any folder; it writes next to itself.

Glyphs are 26x26, 24-bit bitmaps whose bottom-left pixel is the transparent
colour (the speed buttons take the transparent colour from there). The logos
are 24-bit bitmaps, the icon holds 16x16 and 32x32 images with alpha."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = (255, 0, 255)  # transparent colour of the glyphs


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            for ox in range(width):
                for oy in range(width):
                    self.put(x0 + ox - width // 2, y0 + oy - width // 2, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polygon(self, pts, fill, outline=None):
        for y in range(self.h):
            for x in range(self.w):
                if inside(pts, x + 0.5, y + 0.5):
                    self.put(x, y, fill)
        if outline:
            for i in range(len(pts)):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % len(pts)]
                self.line(round(ax), round(ay), round(bx), round(by), outline)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(self.h):
            for x in range(self.w):
                d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if r0 * r0 <= d <= r1 * r1:
                    self.put(x, y, c)

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            rows = FONT.get(ch, FONT[' '])
            for ry, bits in enumerate(rows):
                for rx in range(5):
                    if bits & (0x10 >> rx):
                        self.rect(x + rx * scale, y + ry * scale, x + rx * scale + scale - 1,
                                  y + ry * scale + scale - 1, c)
            x += 6 * scale


def inside(pts, x, y):
    n, r = len(pts), False
    j = n - 1
    for i in range(n):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            r = not r
        j = i
    return r


# 5x7 capitals, one byte per row, bit 4 = left column.
FONT = {
    ' ': [0, 0, 0, 0, 0, 0, 0],
    'A': [0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11],
    'C': [0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E],
    'D': [0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E],
    'E': [0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F],
    'F': [0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10],
    'I': [0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E],
    'K': [0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11],
    'L': [0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F],
    'N': [0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11],
    'O': [0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E],
    'R': [0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11],
    'T': [0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04],
    'V': [0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04],
    'Y': [0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04],
}

YELLOW, YELLOW_DARK = (246, 206, 88), (156, 116, 24)
GREEN, GREEN_DARK = (64, 168, 80), (24, 96, 40)
BLUE, BLUE_DARK = (60, 110, 200), (28, 56, 120)
RED, RED_DARK = (214, 40, 40), (120, 16, 16)
WHITE, GREY, GREY_DARK, BLACK = (255, 255, 255), (196, 196, 196), (96, 96, 96), (0, 0, 0)
LIGHT_BLUE = (200, 226, 250)


def sheet(c, x0, y0, x1, y1, lines=True):
    c.polygon([(x0, y0), (x1 - 5, y0), (x1, y0 + 5), (x1, y1), (x0, y1)], WHITE, GREY_DARK)
    c.polygon([(x1 - 5, y0), (x1 - 5, y0 + 5), (x1, y0 + 5)], GREY, GREY_DARK)
    if lines:
        for y in range(y0 + 8, y1 - 2, 3):
            c.line(x0 + 3, y, x1 - 3, y, GREY_DARK)


def glyph_open():
    c = Canvas(26, 26, KEY)
    c.polygon([(2, 6), (9, 6), (11, 8), (21, 8), (21, 21), (2, 21)], YELLOW_DARK, YELLOW_DARK)
    c.polygon([(3, 7), (8, 7), (10, 9), (20, 9), (20, 12), (3, 12)], YELLOW)
    c.polygon([(6, 12), (25, 12), (21, 21), (2, 21)], YELLOW, YELLOW_DARK)
    return c


def arrow(points):
    c = Canvas(26, 26, KEY)
    c.polygon(points, GREEN, GREEN_DARK)
    return c


def glyph_back():
    return arrow([(2, 13), (12, 3), (12, 9), (23, 9), (23, 17), (12, 17), (12, 23)])


def glyph_forward():
    return arrow([(23, 13), (13, 3), (13, 9), (2, 9), (2, 17), (13, 17), (13, 23)])


def glyph_up():
    return arrow([(13, 2), (23, 12), (17, 12), (17, 23), (9, 23), (9, 12), (3, 12)])


def glyph_search():
    c = Canvas(26, 26, KEY)
    c.disc(10.5, 10.5, 7.5, LIGHT_BLUE)
    c.ring(10.5, 10.5, 6.5, 8.5, BLUE_DARK)
    c.line(16, 16, 22, 22, GREY_DARK, 3)
    c.line(17, 17, 21, 21, BLACK, 1)
    return c


def glyph_new():
    c = Canvas(26, 26, KEY)
    sheet(c, 4, 3, 19, 23)
    star = [(20, 2), (21, 6), (25, 7), (21, 8), (20, 12), (19, 8), (15, 7), (19, 6)]
    c.polygon(star, YELLOW, YELLOW_DARK)
    return c


def glyph_save():
    c = Canvas(26, 26, KEY)
    c.polygon([(3, 3), (20, 3), (23, 6), (23, 23), (3, 23)], BLUE, BLUE_DARK)
    c.rect(7, 4, 18, 10, WHITE)
    c.rect(14, 5, 16, 9, GREY_DARK)
    c.rect(7, 15, 19, 22, GREY)
    c.frame(7, 15, 19, 22, BLUE_DARK)
    return c


def glyph_list():
    c = Canvas(26, 26, KEY)
    sheet(c, 9, 2, 24, 23)
    c.polygon([(1, 9), (7, 9), (7, 5), (13, 12), (7, 19), (7, 15), (1, 15)], GREEN, GREEN_DARK)
    return c


def glyph_damaged():
    c = Canvas(26, 26, KEY)
    sheet(c, 4, 2, 20, 23)
    c.line(10, 11, 21, 22, RED, 3)
    c.line(21, 11, 10, 22, RED, 3)
    return c


def glyph_comment():
    c = Canvas(26, 26, KEY)
    c.polygon([(2, 3), (24, 3), (24, 17), (12, 17), (6, 23), (7, 17), (2, 17)], (255, 250, 210), YELLOW_DARK)
    for y in (7, 10, 13):
        c.line(5, y, 20, y, GREY_DARK)
    return c


def logo_maker():
    c = Canvas(102, 37, WHITE)
    c.text(4, 3, 'FENNOLIT', BLUE_DARK, 2)
    c.rect(4, 20, 97, 21, YELLOW)
    c.text(11, 25, 'DATA RECOVERY', GREY_DARK, 1)
    return c


def logo_partner():
    c = Canvas(51, 47, WHITE)
    c.rect(4, 4, 46, 32, GREY)
    c.frame(4, 4, 46, 32, GREY_DARK)
    c.disc(22, 18, 11, (226, 226, 232))
    c.ring(22, 18, 10, 11.5, GREY_DARK)
    c.disc(22, 18, 2.5, GREY_DARK)
    c.line(40, 8, 27, 22, BLUE_DARK, 2)
    c.disc(40, 8, 2.5, BLUE_DARK)
    c.rect(36, 28, 43, 29, GREEN)
    c.text(8, 37, 'KORFEN', BLUE_DARK, 1)
    return c


def app_icon(size):
    c = Canvas(size, size, None)
    s = size / 32.0

    def p(v):
        return v * s
    c.polygon([(p(1), p(3)), (p(31), p(3)), (p(31), p(29)), (p(1), p(29))], BLUE, BLUE_DARK)
    c.polygon([(p(6), p(6)), (p(20), p(6)), (p(25), p(11)), (p(25), p(27)), (p(6), p(27))], WHITE, GREY_DARK)
    step = max(2, round(3 * s))
    for y in range(round(p(12)), round(p(25)), step):
        c.line(round(p(9)), y, round(p(22)), y, GREY_DARK)
    c.polygon([(p(3), p(21)), (p(9), p(21)), (p(11), p(23)), (p(16), p(23)), (p(16), p(30)), (p(3), p(30))],
              YELLOW, YELLOW_DARK)
    return c


def bmp24(c):
    row = (c.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(c.h - 1, -1, -1):
        line = bytearray()
        for x in range(c.w):
            r, g, b = c.px[y][x]
            line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    info = struct.pack('<IiiHHIIiiII', 40, c.w, c.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def ico(canvases):
    images = []
    for c in canvases:
        xor = bytearray()
        mask_row = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(c.h - 1, -1, -1):
            bits = bytearray(mask_row)
            for x in range(c.w):
                v = c.px[y][x]
                if v is None:
                    xor += b'\0\0\0\0'
                    bits[x // 8] |= 0x80 >> (x % 8)
                else:
                    r, g, b = v
                    xor += bytes((b, g, r, 255))
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, info + bytes(xor) + bytes(mask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return out


def main():
    glyphs = {
        'open': glyph_open, 'back': glyph_back, 'forward': glyph_forward, 'up': glyph_up,
        'search': glyph_search, 'new': glyph_new, 'save': glyph_save, 'list': glyph_list,
        'damaged': glyph_damaged, 'comment': glyph_comment,
    }
    os.makedirs(os.path.join(HERE, 'images'), exist_ok=True)
    for name, make in glyphs.items():
        c = make()
        assert c.px[c.h - 1][0] == KEY, name
        with open(os.path.join(HERE, 'images', 'glyph_%s.bmp' % name), 'wb') as f:
            f.write(bmp24(c))
    with open(os.path.join(HERE, 'images', 'logo_maker.bmp'), 'wb') as f:
        f.write(bmp24(logo_maker()))
    with open(os.path.join(HERE, 'images', 'logo_partner.bmp'), 'wb') as f:
        f.write(bmp24(logo_partner()))
    with open(os.path.join(HERE, 'images', 'fennolit.ico'), 'wb') as f:
        f.write(ico([app_icon(16), app_icon(32)]))


if __name__ == '__main__':
    main()
