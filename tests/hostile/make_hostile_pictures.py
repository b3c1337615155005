#!/usr/bin/env python3
"""Writes a set of bad and awkward picture files into a folder, for the tests
that check Tervana refuses them cleanly or converts them correctly.

Usage: make_hostile_pictures.py OUTDIR

Prints one line per file: "<expect> <name>", where expect is "ok" (a
readable picture), "refused" (must be refused with a message) or "either"
(a damaged picture: a clear message or a correct icon are both fine)."""
import io
import os
import struct
import sys

from PIL import Image, ImageDraw


def photo(width, height):
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(0, height, 4):
        draw.rectangle([0, y, width, y + 3], fill=(y * 255 // height, 120, 255 - y * 255 // height))
    draw.ellipse([width // 4, height // 4, 3 * width // 4, 3 * height // 4], fill=(250, 220, 30))
    return image


def encoded(image, fmt, **options):
    buffer = io.BytesIO()
    image.save(buffer, fmt, **options)
    return buffer.getvalue()


def bmp_header(width, height, bits=24):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info), 0, 0, 14 + len(info)) + info


def gif_with_screen(width, height):
    # A valid one-pixel image placed on an enormous logical screen.
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\x00\x00\x00\xff\xff\xff"
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00"
    return head + image + b"\x3b"


def icon_around(png):
    # An icon whose one image is a PNG stream, as modern icons hold big images.
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + png


def os2_bitmap(width, height):
    # The oldest bitmap header: 12 bytes, 16-bit sizes.
    stride = (width * 3 + 3) // 4 * 4
    info = struct.pack("<IHHHH", 12, width, height, 1, 24)
    head = b"BM" + struct.pack("<IHHI", 26 + stride * height, 0, 0, 26)
    return head + info + b"\x40\x80\xc0" * width * height + b"\x00" * ((stride - width * 3) * height)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    picture = photo(300, 200)
    jpeg = encoded(picture, "JPEG", quality=90)
    gif = encoded(picture.convert("P"), "GIF")
    bmp = encoded(picture, "BMP")
    bomb = encoded(Image.new("L", (20000, 20000)), "PNG")
    files = [
        ("refused", "zero-bytes.jpg", b""),
        ("refused", "text named.bmp", b"This is a note, not a picture.\n" * 20),
        ("either", "jpeg cut in half.jpg", jpeg[: len(jpeg) // 2]),
        ("either", "gif cut in half.gif", gif[: len(gif) // 2]),
        ("either", "bmp cut in half.bmp", bmp[: len(bmp) // 2]),
        ("refused", "bmp header only.bmp", bmp_header(300, 200)),
        ("refused", "bmp claims 60000x60000.bmp", bmp_header(60000, 60000) + b"\x7f" * 4096),
        ("refused", "bmp width most negative.bmp", bmp_header(-2**31, 200) + b"\x00" * 64),
        ("refused", "bmp claims zero bits.bmp", bmp_header(16, 16, bits=0) + b"\x00" * 1024),
        ("refused", "gif huge logical screen.gif", gif_with_screen(65535, 65535)),
        ("refused", "png 20000x20000 named.jpg", bomb),
        ("refused", "icon holding a 20000x20000 png.ico", icon_around(bomb)),
        ("ok", "progressive.jpg", encoded(picture, "JPEG", progressive=True)),
        ("ok", "oldest bitmap header.bmp", os2_bitmap(30, 20)),
        ("ok", "png named.jpg", encoded(picture, "PNG")),
        ("ok", "bmp stored top-down.bmp", bmp_header(2, -2) + b"\x00\x00\xff\xff\xff\xff\x00\x00" * 2),
        ("ok", "name with spaces.jpg", jpeg),
        ("ok", "nòn-ÀSCII ñame – 图.gif", gif),
    ]
    for expect, name, content in files:
        with open(os.path.join(out, name), "wb") as handle:
            handle.write(content)
        print(f"{expect} {name}")


if __name__ == "__main__":
    main()
