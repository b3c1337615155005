#!/usr/bin/env python3
"""Writes the icon Tervana must save for a 32 x 32 picture, built here on its
own from the published icon layout: one 32 x 32 image at 24 bits per pixel,
rows bottom-up, then a 1-bit AND mask in which pure black is transparent.

Usage: expected_icon.py PICTURE OUTPUT"""
import struct
import sys

from PIL import Image

with Image.open(sys.argv[1]) as picture:
    pixels = picture.convert("RGB").load()

header = struct.pack("<HHH", 0, 1, 1)
header += struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 24, 40 + 3072 + 128, 22)
header += struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 24, 0, 3072 + 128, 0, 0, 0, 0)
colours = bytearray()
mask = bytearray()
for y in range(31, -1, -1):
    bits = 0
    for x in range(32):
        r, g, b = pixels[x, y]
        transparent = (r, g, b) == (0, 0, 0)
        colours += bytes((0, 0, 0)) if transparent else bytes((b, g, r))
        bits = (bits << 1) | int(transparent)
    mask += struct.pack(">I", bits)
with open(sys.argv[2], "wb") as out:
    out.write(header + colours + mask)
