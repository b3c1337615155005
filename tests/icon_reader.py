#!/usr/bin/env python3
"""Decodes an icon file with Pillow, an independent reader, and prints its
size and then each pixel as RRGGBBAA, one row per line, top row first."""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as icon:
    image = icon.convert("RGBA")
    width, height = image.size
    print(f"{width} {height}")
    pixels = image.load()
    for y in range(height):
        print(" ".join("%02X%02X%02X%02X" % pixels[x, y] for x in range(width)))
