#!/usr/bin/env python3
"""Reads every image of an icon file with Pillow, an independent reader, and
prints one line per image, largest first: its side, then the alpha of its
top-left corner, then its centre pixel as R G B A."""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as icon:
    for size in sorted(icon.ico.sizes(), reverse=True):
        image = icon.ico.getimage(size).convert("RGBA")
        if image.size != size:
            sys.exit(f"the {size} entry decodes as {image.size}")
        side = size[0]
        corner = image.getpixel((0, 0))
        centre = image.getpixel((side // 2, side // 2))
        print(side, corner[3], *centre)
