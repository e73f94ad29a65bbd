#!/usr/bin/env python3
"""The icon script draws every installed size at that size, and its SVG
shows the same picture.

    icon_sizes.py sizes         the PNG sizes: right dimensions, the same
                                picture area, edges one pixel soft
    icon_sizes.py svg           the SVG rendered by rsvg-convert against the
                                PNG of the same size (exit 77 without it)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import draw_icon  # noqa: E402

SIZES = (48, 64, 128, 256)
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def drawn(size):
    canvas = draw_icon.Canvas(size)
    draw_icon.draw(canvas)
    return draw_icon.png_rgba(canvas.png())


def alpha(pixels, size, x, y):
    return pixels[(y * size + x) * 4 + 3] / 255.0


def sizes():
    coverage = {}
    for size in SIZES:
        (w, h), px = drawn(size)
        check((w, h) == (size, size), f"{size} px icon is {w} x {h}")
        coverage[size] = sum(px[3::4]) / 255.0 / (size * size)
        # Along the middle row, the body's left edge goes from clear to
        # opaque within about a pixel at every size; a small image scaled
        # up would smear it over several.
        row = size // 2
        first_solid = next(x for x in range(size) if alpha(px, size, x, row) > 0.95)
        ramp = [x for x in range(first_solid) if alpha(px, size, x, row) > 0.05]
        check(len(ramp) <= 2, f"{size} px icon: left edge {len(ramp)} px soft")
    for size in SIZES:
        check(abs(coverage[size] - coverage[48]) < 0.02,
              f"{size} px icon covers {coverage[size]:.3f} of its square (48 px: {coverage[48]:.3f})")


def svg():
    tool = shutil.which("rsvg-convert")
    if not tool:
        print("skipped: rsvg-convert is not installed")
        return 77
    canvas = draw_icon.SvgCanvas()
    draw_icon.draw(canvas)
    data = canvas.svg()
    root = ET.fromstring(data)
    check(root.get("viewBox") == "0 0 48 48", f"SVG viewBox {root.get('viewBox')}")
    size = 128
    with tempfile.TemporaryDirectory() as tmp:
        src, out = os.path.join(tmp, "icon.svg"), os.path.join(tmp, "icon.png")
        with open(src, "wb") as f:
            f.write(data)
        subprocess.run([tool, "-w", str(size), "-h", str(size), "-f", "png", "-o", out, src], check=True)
        with open(out, "rb") as f:
            (w, h), rendered = draw_icon.png_rgba(f.read())
    check((w, h) == (size, size), f"SVG rendered at {w} x {h}")
    _, png = drawn(size)
    # Compare colour weighted by coverage, so that the colour of nearly
    # clear pixels at the edges does not count.
    total = 0.0
    for i in range(0, len(png), 4):
        a, b = png[i + 3] / 255.0, rendered[i + 3] / 255.0
        total += abs(a - b)
        total += sum(abs(png[i + c] * a - rendered[i + c] * b) / 255.0 for c in range(3)) / 3
    mean = total / (size * size)
    check(mean < 0.03, f"SVG and {size} px PNG differ by {mean:.4f} on average")
    return 0


def main():
    status = {"sizes": sizes, "svg": svg}[sys.argv[1]]()
    if status:
        return status
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
