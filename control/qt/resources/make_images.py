#!/usr/bin/env python3
"""Draws the control's face (66 x 62, 24-bit BMP) and the small file-type
icon set (16 x 16 PNG) shipped with the library. Run from anywhere:
    python3 control/qt/resources/make_images.py
It rewrites control/qt/resources/face.bmp and platform/qt/filetypes/*.png."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SS = 4  # samples per pixel side


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[list(bg) for _ in range(w)] for _ in range(h)]

    def shape(self, inside, color, box=None):
        """Paints colour where inside(x, y) holds, anti-aliased."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for py in range(max(0, int(y0) - 1), min(self.h, int(math.ceil(y1)) + 1)):
            for px in range(max(0, int(x0) - 1), min(self.w, int(math.ceil(x1)) + 1)):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                if hits:
                    a = hits / (SS * SS) * (color[3] / 255.0 if len(color) > 3 else 1.0)
                    d = self.px[py][px]
                    da = d[3] / 255.0
                    oa = a + da * (1 - a)
                    for i in range(3):
                        c = (color[i] * a + d[i] * da * (1 - a)) / oa if oa else 0
                        d[i] = c
                    d[3] = oa * 255

    def rect(self, x0, y0, x1, y1, color):
        self.shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, color, (x0, y0, x1, y1))

    def frame(self, x0, y0, x1, y1, color, t=1):
        self.shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1 and not (x0 + t <= x < x1 - t and y0 + t <= y < y1 - t),
                   color, (x0, y0, x1, y1))

    def poly(self, pts, color):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.shape(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def ellipse(self, cx, cy, rx, ry, color):
        self.shape(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1, color,
                   (cx - rx, cy - ry, cx + rx, cy + ry))

    def line(self, xa, ya, xb, yb, color, width=1.0):
        dx, dy = xb - xa, yb - ya
        L2 = dx * dx + dy * dy

        def inside(x, y):
            t = max(0, min(1, ((x - xa) * dx + (y - ya) * dy) / L2)) if L2 else 0
            qx, qy = xa + t * dx, ya + t * dy
            return (x - qx) ** 2 + (y - qy) ** 2 <= (width / 2) ** 2
        self.shape(inside, color, (min(xa, xb) - width, min(ya, yb) - width, max(xa, xb) + width, max(ya, yb) + width))

    def text3x5(self, x, y, s, color):
        for i, ch in enumerate(s):
            rows = FONT[ch]
            for r, bits in enumerate(rows):
                for c in range(3):
                    if bits[c] == "#":
                        self.rect(x + i * 4 + c, y + r, x + i * 4 + c + 1, y + r + 1, color)

    def rgba(self):
        return [[tuple(int(round(v)) for v in p) for p in row] for row in self.px]


FONT = {
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", ".##", "..#", "###"],
    ".": ["...", "...", "...", "...", ".#."],
}


def write_png(path, canvas):
    raw = b""
    for row in canvas.rgba():
        raw += b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_bmp24(path, canvas):
    rows = canvas.rgba()
    stride = (canvas.w * 3 + 3) & ~3
    data = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("BBB", p[2], p[1], p[0]) for p in row)
        data += line + b"\x00" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# --- the face: a zipped archive being cut into numbered pieces ---
def face():
    c = Canvas(66, 62, (212, 208, 200, 255))
    c.frame(0, 0, 66, 62, (255, 255, 255, 255))
    c.frame(1, 1, 66, 62, (128, 128, 128, 255))
    c.rect(1, 1, 65, 61, (212, 208, 200, 255))
    # the archive: a yellow box with a zipper down its middle
    c.rect(6, 12, 34, 50, (120, 84, 10, 255))
    c.rect(7, 13, 33, 49, (250, 204, 64, 255))
    c.rect(7, 13, 33, 17, (255, 226, 120, 255))
    c.rect(18, 13, 22, 49, (70, 70, 80, 255))
    for i in range(10):
        y = 14 + i * 3.4
        c.rect(16 if i % 2 == 0 else 20, y, 20 if i % 2 == 0 else 24, y + 1.8, (190, 190, 200, 255))
    c.rect(17, 7, 23, 14, (90, 90, 100, 255))
    c.ellipse(20, 9.5, 1.3, 1.3, (212, 208, 200, 255))
    # the cut: a dashed line and an arrow towards the pieces
    for y in range(6, 56, 5):
        c.rect(38, y, 39.5, y + 3, (200, 30, 30, 255))
    c.poly([(40.5, 29), (44.5, 31), (40.5, 33)], (200, 30, 30, 255))
    # three numbered pieces
    for i, label in enumerate(["001", "002", "003"]):
        x, y = 45, 6 + i * 17
        c.rect(x, y, x + 16, y + 13, (60, 60, 60, 255))
        c.rect(x + 1, y + 1, x + 15, y + 12, (255, 255, 255, 255))
        c.rect(x + 1, y + 1, x + 15, y + 3, (250, 204, 64, 255))
        c.text3x5(x + 2.5, y + 5, label, (20, 20, 120, 255))
    write_bmp24(os.path.join(ROOT, "control", "qt", "resources", "face.bmp"), c)


