#!/usr/bin/env python3
"""Draws the Zentabula application icon: a small desk calculator.

Only the standard library is used, so the icon can be redrawn on any machine:
the shapes are rounded rectangles given as signed distance functions, which
gives anti-aliased edges from one sample per pixel, and the PNG is written
with zlib and struct. The drawing is laid out on a 48 x 48 grid; other sizes
are drawn at their own resolution from the same shapes (never scaled from
the 48 pixel image), and the same shapes also make a scalable SVG.

    python3 tools/draw_icon.py [OUTPUT]            48 x 48 PNG (default: src/app/icons/qz_icon.png)
    python3 tools/draw_icon.py --size N OUTPUT     N x N PNG
    python3 tools/draw_icon.py --svg OUTPUT        scalable SVG
    python3 tools/draw_icon.py --check PNG         exit 1 unless PNG shows exactly the 48 x 48 drawing
"""

import argparse
import math
import os
import struct
import sys
import zlib
from collections import namedtuple

SIZE = 48  # the grid the drawing is laid out on, and the embedded icon's size


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# A rounded rectangle: its signed distance function (negative inside), its
# bounds and its corner radius.
Shape = namedtuple("Shape", "sdf bounds radius")


def rounded_box(x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle; negative inside."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return Shape(sdf, (x0, y0, x1, y1), r)


class Gradient:
    """A vertical linear gradient from top (at y0) to bottom (at y1), held
    constant beyond both ends."""

    def __init__(self, top, bottom, y0, y1):
        self.top, self.bottom, self.y0, self.y1 = top, bottom, y0, y1

    def __call__(self, x, y):
        return mix(self.top, self.bottom, (y - self.y0) / (self.y1 - self.y0))


class Canvas:
    def __init__(self, size=SIZE):
        self.size = size
        self.scale = size / SIZE
        # Straight (not premultiplied) RGBA floats, row by row.
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]

    def fill(self, shape, colour, alpha=1.0, soft=1.0):
        """Paints colour (an RGB tuple or a Gradient) over the shape.

        soft above 1 blurs the edge over that many grid units, which is how
        the drop shadow is made; otherwise the edge is anti-aliased over one
        pixel at every size.
        """
        sdf, (x0, y0, x1, y1), _ = shape
        s = self.scale
        ramp = soft * s if soft > 1.0 else 1.0  # in pixels
        pad = ramp + 1
        for j in range(max(0, int(y0 * s - pad)), min(self.size, int(math.ceil(y1 * s + pad)))):
            row = self.px[j]
            for i in range(max(0, int(x0 * s - pad)), min(self.size, int(math.ceil(x1 * s + pad)))):
                x, y = (i + 0.5) / s, (j + 0.5) / s
                cover = min(max(0.5 - sdf(x, y) * s / ramp, 0.0), 1.0) * alpha
                if cover <= 0.0:
                    continue
                src = colour(x, y) if callable(colour) else colour
                dr, dg, db, da = row[i]
                out_a = cover + da * (1.0 - cover)
                if out_a <= 0.0:
                    continue
                keep = da * (1.0 - cover)
                row[i] = (
                    (src[0] * cover + dr * keep) / out_a,
                    (src[1] * cover + dg * keep) / out_a,
                    (src[2] * cover + db * keep) / out_a,
                    out_a,
                )

    def png(self):
        raw = bytearray()
        for row in self.px:
            raw.append(0)  # filter type: none
            for r, g, b, a in row:
                raw.extend(int(round(min(max(c, 0.0), 1.0) * 255)) for c in (r, g, b, a))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)  # 8-bit RGBA
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def svg_colour(rgb):
    return "#" + "".join("%02x" % int(round(min(max(c, 0.0), 1.0) * 255)) for c in rgb)


class SvgCanvas:
    """Takes the same fills as Canvas and writes them as SVG elements on the
    48 x 48 grid: a rounded rectangle each, gradients as linear gradients
    and the soft edge of the shadow as a Gaussian blur."""

    def __init__(self):
        self.defs, self.body = [], []

    def fill(self, shape, colour, alpha=1.0, soft=1.0):
        _, (x0, y0, x1, y1), r = shape
        attrs = 'x="%g" y="%g" width="%g" height="%g"' % (x0, y0, x1 - x0, y1 - y0)
        if r > 0:
            attrs += ' rx="%g"' % r
        if isinstance(colour, Gradient):
            gid = "g%d" % len(self.defs)
            self.defs.append(
                '<linearGradient id="%s" gradientUnits="userSpaceOnUse" x1="0" y1="%g" x2="0" y2="%g">'
                '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient>'
                % (gid, colour.y0, colour.y1, svg_colour(colour.top), svg_colour(colour.bottom)))
            attrs += ' fill="url(#%s)"' % gid
        else:
            attrs += ' fill="%s"' % svg_colour(colour)
        if alpha < 1.0:
            attrs += ' fill-opacity="%g"' % alpha
        if soft > 1.0:
            # A linear ramp soft units wide spreads like a box filter of that
            # width, whose standard deviation is soft / sqrt(12).
            fid = "f%d" % len(self.defs)
            self.defs.append('<filter id="%s" x="-20%%" y="-20%%" width="140%%" height="140%%">'
                             '<feGaussianBlur stdDeviation="%.3g"/></filter>' % (fid, soft / math.sqrt(12)))
            attrs += ' filter="url(#%s)"' % fid
        self.body.append("<rect %s/>" % attrs)

    def svg(self):
        lines = ['<?xml version="1.0" encoding="UTF-8"?>',
                 '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
                 % (SIZE, SIZE, SIZE, SIZE),
                 "<title>Zentabula</title>", "<defs>"]
        lines += ["  " + d for d in self.defs]
        lines.append("</defs>")
        lines += ["  " + b for b in self.body]
        lines.append("</svg>")
        return ("\n".join(lines) + "\n").encode("utf-8")


