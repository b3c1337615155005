#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus, kept in fuzz/corpus/: small
pictures of every kind the core reads, the hostile pictures small enough to
fuzz, and inputs that once made the fuzzing fail, rebuilt byte for byte.
A file already there is kept as it is: another Pillow or libjpeg would write
other bytes, and the fixed fuzzing run starts from what is committed.
Inputs that fuzzing finds later are added to fuzz/corpus/ by hand, beside the
fix.
    fuzz/make_corpus.py [FOLDER]     (default: fuzz/corpus)"""
import io
import os
import re
import struct
import subprocess
import sys
import tempfile

from PIL import Image

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")
os.makedirs(out, exist_ok=True)



def keep(name, data):
    """Writes the file unless it is there already."""
    try:
        with open(os.path.join(out, name), "xb") as file:
            file.write(data)
    except FileExistsError:
        pass


def saved(image, fmt, **options):
    buffer = io.BytesIO()
    image.save(buffer, fmt, **options)
    return buffer.getvalue()


picture = Image.new("RGB", (7, 5), (200, 30, 90))
picture.putpixel((3, 2), (0, 0, 0))
for name, image, fmt in [("seed.jpg", picture, "JPEG"), ("seed.gif", picture.convert("P"), "GIF"),
                         ("seed.bmp", picture, "BMP"), ("seed.png", picture, "PNG"),
                         ("seed.ico", picture.resize((16, 16)), "ICO"),
                         ("seed-gray.jpg", picture.convert("L"), "JPEG"),
                         ("seed-1bit.bmp", picture.convert("1"), "BMP"),
                         ("seed.webp", picture, "WEBP"), ("seed.tiff", picture, "TIFF"),
                         ("seed.tga", picture, "TGA"), ("seed.ppm", picture, "PPM"),
                         ("seed.pgm", picture.convert("L"), "PPM"), ("seed.pbm", picture.convert("1"), "PPM")]:
    keep(name, saved(image, fmt))
keep("seed.svg", b'<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="7" '
                 b'height="5"><defs><path id="p" d="M0 0 L7 5 Z" stroke="#c83" fill="none"/></defs><rect '
                 b'width="7" height="5" fill="#1e5" opacity="0.5"/><use xlink:href="#p"/><circle cx="3" cy="2" r="2"/></svg>')
# HEIC and AVIF, which Pillow does not write: the committed corpus's.
for name in ["heic/opaque.heic", "avif/opaque.avif"]:
    with open(os.path.join(here, "..", "tests", "corpus", name), "rb") as heif:
        keep("seed." + name.split(".")[-1], heif.read())
# Big enough for the reduced readers at a 1 x 1 drawing (16 pixels a side).
stripes = Image.new("P", (40, 24))
stripes.putpalette([v for i in range(256) for v in (i, 255 - i, i // 2)])
stripes.putdata([(x // 3 + y // 2) % 16 for y in range(24) for x in range(40)])
keep("seed-stripes.gif", saved(stripes, "GIF", interlace=False))
keep("seed-stripes-interlaced.gif", saved(stripes, "GIF", interlace=True))
# A JPEG the reduced reader takes at a 1 x 1 drawing (eight pixels at 1/8).
keep("seed-stripes.jpg", saved(stripes.convert("RGB").resize((72, 64)), "JPEG"))
keep("seed-stripes.bmp", saved(stripes.convert("RGB"), "BMP"))

# The hostile pictures the tests use, as far as they fit a fuzzing input;
# not the drawings that are refused only once their time is up (each run
# would wait for it, and so would every input made of them).
OUT_OF_TIME = {"svg of four levels of twelve uses of a dashed line.svg", "pdf of forms fanning out 2^40 times.pdf",
               "pdf of a type 3 glyph that draws itself.pdf"}
with tempfile.TemporaryDirectory() as hostile:
    subprocess.run([sys.executable, os.path.join(here, "..", "tests", "hostile", "make_hostile_pictures.py"), hostile],
                   check=True, stdout=subprocess.DEVNULL)
    for name in sorted(os.listdir(hostile)):
        data = open(os.path.join(hostile, name), "rb").read()
        if len(data) <= 65536 and name not in OUT_OF_TIME:
            keep("hostile-" + re.sub(r"[^A-Za-z0-9.]+", "-", name), data)

# The files that once took minutes or gigabytes, and the animations and
# cursors that claim far more than they hold, in copies of a few KB.
with tempfile.TemporaryDirectory() as costly:
    subprocess.run([sys.executable, os.path.join(here, "..", "tests", "hostile", "make_hostile_pictures.py"), "--costly",
                    costly, "--small"], check=True, stdout=subprocess.DEVNULL)
    for name in sorted(set(os.listdir(costly)) - OUT_OF_TIME):
        keep("hostile-" + re.sub(r"[^A-Za-z0-9.]+", "-", name), open(os.path.join(costly, name), "rb").read())

# Inputs that once made fuzzing fail: a run-length bitmap of 6 x 3,801,092
# pixels, most of them skipped, that took the icon sizes over the time limit
# under the sanitizers; and one of 3,014,660 x 2.
skipping = bytearray(open(os.path.join(out, "hostile-run-length-bmp-skipping-pixels.bmp"), "rb").read())
struct.pack_into("<i", skipping, 22, 3801092)
keep("regression-rle-6x3801092.bmp", bytes(skipping))
codes = b"\xff\x03" * 600 + b"\x00\x00" + b"\xff\x05" * 600 + b"\x00\x01"
palette = bytes(v for i in range(256) for v in (i, 255 - i, i // 2, 0))
header = b"BM" + struct.pack("<IHHI", 54 + len(palette) + len(codes), 0, 0, 54 + len(palette))
header += struct.pack("<IiiHHIIiiII", 40, 3014660, 2, 1, 8, 1, len(codes), 0, 0, 256, 0)
keep("regression-rle-3014660x2.bmp", header + palette + codes)
