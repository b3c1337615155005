#!/usr/bin/env python3
"""Compares two icons of the same sizes image by image. Prints "SIZE PSNR"
per image, over red, green, blue and alpha with the colours premultiplied
by alpha (a clear pixel has no colour to compare).

Usage: icons_psnr.py ICON ICON"""
import sys

from PIL import Image

try:
    import numpy
except ImportError:
    print("numpy is not installed", file=sys.stderr)
    sys.exit(77)


def premultiplied(image):
    pixels = numpy.asarray(image.convert("RGBA"), dtype=numpy.float64)
    return numpy.concatenate([pixels[..., :3] * pixels[..., 3:4] / 255.0, pixels[..., 3:4]], axis=-1)


def main():
    first, second = Image.open(sys.argv[1]), Image.open(sys.argv[2])
    sizes = sorted(first.info["sizes"])
    if sizes != sorted(second.info["sizes"]):
        sys.exit(f"the icons' sizes differ: {sizes} and {sorted(second.info['sizes'])}")
    for size in sizes:
        first.size = second.size = size
        mse = numpy.mean((premultiplied(first) - premultiplied(second)) ** 2)
        print(f"{size[0]} {99.0 if mse == 0 else 10 * numpy.log10(255 ** 2 / mse):.1f}")


if __name__ == "__main__":
    main()
