#!/usr/bin/env python3
"""Compares each image of an icon made from a square SVG with the exact
coverage of its shapes: librsvg's rendering at 16 times the size, area-
averaged. Prints "SIZE PSNR" per image, over the colour channels
premultiplied by alpha; with --peer, also the PSNR of rendering once at 256
and shrinking, as converters that go through one raster do.

Usage: svg_psnr.py SVG ICON [--peer]"""
import io
import subprocess
import sys

from PIL import Image

try:
    import numpy
except ImportError:
    print("numpy is not installed", file=sys.stderr)
    sys.exit(77)


def render(svg, side):
    png = subprocess.run(["rsvg-convert", "-w", str(side), "-h", str(side), svg], capture_output=True, check=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGBA")


def premultiplied(image):
    pixels = numpy.asarray(image, dtype=numpy.float64)
    return pixels[..., :3] * pixels[..., 3:4] / 255.0


def coverage(svg, side):
    # Each pixel's mean over its 16 x 16 block of a rendering 16 times finer.
    return premultiplied(render(svg, side * 16)).reshape(side, 16, side, 16, 3).mean(axis=(1, 3))


def psnr(a, b):
    mse = numpy.mean((a - b) ** 2)
    return 99.0 if mse == 0 else 10 * numpy.log10(255 ** 2 / mse)


def main():
    svg, icon_path = sys.argv[1], sys.argv[2]
    peer = "--peer" in sys.argv
    icon = Image.open(icon_path)
    for size in sorted(icon.info["sizes"]):
        icon.size = size
        exact = coverage(svg, size[0])
        line = f"{size[0]} {psnr(premultiplied(icon.convert('RGBA')), exact):.1f}"
        if peer:
            shrunk = render(svg, 256).resize(size, Image.LANCZOS)
            line += f" {psnr(premultiplied(shrunk), exact):.1f}"
        print(line)


if __name__ == "__main__":
    main()
