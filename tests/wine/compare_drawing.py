#!/usr/bin/env python3
"""Compares Windows' drawings of an icon at one size (from drawicon.exe),
over black and over white, with the icon's own pixels alpha-blended over
the same backgrounds.

Usage: compare_drawing.py ICON SIZE OVER_BLACK OVER_WHITE

For a size the icon holds, every channel of every pixel must agree within
2 levels. For one it does not hold, Windows picks an image and stretches
it its own way, which is not for Tervana to say; the icon must load at
that size and draw the picture: at least half as many of the pixels are
not the background in one of the drawings as are not transparent in the
icon's largest image.
Prints what it found; exits 1 when it falls short."""
import sys

from PIL import Image


def blended(image, background):
    out = []
    for r, g, b, a in image.convert("RGBA").getdata():
        out.append(tuple(round((c * a + background * (255 - a)) / 255) for c in (r, g, b)))
    return out


def drawing(path, size):
    raw = open(path, "rb").read()
    pixels = [(raw[i + 2], raw[i + 1], raw[i]) for i in range(0, len(raw), 4)]
    if len(pixels) != size * size:
        sys.exit(f"{path} holds {len(pixels)} pixels")
    return pixels


def main():
    icon_path, size = sys.argv[1], int(sys.argv[2])
    over_black, over_white = drawing(sys.argv[3], size), drawing(sys.argv[4], size)
    icon = Image.open(icon_path)
    if (size, size) not in icon.info["sizes"]:
        painted = sum(1 for b, w in zip(over_black, over_white) if b != (0, 0, 0) or w != (255, 255, 255))
        largest = icon.convert("RGBA")
        shown = sum(1 for pixel in largest.getdata() if pixel[3] > 0) / (largest.width * largest.height)
        print(f"size {size}: {painted} of {size * size} pixels drawn (a size it does not hold; "
              f"{shown:.0%} of the icon is not transparent)")
        sys.exit(0 if 2 * painted >= shown * size * size else 1)
    icon.size = (size, size)
    worst = 0
    for drawn, background in ((over_black, 0), (over_white, 255)):
        expected = blended(icon, background)
        worst = max(worst, max(max(abs(p - q) for p, q in zip(a, b)) for a, b in zip(drawn, expected)))
    print(f"size {size}: worst difference {worst} over black and white")
    sys.exit(0 if worst <= 2 else 1)


if __name__ == "__main__":
    main()
