#!/usr/bin/env python3
"""Writes icons as other tools write them, for the tests that list and
extract their images: one of bitmap images at 1, 4, 8, 24 and 32 bits per
pixel with AND masks and a PNG image, written field by field, and a cursor
of the same images; one by Pillow; and, given CONVERT (ImageMagick's
convert), one by ImageMagick.

Usage: make_icons.py OUTDIR [CONVERT]

Prints the name of each icon written."""
import io
import os
import struct
import subprocess
import sys

from PIL import Image


def colour(x, y, side):
    return ((x * 255 // side), (y * 255 // side), ((x + y) * 40) % 256)


def bitmap_image(side, bits):
    # A bottom-up DIB with a palette below 24 bits, then its AND mask:
    # the top-left quarter transparent.
    palette_size = 1 << bits if bits <= 8 else 0
    palette = [colour(i % side, i // side % side, side) for i in range(palette_size)]
    rows, mask_rows = [], []
    for y in reversed(range(side)):
        bits_row, mask_bits = [], []
        for x in range(side):
            if bits <= 8:
                bits_row.append((x + y * 3) % palette_size)
            else:
                r, g, b = colour(x, y, side)
                bits_row.append((b, g, r, 255) if bits == 32 else (b, g, r))
            mask_bits.append(1 if x < side // 2 and y < side // 2 else 0)
        if bits <= 8:
            value = 0
            for index in bits_row:
                value = value << bits | index
            width = (side * bits + 7) // 8
            row = (value << (width * 8 - side * bits)).to_bytes(width, "big")
        else:
            row = b"".join(bytes(p[:3] + ((0 if mask_bits[i] else 255,) if bits == 32 else ())) for i, p in enumerate(bits_row))
        rows.append(row + b"\0" * (-len(row) % 4))
        mask = 0
        for bit in mask_bits:
            mask = mask << 1 | bit
        mask_width = (side + 7) // 8
        mask_row = (mask << (mask_width * 8 - side)).to_bytes(mask_width, "big")
        mask_rows.append(mask_row + b"\0" * (-len(mask_row) % 4))
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, bits, 0, 0, 0, 0, 0, 0)
    return header + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + b"".join(rows) + b"".join(mask_rows)


def png_image(side):
    image = Image.new("RGBA", (side, side))
    image.putdata([colour(x, y, side) + ((x * 5) % 256,) for y in range(side) for x in range(side)])
    buffer = io.BytesIO()
    image.save(buffer, "PNG")
    return buffer.getvalue()


def icon(images, kind=1):
    directory = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for side, bits, image in images:
        directory += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, bits, len(image), offset + len(data))
        data += image
    return directory + data


def main():
    out = sys.argv[1]
    convert = sys.argv[2] if len(sys.argv) > 2 else ""
    os.makedirs(out, exist_ok=True)
    depths = [(16, 1), (20, 4), (24, 8), (32, 24), (40, 32)]
    with open(os.path.join(out, "depths.ico"), "wb") as handle:
        handle.write(icon([(side, bits, bitmap_image(side, bits)) for side, bits in depths] + [(48, 32, png_image(48))]))
    print("depths.ico")
    # The same images as a cursor, whose entries hold hot spots (3, 5)
    # where an icon's hold planes and bits.
    cursor = bytearray(icon([(side, bits, bitmap_image(side, bits)) for side, bits in depths] + [(48, 32, png_image(48))], 2))
    for i in range(len(depths) + 1):
        struct.pack_into("<HH", cursor, 6 + 16 * i + 4, 3, 5)
    with open(os.path.join(out, "depths.cur"), "wb") as handle:
        handle.write(bytes(cursor))
    print("depths.cur")
    Image.open(io.BytesIO(png_image(48))).save(os.path.join(out, "pillow.ico"), sizes=[(16, 16), (32, 32), (48, 48)])
    print("pillow.ico")
    if convert:
        source = os.path.join(out, "source.png")
        Image.open(io.BytesIO(png_image(48))).save(source)
        subprocess.run([convert, source, "-define", "icon:auto-resize=48,32,16", os.path.join(out, "magick.ico")],
                       check=True)
        os.remove(source)
        print("magick.ico")


if __name__ == "__main__":
    main()