# --- file-type icons ---
def page(c, fill=(255, 255, 255, 255)):
    c.poly([(2, 0.5), (10.5, 0.5), (14, 4), (14, 15.5), (2, 15.5)], (90, 90, 90, 255))
    c.poly([(3, 1.5), (10, 1.5), (13, 4.5), (13, 14.5), (3, 14.5)], fill)
    c.poly([(10, 1.5), (13, 4.5), (10, 4.5)], (200, 200, 200, 255))


def icons():
    out = os.path.join(ROOT, "platform", "qt", "filetypes")
    os.makedirs(out, exist_ok=True)

    c = Canvas(16, 16); page(c); write_png(os.path.join(out, "unknown.png"), c)

    c = Canvas(16, 16); page(c)
    for y in (6, 8, 10, 12):
        c.rect(4.5, y, 11.5 if y != 12 else 9, y + 1, (110, 110, 130, 255))
    write_png(os.path.join(out, "text-x-generic.png"), c)

    c = Canvas(16, 16); page(c, (190, 225, 255, 255))
    c.ellipse(10, 7, 1.6, 1.6, (255, 200, 0, 255))
    c.poly([(3, 14.5), (7, 8), (10, 12), (11.5, 10.5), (13, 14.5)], (60, 150, 60, 255))
    write_png(os.path.join(out, "image-x-generic.png"), c)

    c = Canvas(16, 16)
    c.ellipse(5, 12.5, 2.6, 2, (40, 40, 120, 255))
    c.ellipse(12, 11, 2.6, 2, (40, 40, 120, 255))
    c.rect(6.8, 3, 8, 12.5, (40, 40, 120, 255))
    c.rect(13.8, 1.5, 15, 11, (40, 40, 120, 255))
    c.poly([(6.8, 3), (15, 1.5), (15, 4), (6.8, 5.5)], (40, 40, 120, 255))
    write_png(os.path.join(out, "audio-x-generic.png"), c)

    c = Canvas(16, 16)
    c.rect(1, 3, 15, 13, (40, 40, 40, 255))
    for x in range(2, 15, 3):
        c.rect(x, 4, x + 1.5, 5, (230, 230, 230, 255))
        c.rect(x, 11, x + 1.5, 12, (230, 230, 230, 255))
    c.rect(2, 6, 14, 10, (90, 140, 220, 255))
    write_png(os.path.join(out, "video-x-generic.png"), c)

    c = Canvas(16, 16)
    c.rect(1.5, 4, 14.5, 15, (120, 84, 10, 255))
    c.rect(2.5, 5, 13.5, 14, (220, 170, 90, 255))
    c.poly([(1.5, 4), (4, 1), (12, 1), (14.5, 4)], (190, 140, 60, 255))
    c.rect(7, 1, 9, 15, (70, 70, 80, 255))
    write_png(os.path.join(out, "package-x-generic.png"), c)

    c = Canvas(16, 16)
    c.rect(1, 2, 15, 14, (60, 60, 60, 255))
    c.rect(2, 3, 14, 5, (40, 90, 200, 255))
    c.rect(2, 5, 14, 13, (240, 240, 240, 255))
    c.poly([(4, 7), (7, 9), (4, 11)], (40, 40, 40, 255))
    c.rect(8, 10.5, 11, 11.5, (40, 40, 40, 255))
    write_png(os.path.join(out, "application-x-executable.png"), c)

    c = Canvas(16, 16); page(c)
    c.rect(4, 3, 10, 5, (40, 90, 200, 255))
    for y in (7, 9, 11):
        c.rect(4.5, y, 11.5, y + 1, (40, 90, 200, 255))
    write_png(os.path.join(out, "x-office-document.png"), c)


if __name__ == "__main__":
    face()
    icons()
