#!/usr/bin/env python3
"""Writes one picture in each format Tervana reads besides JPEG, GIF, BMP and
PNG, as other tools write them, for the tests that compare Tervana's reading
with Pillow's.

Usage: make_format_pictures.py OUTDIR [CONVERT]

Prints the name of each file written, and, after a tab, that of a picture
that shows what it holds where Pillow shows it otherwise (it clips samples
of more than 16 bits). CONVERT, ImageMagick's convert, adds the files only it
writes (a TGA without a footer, cursors, TIFFs of 12, 16 and 32 bits, tiles
and planes)."""
import os
import struct
import subprocess
import sys

from PIL import Image, ImageDraw


def pattern(mode, width=23, height=17):
    # Every pixel differs from its neighbours, so flips and shifts show.
    image = Image.new("RGBA", (width, height))
    image.putdata([((x * 37 + y * 11) % 256, (y * 29 + x * 3) % 256, (x * y * 7 + 40) % 256,
                    255 if mode != "RGBA" else (x * 23 + y * 13) % 256) for y in range(height) for x in range(width)])
    draw = ImageDraw.Draw(image)
    draw.rectangle([2, 2, 6, 5], fill=(0, 0, 0, 255))
    return image.convert(mode)


def main():
    out = sys.argv[1]
    convert = sys.argv[2] if len(sys.argv) > 2 else ""
    os.makedirs(out, exist_ok=True)
    written = []

    def save(name, image, fmt, **options):
        image.save(os.path.join(out, name), fmt, **options)
        written.append(name)

    save("lossless.webp", pattern("RGBA"), "WEBP", lossless=True)
    save("lossy.webp", pattern("RGB", 64, 48), "WEBP", quality=70)
    save("lzw.tiff", pattern("RGB"), "TIFF", compression="tiff_lzw")
    save("alpha.tif", pattern("RGBA"), "TIFF")
    save("grey.tif", pattern("L"), "TIFF")
    save("three pages.tiff", pattern("RGB"), "TIFF", save_all=True,
         append_images=[pattern("L", 5, 5), pattern("RGB", 40, 40)])
    save("footer.tga", pattern("RGB"), "TGA")
    save("alpha footer.tga", pattern("RGBA"), "TGA")
    save("run-length.tga", pattern("RGB"), "TGA", compression="tga_rle")
    save("run-length alpha.tga", pattern("RGBA"), "TGA", compression="tga_rle")
    save("grey.tga", pattern("L"), "TGA")
    save("run-length grey.tga", pattern("L"), "TGA", compression="tga_rle")
    save("colour-mapped.tga", pattern("RGB").quantize(200), "TGA")
    save("run-length colour-mapped.tga", pattern("RGB").quantize(200), "TGA", compression="tga_rle")
    save("grey and alpha.tga", pattern("LA"), "TGA")
    save("run-length grey and alpha.tga", pattern("LA"), "TGA", compression="tga_rle")
    for name, coded in (("right to left.tga", False), ("run-length right to left.tga", True)):
        # Pillow writes only left to right: these are stored right to left,
        # top row first, by hand.
        image = pattern("RGB", 5, 3)
        rows = [bytes(b for x in reversed(range(5)) for b in reversed(image.getpixel((x, y)))) for y in range(3)]
        pixels = b"".join(rows)
        if coded:  # every pixel a raw packet of one
            pixels = b"".join(bytes((0,)) + pixels[i:i + 3] for i in range(0, len(pixels), 3))
        header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10 if coded else 2, 0, 0, 0, 0, 0, 5, 3, 24, 0x30)
        with open(os.path.join(out, name), "wb") as handle:
            handle.write(header + pixels)
        written.append(name)
    save("black and white.pbm", pattern("1"), "PPM")
    save("grey.pgm", pattern("L"), "PPM")
    save("colour.ppm", pattern("RGB"), "PPM")
    with open(os.path.join(out, "plain.ppm"), "w") as handle:
        handle.write("P3\n# written by hand\n3 2\n255\n255 0 0  0 255 0  0 0 255\n0 0 0  128 128 128  255 255 255\n")
    written.append("plain.ppm")
    if convert:
        for name, options in [("no footer.tga", []), ("cursor.cur", [])]:
            source = os.path.join(out, "source.png")
            pattern("RGBA" if name.endswith(".cur") else "RGB", 32 if name.endswith(".cur") else 23,
                    32 if name.endswith(".cur") else 17).save(source)
            subprocess.run([convert, source] + options + [os.path.join(out, name)], check=True)
            os.remove(source)
            written.append(name)
        pattern("RGB").save(os.path.join(out, "colour reference.png"))
        pattern("L").save(os.path.join(out, "grey reference.png"))
        pattern("1").save(os.path.join(out, "black and white reference.png"))
        tiles = ["-define", "tiff:tile-geometry=16x16"]
        for name, reference, options in [
                ("16-bit RGB.tif", "colour", ["-depth", "16"]),
                ("16-bit RGB, tiles, planes apart.tif", "colour", ["-depth", "16", "-interlace", "plane"] + tiles),
                ("tiles, planes apart.tif", "colour", ["-interlace", "plane"] + tiles),
                ("12-bit grey.tif", "grey", ["-depth", "12"]),
                ("32-bit grey.tif", "grey", ["-depth", "32"]),
                ("32-bit floating-point grey.tif", "grey", ["-depth", "32", "-define", "quantum:format=floating-point"]),
                ("1-bit cursor.cur", "black and white", []),
                ("8-bit grey cursor.cur", "grey", [])]:
            source = os.path.join(out, f"{reference} reference.png")
            subprocess.run([convert, source] + options + [os.path.join(out, name)], check=True)
            written.append(f"{name}\t{reference} reference.png" if name.endswith("grey.tif") else name)
    for name in written:
        print(name)


if __name__ == "__main__":
    main()