# Seven-segment layout: (x0, y0, x1, y1) in a unit cell 0..1 wide, 0..2 high.
SEGMENTS = {
    "a": (0, 0, 1, 0), "b": (1, 0, 1, 1), "c": (1, 1, 1, 2), "d": (0, 2, 1, 2),
    "e": (0, 1, 0, 2), "f": (0, 0, 0, 1), "g": (0, 1, 1, 1),
}
GLYPHS = {"F": "aefg", "2": "abged", "A": "abcefg", "1": "bc", "0": "abcdef"}


def draw_digit(canvas, glyph, left, top, width, height, stroke, colour):
    sx, sy = width, height / 2.0
    half = stroke / 2.0
    for seg in GLYPHS[glyph]:
        x0, y0, x1, y1 = SEGMENTS[seg]
        # Shorten each bar a little so neighbouring segments stay apart,
        # as on a real segment display.
        gap = 0.45 if x0 == x1 else 0.55
        ax, ay = left + x0 * sx, top + y0 * sy
        bx, by = left + x1 * sx, top + y1 * sy
        if ax == bx:
            ay, by = ay + gap, by - gap
        else:
            ax, bx = ax + gap, bx - gap
        canvas.fill(rounded_box(ax - half, ay - half, bx + half, by + half, half), colour)


def draw(canvas):
    body_top, body_bottom = hex_rgb("5A4527"), hex_rgb("2F210C")
    key_face, key_edge = hex_rgb("E4E1DC"), hex_rgb("9D978E")
    accent_face, accent_edge = hex_rgb("F0A03C"), hex_rgb("A85F12")

    # Soft shadow below and to the right of the body.
    canvas.fill(rounded_box(7.5, 4.5, 43.5, 47.0, 6), (0, 0, 0), alpha=0.45, soft=2.5)

    # Body: dark outline, then a face lit from the top.
    canvas.fill(rounded_box(5.5, 1.5, 42.5, 45.5, 6), hex_rgb("1C1306"))
    canvas.fill(rounded_box(6.5, 2.5, 41.5, 44.5, 5), Gradient(body_top, body_bottom, 2.5, 44.5))
    canvas.fill(rounded_box(7.5, 3.2, 40.5, 4.2, 0.5), hex_rgb("8A7350"), alpha=0.8)

    # Display window with yellow segment digits, as on the calculator itself.
    canvas.fill(rounded_box(9.0, 6.0, 39.0, 17.0, 2), hex_rgb("15120E"))
    canvas.fill(rounded_box(10.0, 7.0, 38.0, 16.0, 1.5), Gradient(hex_rgb("4C4C4C"), hex_rgb("3A3A3A"), 7.0, 16.0))
    yellow = hex_rgb("FFE83A")
    for k, glyph in enumerate("2A"):
        draw_digit(canvas, glyph, 25.5 + k * 6.5, 8.6, 4.2, 5.8, 1.25, yellow)

    # Keypad: four columns; the right column holds the operators, and the
    # tall key at the bottom right is "=".
    left, top, pitch_x, pitch_y, key_w, key_h = 9.0, 20.0, 7.75, 6.0, 6.5, 4.8
    for row in range(4):
        for col in range(4):
            x0, y0 = left + col * pitch_x, top + row * pitch_y
            x1, y1 = x0 + key_w, y0 + key_h
            face, edge = key_face, key_edge
            if col == 3:
                if row == 3:
                    continue
                if row == 2:
                    y1 = top + 3 * pitch_y + key_h  # spans the last two rows
                face, edge = accent_face, accent_edge
            canvas.fill(rounded_box(x0, y0 + 0.9, x1, y1 + 0.9, 1.4), edge)
            canvas.fill(rounded_box(x0, y0, x1, y1, 1.4), Gradient(face, mix(face, edge, 0.35), y0, y1))


def png_rgba(data):
    """Pixel bytes (RGBA, row by row) of an 8-bit RGBA PNG without interlace."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError("not an 8-bit RGBA PNG without interlace")
    raw, stride, out, prev = zlib.decompress(idat), width * 4, bytearray(), bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += line
        prev = line
    return (width, height), bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Draws the Zentabula icon.")
    parser.add_argument("--size", type=int, default=SIZE, help="width and height of the PNG in pixels")
    parser.add_argument("--svg", action="store_true", help="write a scalable SVG instead of a PNG")
    parser.add_argument("--check", metavar="PNG", help="exit 1 unless PNG shows exactly the 48 x 48 drawing")
    parser.add_argument("output", nargs="?", help="the file to write")
    args = parser.parse_args()

    if args.check:
        # The committed PNG must be what this script draws, so that the
        # artwork is never edited in one place only.
        canvas = Canvas(SIZE)
        draw(canvas)
        with open(args.check, "rb") as f:
            stored = png_rgba(f.read())
        if stored != png_rgba(canvas.png()):
            print(f"{args.check} differs from the drawing; run tools/draw_icon.py", file=sys.stderr)
            sys.exit(1)
        return
    if args.size < 16 or args.size > 1024:
        parser.error("--size must be between 16 and 1024")
    if args.svg:
        canvas = SvgCanvas()
        draw(canvas)
        data = canvas.svg()
    else:
        canvas = Canvas(args.size)
        draw(canvas)
        data = canvas.png()
    out = args.output or os.path.join(here, "..", "src", "app", "icons", "qz_icon.png")
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
