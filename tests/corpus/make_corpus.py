#!/usr/bin/env python3
"""Wrote the committed corpus of tests/corpus/: a few small pictures of each
format, each beside NAME.expected.png, the picture it must read as. It is
kept to say how the files were made; the tests never run it.

Usage: make_corpus.py OUTDIR CONVERT TERVANA_CONVERT

The pictures come from the generators the tests already use
(tests/formats/make_format_pictures.py, tests/formats/make_icons.py), from
Pillow and ImageMagick (CONVERT), and, for the kinds no other tool here
writes or reads (animated cursors, Xcursor files), from TERVANA_CONVERT.
Each expected picture is Pillow's reading of the file, or where Pillow
cannot read it, the picture the file was made from; for PDF documents,
poppler's pdftocairo's drawing of the first page. Prints, for each file,
what its expected picture comes from."""
import io
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
FORMATS = os.path.join(HERE, "..", "formats")


def pattern(mode, width=23, height=17):
    # As make_format_pictures.py draws it: every pixel differs from its neighbours.
    image = Image.new("RGBA", (width, height))
    image.putdata([((x * 37 + y * 11) % 256, (y * 29 + x * 3) % 256, (x * y * 7 + 40) % 256,
                    255 if mode != "RGBA" else (x * 23 + y * 13) % 256) for y in range(height) for x in range(width)])
    ImageDraw.Draw(image).rectangle([2, 2, 6, 5], fill=(0, 0, 0, 255))
    return image.convert(mode)


def blocks(mode, width=48, height=32):
    # Flat areas of distinct colours on a gentle gradient, and in RGBA a
    # clear corner and a half-clear one: what lossy coding keeps well.
    image = Image.new("RGBA", (width, height))
    image.putdata([(x * 5, y * 7, 128, 255) for y in range(height) for x in range(width)])
    draw = ImageDraw.Draw(image)
    draw.rectangle([8, 8, 23, 15], fill=(220, 30, 40, 255))
    draw.rectangle([24, 16, 39, 31], fill=(30, 160, 60, 255))
    if mode == "RGBA":
        draw.rectangle([32, 0, 47, 7], fill=(0, 0, 0, 0))
        draw.rectangle([0, 24, 15, 31], fill=(40, 60, 200, 128))
    return image.convert(mode)


