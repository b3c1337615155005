#!/usr/bin/env python3
"""Decodes a picture or an icon file with Pillow, an independent reader, and
prints its size and then each pixel as RRGGBBAA, one row per line, top row
first. With SIDE, an icon's image of that size; without, its largest.

Usage: icon_reader.py FILE [SIDE]"""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as icon:
    if len(sys.argv) > 2:
        icon.size = (int(sys.argv[2]), int(sys.argv[2]))
    image = icon.convert("RGBA")
    width, height = image.size
    print(f"{width} {height}")
    pixels = image.load()
    for y in range(height):
        print(" ".join("%02X%02X%02X%02X" % pixels[x, y] for x in range(width)))
