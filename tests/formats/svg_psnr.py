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


def start_rendering(svg, side):
    return subprocess.Popen(["rsvg-convert", "-w", str(side), "-h", str(side), svg], stdout=subprocess.PIPE)


def finish_rendering(rendering):
    png, _ = rendering.communicate()
    if rendering.returncode != 0:
        sys.exit(f"rsvg-convert failed with status {rendering.returncode}")
    return Image.open(io.BytesIO(png)).convert("RGBA")


def render(svg, side):
    return finish_rendering(start_rendering(svg, side))


def premultiplied(image):
    pixels = numpy.asarray(image, dtype=numpy.float64)
    return pixels[..., :3] * pixels[..., 3:4] / 255.0


def coverage(rendering, side):
    # Each pixel's mean over its 16 x 16 block of a rendering 16 times finer,
    # summed in whole numbers (a colour times its alpha fits 16 bits): the
    # rendering at 4096 x 4096 would take 1 GB as floating point.
    pixels = numpy.asarray(finish_rendering(rendering))
    products = pixels[..., :3].astype(numpy.uint16) * pixels[..., 3:4]
    sums = products.reshape(side, 16, side, 16, 3).sum(axis=(1, 3), dtype=numpy.uint32)
    return sums / (255.0 * 16 * 16)


def psnr(a, b):
    mse = numpy.mean((a - b) ** 2)
    return 99.0 if mse == 0 else 10 * numpy.log10(255 ** 2 / mse)


def main():
    svg, icon_path = sys.argv[1], sys.argv[2]
    peer = "--peer" in sys.argv
    icon = Image.open(icon_path)
    sizes = sorted(icon.info["sizes"])
    # The renderings run side by side, the largest first.
    renderings = {size: start_rendering(svg, size[0] * 16) for size in reversed(sizes)}
    for size in sizes:
        icon.size = size
        exact = coverage(renderings[size], size[0])
        line = f"{size[0]} {psnr(premultiplied(icon.convert('RGBA')), exact):.1f}"
        if peer:
            shrunk = render(svg, 256).resize(size, Image.LANCZOS)
            line += f" {psnr(premultiplied(shrunk), exact):.1f}"
        print(line)


if __name__ == "__main__":
    main()