def keyed(width, height):
    # Opaque colours and clear pixels only, which every cursor format keeps exactly.
    image = pattern("RGB", width, height).convert("RGBA")
    ImageDraw.Draw(image).rectangle([0, 0, width // 3, height // 3], fill=(0, 0, 0, 0))
    return image


def heif_boxes(data):
    # The boxes of an ISOBMFF block as (type, body), 32-bit lengths only.
    found, at = [], 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        found.append((kind, data[at + 8:at + length]))
        at += length
    return found


def heif_box(kind, body):
    return struct.pack(">I4s", 8 + len(body), kind) + body


def heif_moved(iloc, delta):
    # The item locations with every offset into the file moved by `delta`.
    version, sizes, base_size, count = iloc[0], iloc[4], iloc[5], struct.unpack(">H", iloc[6:8])[0]
    offset_size, length_size, base_size, index_size = sizes >> 4, sizes & 15, base_size >> 4, base_size & 15
    out, at = bytearray(iloc[:8]), 8
    field = lambda width, value: value.to_bytes(width, "big")  # noqa: E731
    for _ in range(count):
        head = 6 if version else 4
        item_id, construction = iloc[at:at + 2], iloc[at + 3] & 15 if version else 0
        shift = delta if construction == 0 else 0
        out += iloc[at:at + head]
        at += head
        base = int.from_bytes(iloc[at:at + base_size], "big")
        out += field(base_size, base + shift if base_size else 0)
        at += base_size
        extents = struct.unpack(">H", iloc[at:at + 2])[0]
        out += iloc[at:at + 2]
        at += 2
        for _ in range(extents):
            index = index_size if version else 0
            offset = int.from_bytes(iloc[at + index:at + index + offset_size], "big")
            out += iloc[at:at + index] + field(offset_size, offset + (0 if base_size else shift))
            at += index + offset_size
            out += iloc[at:at + length_size]
            at += length_size
    return bytes(out)


def heif_turned(data, quarter_turns):
    """The file with an irot property (turned `quarter_turns` anticlockwise)
    given to its primary picture and its thumbnails; the data after the
    meta box moved by the bytes added."""
    top = heif_boxes(data)
    meta = dict(top)[b"meta"]
    children = heif_boxes(meta[4:])
    primary = struct.unpack(">H", dict(children)[b"pitm"][4:6])[0]
    iref = heif_boxes(dict(children)[b"iref"][4:])
    turned = {primary} | {struct.unpack(">H", body[:2])[0] for kind, body in iref if kind == b"thmb"}
    ipco, ipma = dict(heif_boxes(dict(children)[b"iprp"]))[b"ipco"], dict(heif_boxes(dict(children)[b"iprp"]))[b"ipma"]
    index = len(heif_boxes(ipco)) + 1
    ipco += heif_box(b"irot", bytes([quarter_turns]))
    entries, at, out = struct.unpack(">I", ipma[4:8])[0], 8, bytearray(ipma[:8])
    for _ in range(entries):
        item, count = struct.unpack(">HB", ipma[at:at + 3])
        out += struct.pack(">HB", item, count + (item in turned)) + ipma[at + 3:at + 3 + count]
        out += bytes([0x80 | index]) if item in turned else b""
        at += 3 + count
    iprp = heif_box(b"ipco", ipco) + heif_box(b"ipma", bytes(out))
    grown = len(iprp) + 8 - len(dict(children)[b"iprp"]) - 8
    rebuilt = b"".join(heif_box(kind, iprp if kind == b"iprp" else heif_moved(body, grown) if kind == b"iloc" else body)
                       for kind, body in children)
    return b"".join(heif_box(kind, meta[:4] + rebuilt if kind == b"meta" else body) for kind, body in top)


def make_pdf_documents(work, take):
    """PDF documents drawn by cairo (rsvg-convert -f pdf): the logo of
    tests/formats/logo.svg, the same bytes named as an Illustrator file, and
    two pages, one a drawing. Each is expected as pdftocairo draws its first
    page at 96 pixels an inch, what it leaves unpainted transparent."""
    second = os.path.join(work, "green.svg")
    with open(second, "w") as handle:
        handle.write("<svg xmlns='http://www.w3.org/2000/svg' width='30' height='30'>"
                     "<circle cx='15' cy='15' r='12' fill='#20a040'/></svg>")
    first = os.path.join(work, "squares.svg")
    for name, drawings in [("logo.pdf", [os.path.join(FORMATS, "logo.svg")]), ("two pages.pdf", [first, second])]:
        document = os.path.join(work, name)
        subprocess.run(["rsvg-convert", "-f", "pdf", "-o", document] + drawings, check=True)
        expected = os.path.join(work, name + "-page1")
        subprocess.run(["pdftocairo", "-png", "-transp", "-r", "96", "-singlefile", "-f", "1", "-l", "1",
                        document, expected], check=True)
        take("pdf", document, name.replace(" ", "-"), expected + ".png")
    take("pdf", os.path.join(work, "logo.pdf"), "logo.ai", os.path.join(work, "logo.pdf-page1.png"))


def main():
    out, convert, tervana = sys.argv[1:4]
    work = tempfile.mkdtemp()
    made = []  # (folder, name, source of the expected picture: a path, or None for Pillow's reading)

    def take(folder, path, name, expected=None):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        shutil.copyfile(path, os.path.join(out, folder, name))
        made.append((folder, name, expected))

    def save(folder, name, image, fmt, **options):
        path = os.path.join(work, name)
        image.save(path, fmt, **options)
        take(folder, path, name)

    generated = os.path.join(work, "generated")
    subprocess.run([sys.executable, os.path.join(FORMATS, "make_format_pictures.py"), generated, convert], check=True,
                   stdout=subprocess.DEVNULL)
    icons = os.path.join(work, "icons")
    subprocess.run([sys.executable, os.path.join(FORMATS, "make_icons.py"), icons, convert], check=True,
                   stdout=subprocess.DEVNULL)
    for folder, names in [
            ("webp", ["lossless.webp", "lossy.webp"]),
            ("tiff", ["lzw.tiff", "alpha.tif", "grey.tif", "three pages.tiff", "16-bit RGB.tif",
                      "tiles, planes apart.tif"]),
            ("tga", ["footer.tga", "run-length alpha.tga", "grey.tga", "run-length colour-mapped.tga",
                     "grey and alpha.tga", "right to left.tga", "no footer.tga"]),
            ("pbm-pgm-ppm", ["black and white.pbm", "grey.pgm", "colour.ppm", "plain.ppm"]),
            ("ico-cur", ["cursor.cur", "1-bit cursor.cur"])]:
        for name in names:
            take(folder, os.path.join(generated, name), name.replace(", ", "-").replace(" ", "-"))
    for name in ["depths.ico", "pillow.ico"]:
        take("ico-cur", os.path.join(icons, name), name)

    save("bmp", "24-bit.bmp", pattern("RGB"), "BMP")
    save("bmp", "8-bit.bmp", pattern("RGB").quantize(200), "BMP")
    rle = os.path.join(work, "run-length-8-bit.bmp")
    subprocess.run([convert, os.path.join(out, "bmp", "8-bit.bmp"), "-compress", "RLE", "BMP3:" + rle], check=True)
    take("bmp", rle, "run-length-8-bit.bmp")
    save("jpeg", "baseline.jpg", pattern("RGB", 32, 24), "JPEG", quality=90)
    save("jpeg", "progressive.jpg", pattern("RGB", 32, 24), "JPEG", quality=80, progressive=True)
    save("jpeg", "grey.jpg", pattern("L", 32, 24), "JPEG")
    save("gif", "colours.gif", pattern("RGB").quantize(200), "GIF")
    save("gif", "transparent.gif", pattern("RGB").quantize(64), "GIF", transparency=0)
    save("gif", "two-frames.gif", pattern("RGB"), "GIF", save_all=True,
         append_images=[pattern("L").convert("RGB")], duration=100)
    # JPEG 2000, lossless (Pillow's default): a .jp2 file of each kind of
    # pixel, and a bare codestream.
    save("jpeg 2000", "colour.jp2", pattern("RGB"), "JPEG2000")
    save("jpeg 2000", "alpha.jp2", pattern("RGBA"), "JPEG2000")
    save("jpeg 2000", "grey.j2k", pattern("L"), "JPEG2000", no_jp2=True)
    # And one written by OpenJPEG's own encoder, lossless (its default), read
    # as the picture it was made from.
    known = os.path.join(work, "opj-source.png")
    pattern("RGB", 48, 32).save(known)
    subprocess.run(["opj_compress", "-i", known, "-o", os.path.join(work, "opj-compress.jp2")], check=True,
                   stdout=subprocess.DEVNULL)
    take("jpeg 2000", os.path.join(work, "opj-compress.jp2"), "opj-compress.jp2", known)
    # Photoshop files, written by ImageMagick from a known picture, each
    # read as that picture: in run lengths (ImageMagick's default) and raw,
    # grey, CMYK, with transparency, of 16 bits a sample, and a large
    # document (.psb).
    def photoshop(name, source, *options, expected=None):
        path = os.path.join(work, name)
        subprocess.run([convert, source, *options, ("PSB:" if name.endswith(".psb") else "") + path], check=True)
        take("psd", path, name, expected or source)

    def known(name, image):
        path = os.path.join(work, name)
        image.save(path)
        return path

    colour, grey, alpha = (known(f"{mode}.png", pattern(mode, 48, 32)) for mode in ("RGB", "L", "RGBA"))
    photoshop("colour.psd", colour)
    photoshop("raw.psd", colour, "-compress", "none")
    photoshop("grey.psd", grey)
    photoshop("alpha.psd", alpha)
    photoshop("grey-alpha.psd", known("LA.png", pattern("RGBA", 48, 32).convert("LA")))
    photoshop("cmyk.psd", colour, "-colorspace", "CMYK")
    photoshop("colour.psb", colour)
    # 16-bit samples that are not 8-bit ones repeated, read rounded to the
    # nearest 8-bit level.
    deep = [min(65535, max(0, v * 257 + (i * 97) % 257 - 128)) for i, v in enumerate(pattern("RGB", 48, 32).tobytes())]
    with open(os.path.join(work, "deep.ppm"), "wb") as handle:
        handle.write(b"P6 48 32 65535\n" + struct.pack(f">{len(deep)}H", *deep))
    rounded = Image.frombytes("RGB", (48, 32), bytes((v * 255 + 32767) // 65535 for v in deep))
    photoshop("16-bit.psd", os.path.join(work, "deep.ppm"), "-depth", "16", expected=known("rounded.png", rounded))
    photoshop("16-bit.psb", os.path.join(work, "deep.ppm"), "-depth", "16", "-compress", "RLE", expected=known("rounded.png", rounded))
    photoshop("indexed.psd", known("indexed.png", pattern("RGB", 48, 32).quantize(50).convert("RGB")),
              "-type", "Palette")
    # ImageMagick writes no bitmap (1 bit a pixel, 1 for black): one by
    # hand, raw, with empty sections.
    ink = pattern("L", 48, 32).convert("1")
    with open(os.path.join(work, "bitmap.psd"), "wb") as handle:
        handle.write(b"8BPS" + struct.pack(">H6xHIIHH", 1, 1, 32, 48, 1, 0) + bytes(12) + struct.pack(">H", 0)
                     + bytes(b ^ 0xFF for b in ink.tobytes()))
    take("psd", os.path.join(work, "bitmap.psd"), "bitmap.psd", known("bitmap.png", ink.convert("RGB")))

    # HEIC and AVIF, written by libheif's heif-enc (x265 and aom): "lossless"
    # ones in RGB without subsampling, a turned one with a thumbnail (an
    # irot property added), which reads upright, and lossy ones. Each
    # expected picture is libheif's reading (heif-convert), at least 40 dB
    # from the picture the file was made from, turned as it says.
    def heif(folder, name, image, options, quarter_turns=0):
        source, path, decoded = (os.path.join(work, name + ending) for ending in (".png", "", ".decoded.png"))
        image.save(source)
        subprocess.run(["heif-enc", *options, "-o", path, source], check=True, stdout=subprocess.DEVNULL)
        if quarter_turns:
            with open(path, "rb") as handle:
                turned = heif_turned(handle.read(), quarter_turns)
            with open(path, "wb") as handle:
                handle.write(turned)
        subprocess.run(["heif-convert", path, decoded], check=True, stdout=subprocess.DEVNULL)
        made = image.rotate(90 * quarter_turns, expand=True).convert("RGBA").convert("RGBa").tobytes()
        read = Image.open(decoded).convert("RGBA").convert("RGBa").tobytes()
        mean = sum((a - b) ** 2 for a, b in zip(made, read)) / len(made) if len(made) == len(read) else 255 ** 2
        psnr = 10 * math.log10(255 ** 2 / max(mean, 1e-9))
        assert psnr >= 40, f"{name} is {psnr:.1f} dB from its picture"
        print(f"{folder}/{name}\t{psnr:.1f} dB from the picture it was made from")
        take(folder, path, name, decoded)

    lossless = ["-L", "-p", "chroma=444", "--matrix_coefficients=0"]
    heif("heic", "alpha.heic", blocks("RGBA"), lossless)
    heif("avif", "alpha.avif", blocks("RGBA"), lossless + ["-A"])
    heif("heic", "turned.heic", blocks("RGB"), lossless + ["-t", "24"], quarter_turns=1)
    heif("heic", "opaque.heic", blocks("RGB"), ["-q", "90"])
    heif("avif", "opaque.avif", blocks("RGB"), ["-q", "90", "-A"])
    save("png", "alpha.png", pattern("RGBA"), "PNG")
    save("png", "grey.png", pattern("L"), "PNG")
    save("png", "palette.png", pattern("RGB").quantize(100), "PNG")
    # macOS icon families, written element by element: PNG elements of 16
    # and 32 pixels, and a 16-pixel one in run lengths (every run a literal
    # of up to 128 bytes) with its 8-bit mask.
    def element(kind, data):
        return kind + struct.pack(">I", 8 + len(data)) + data

    def family(name, elements):
        path = os.path.join(work, name)
        body = b"".join(element(kind, data) for kind, data in elements)
        with open(path, "wb") as handle:
            handle.write(b"icns" + struct.pack(">I", 8 + len(body)) + body)
        take("icns", path, name)

    def png_bytes(image):
        buffer = io.BytesIO()
        image.save(buffer, "PNG")
        return buffer.getvalue()

    def literal_runs(channel):
        return b"".join(bytes((len(channel[i:i + 128]) - 1,)) + channel[i:i + 128] for i in range(0, len(channel), 128))

    family("png-elements.icns", [(b"icp4", png_bytes(keyed(16, 16))), (b"icp5", png_bytes(keyed(32, 32)))])
    small = keyed(16, 16)
    family("run-length.icns", [(b"is32", b"".join(literal_runs(band.tobytes()) for band in small.split()[:3])),
                               (b"s8mk", small.split()[3].tobytes())])

    # Cursors of the kinds only Tervana writes here, each from a picture of
    # opaque colours and clear pixels, which it must read back as it was.
    source = os.path.join(work, "keyed.png")
    keyed(24, 24).save(source)
    for folder, option, name in [("xcursor", "--xcursor", "keyed"), ("ani", "--ani", "keyed.ani")]:
        subprocess.run([tervana, option, "--sizes", "24", source, "-o", os.path.join(work, name)], check=True)
        take(folder, os.path.join(work, name), name, source)

    drawing = os.path.join(work, "squares.svg")
    with open(drawing, "w") as handle:
        handle.write("<svg xmlns='http://www.w3.org/2000/svg' width='20' height='12'>"
                     "<rect width='20' height='12' fill='#2a6fdb'/><rect x='3' y='2' width='8' height='6' fill='#ffd23f'/>"
                     "<rect x='12' y='4' width='5' height='5' fill='#e4572e' fill-opacity='0.5'/></svg>")
    rendered = os.path.join(work, "squares-rsvg.png")
    subprocess.run(["rsvg-convert", drawing, "-o", rendered], check=True)
    take("svg", drawing, "squares.svg", rendered)
    make_pdf_documents(work, take)

    for folder, name, expected in made:
        target = os.path.join(out, folder, name + ".expected.png")
        if expected:
            shutil.copyfile(expected, target)
            print(f"{folder}/{name}\tthe picture it was made from")
        else:
            with Image.open(os.path.join(out, folder, name)) as image:
                if name.endswith(".ico"):
                    # An icon reads as its first image, as Windows and Qt
                    # read it; Pillow opens the largest unless told.
                    with open(os.path.join(out, folder, name), "rb") as handle:
                        width, height = handle.read(8)[6:8]
                    image.size = (width or 256, height or 256)
                image.convert("RGBA").save(target)
            print(f"{folder}/{name}\tPillow")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
