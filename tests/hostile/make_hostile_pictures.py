#!/usr/bin/env python3
"""Writes a set of bad and awkward picture files into a folder, for the tests
that check Tervana refuses them cleanly or converts them correctly.

Usage: make_hostile_pictures.py OUTDIR
       make_hostile_pictures.py --cuts OUTDIR
       make_hostile_pictures.py --shapes OUTDIR [--small]
       make_hostile_pictures.py --costly OUTDIR [--small]

Prints one line per file: "<expect> <name>", where expect is "ok" (a
readable picture), "refused" (must be refused with a message), "either"
(a damaged picture: a clear message or a correct icon are both fine) or
"cut" (a picture cut short, which must be refused as such). With --cuts it
writes only pictures of every format cut short at many places. With
--shapes it writes pictures of the worst shapes, 1 x N and N x 1 with N up
to what a file of a few megabytes holds, and prints "<megabytes> <name>":
the most memory a conversion of it may take, 64 MB and 4 bytes for each
pixel that must be decoded whole. With --costly it writes the files that
once took minutes or gigabytes (icons of many entries or of images larger
than their entries say, JPEGs of many scans or of many coefficients), and
animations and cursors (animated and Linux ones too) that claim far more
than they hold, and prints "<expect> <megabytes> <name>", the megabytes as
for --shapes (and 2 bytes for each coefficient a JPEG decoded whole keeps),
or "<megabytes>,<milliseconds>" where processor time is bounded too; with
--small, copies a fuzzing input can hold."""
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


def gif_placed_with_own_colours(width, height):
    # A 2 x 2 first image with a colour table of its own (red, blue), placed
    # on a larger screen whose background index names a colour of the
    # global table: a reader that looks the background up in the image's
    # table before reading it shows whatever memory held.
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 1, 0) + b"\x00\x00\x00\x00\xff\x00"
    bits, count, packed = 0, 0, bytearray()
    for code in (4, 0, 0, 0, 0, 5):  # clear, four pixels of index 0, end, 3 bits each
        bits |= code << count
        count += 3
        while count >= 8:
            packed.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    packed.append(bits & 0xFF)
    data = bytes([2, len(packed)]) + bytes(packed) + b"\x00"
    image = b"\x2c" + struct.pack("<HHHHB", width // 3, height // 3, 2, 2, 0x80) + b"\xff\x00\x00\x00\x00\xff" + data
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


def rle8_bitmap(width, height, rows):
    # An 8-bit run-length coded bitmap: a grey palette, then the coded rows.
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(data), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + palette + data


def gif_with_short_data(width, height):
    # A whole GIF (every block, the trailer) whose coded pixels stop after
    # two: the rest of the image is never drawn.
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\x10\x20\x30\xe0\xd0\xc0"
    codes, bits, value = [4, 1, 1, 5], 0, 0  # clear, pixel 1, pixel 1, end; 3 bits each
    for i, code in enumerate(codes):
        value |= code << (3 * i)
        bits += 3
    data = value.to_bytes((bits + 7) // 8, "little")
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x02" + bytes((len(data),)) + data + b"\x00"
    return head + image + b"\x3b"


def png_with_short_data(image):
    # A PNG whose every chunk is whole, but whose pixel data stops halfway.
    import zlib
    data = encoded(image, "PNG")
    start = data.index(b"IDAT") - 4
    length = struct.unpack(">I", data[start:start + 4])[0]
    pixels = zlib.decompress(data[start + 8:start + 8 + length])
    short = zlib.compress(pixels[: len(pixels) // 2])
    chunk = struct.pack(">I", len(short)) + b"IDAT" + short + struct.pack(">I", zlib.crc32(b"IDAT" + short))
    return data[:start] + chunk + data[start + 12 + length:]


def cuts(data, name, extension, whole_from=None):
    # Places in a small file's head, then places spread over the rest; none
    # from `whole_from` on, where all that is missing comes after the picture.
    end = whole_from or len(data)
    places = sorted(set(list(range(2, min(end, 64), 3)) + [end * k // 23 for k in range(1, 23)] + [end - 1, end - 2]))
    return [(f"{name} cut at {place}.{extension}", data[:place]) for place in places if 2 <= place < end]


def cut_set():
    picture = photo(120, 80)
    small_icon = io.BytesIO()
    picture.save(small_icon, "ICO", sizes=[(32, 32), (16, 16)])
    rle = rle8_bitmap(4, 2, [b"\x04\x80\x00\x00", b"\x02\x40\x00\x03\x10\x20\x30\x00\x00\x01"])
    gif = encoded(picture.convert("P"), "GIF")
    samples = [
        ("bmp", "bmp", encoded(picture, "BMP"), None),
        ("run-length bmp", "bmp", rle, None),
        ("jpeg", "jpg", encoded(picture, "JPEG", quality=90), None),
        ("progressive jpeg", "jpg", encoded(picture, "JPEG", progressive=True), None),
        ("gif", "gif", gif, len(gif) - 1),  # the trailer follows the one image
        ("png", "png", encoded(picture, "PNG"), None),
        ("icon", "ico", small_icon.getvalue(), None),
        ("psd", "psd", psd_of(40, 24, channels=4, layer_count=-1, data=psd_rows(40, 24, 4, psd_zeros(40))), None),
        ("raw psb", "psb", psd_of(40, 24, large=True, data=b"\x00\x00" + bytes(40 * 24 * 3)), None),
    ] + [(name, name, heif_corpus(f"{name}/opaque.{name}"), None) for name in ("heic", "avif")]
    files = []
    for name, extension, data, whole_from in samples:
        files += [("cut", cut_name, cut) for cut_name, cut in cuts(data, name, extension, whole_from)]
    return files


def claiming(data, frame_marker, width, height, before_frame=b""):
    # A whole small JPEG whose frame header claims another size, with bytes
    # the decoder skips (a fill byte, a stray byte) put before that header.
    data = bytearray(data)
    frame = data.index(frame_marker)
    struct.pack_into(">HH", data, frame + 5, height, width)
    return bytes(data[:frame] + before_frame + data[frame:])


def progressive_claiming(width, height, before_frame=b""):
    return claiming(encoded(photo(16, 16), "JPEG", progressive=True), b"\xff\xc2", width, height, before_frame)


def several_scans_claiming(width, height):
    # A baseline JPEG whose first scan holds one colour component of three:
    # the decoder must keep every coefficient until the last scan.
    data = bytearray(claiming(encoded(photo(16, 16), "JPEG", quality=90), b"\xff\xc0", width, height))
    scan = data.index(b"\xff\xda")
    length, count = struct.unpack(">HB", data[scan + 2:scan + 5])
    one = struct.pack(">HB", 6 + 2, 1) + data[scan + 5:scan + 7] + data[scan + 2 + length - 3:scan + 2 + length]
    return bytes(data[:scan + 2] + one + data[scan + 2 + length:])


def bitmap_reading_past_its_offset(bits, colours_claimed, offset, cut):
    # The pixel offset points into the headers or the palette, or the palette
    # claims more colours than it holds: decoders read the pixels only after
    # the palette, so the file is shorter than they need.
    width = height = 40
    stride = (width * bits + 31) // 32 * 4
    palette_entries = colours_claimed or (1 << bits if bits <= 8 else 0)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 2835, 2835, colours_claimed, 0)
    palette = b"".join(bytes((i * 7 % 256, (255 - i) % 256, i * 3 % 256, 0)) for i in range(min(palette_entries, 256)))
    pixels = bytes((x * 13 + y * 7) % 256 for y in range(height) for x in range(stride))
    data = b"BM" + struct.pack("<IHHI", 0, 0, 0, offset) + info + palette + pixels
    return data[:len(data) - cut]


SVG_OPEN = '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64">'


def svg(body, head=""):
    return (head + SVG_OPEN + body + "</svg>").encode()


def svg_entity_bomb():
    entities = '<!ENTITY a0 "laugh laugh laugh laugh laugh laugh laugh laugh">' + "".join(
        f'<!ENTITY a{i} "{("&a%d;" % (i - 1)) * 10}">' for i in range(1, 10))
    return svg('<text x="0" y="20">&a9;</text>', f"<?xml version=\"1.0\"?><!DOCTYPE svg [{entities}]>")


def svg_use_fan_out(levels):
    # Each level draws the one below twice: 2^levels rectangles from a few KB.
    defs = '<rect id="u0" width="1" height="1" fill="red"/>' + "".join(
        f'<g id="u{i}"><use xlink:href="#u{i - 1}"/><use xlink:href="#u{i - 1}" x="1"/></g>' for i in range(1, levels + 1))
    return svg(f'<defs>{defs}</defs><use xlink:href="#u{levels}"/>')


def gzip_bytes(data):
    import gzip
    return gzip.compress(data, 9)


def tiff_with_pages(pages):
    # One 2 x 2 strip, then `pages` directories that all point at it, each
    # linked to the next.
    entries = [(256, 3, 1, 2), (257, 3, 1, 2), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (273, 4, 1, 8), (277, 3, 1, 1), (278, 3, 1, 2), (279, 4, 1, 4)]
    strip = bytes((0, 255, 255, 0))
    size = 2 + 12 * len(entries) + 4
    out = bytearray(b"II*\x00" + struct.pack("<I", 12) + strip)
    for page in range(pages):
        following = 12 + (page + 1) * size if page + 1 < pages else 0
        out += struct.pack("<H", len(entries))
        for tag, kind, count, value in entries:
            out += struct.pack("<HHII", tag, kind, count, value)
        out += struct.pack("<I", following)
    return bytes(out)


def tiff_with_giant_strip():
    # A 4000 x 4000 grey picture whose one strip claims 16 MB, in a file of
    # a few hundred bytes.
    data = bytearray(tiff_with_pages(1))
    struct.pack_into("<HHII", data, 8 + 4 + 2, 256, 4, 1, 4000)
    struct.pack_into("<HHII", data, 8 + 4 + 2 + 12, 257, 4, 1, 4000)
    struct.pack_into("<HHII", data, 8 + 4 + 2 + 12 * 7, 278, 4, 1, 4000)
    struct.pack_into("<HHII", data, 8 + 4 + 2 + 12 * 8, 279, 4, 1, 16_000_000)
    return bytes(data)


def tiff_with_one_tile(width, height, tile, byte_count):
    # A grey picture in tiles of tile x tile pixels, the one tile listed
    # claiming byte_count bytes of a file of a hundred.
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (277, 3, 1, 1), (322, 4, 1, tile), (323, 4, 1, tile), (324, 4, 1, 8), (325, 4, 1, byte_count)]
    out = b"II*\x00" + struct.pack("<I", 24) + bytes(16) + struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        out += struct.pack("<HHII", tag, kind, count, value)
    return out + struct.pack("<I", 0)


def png_in_tiny_chunks(width, height):
    # An RGB picture of zeros whose compressed pixels come one byte a chunk.
    import zlib
    data = png_of_zeros(width, height, colour_type=2)
    start = data.index(b"IDAT") - 4
    length = struct.unpack(">I", data[start:start + 4])[0]
    pixels = data[start + 8:start + 8 + length]
    chunks = b"".join(struct.pack(">I", 1) + b"IDAT" + pixels[i:i + 1] + struct.pack(">I", zlib.crc32(b"IDAT" + pixels[i:i + 1]))
                      for i in range(len(pixels)))
    return data[:start] + chunks + data[start + 12 + length:]


def webp_canvas(width, height):
    # An extended WebP whose canvas claims width x height, holding a tiny
    # lossless image.
    small = encoded(Image.new("RGB", (4, 4), (10, 200, 30)), "WEBP", lossless=True)
    vp8x = b"VP8X" + struct.pack("<I", 10) + bytes(4) + (width - 1).to_bytes(3, "little") + (height - 1).to_bytes(3, "little")
    body = b"WEBP" + vp8x + small[12:]
    return b"RIFF" + struct.pack("<I", len(body)) + body


def tga_header(width, height, image_type=2, bits=24):
    return struct.pack("<BBBHHBHHHHBB", 0, 0, image_type, 0, 0, 0, 0, 0, width, height, bits, 0x20)


def new_format_files(picture):
    webp = encoded(picture, "WEBP", quality=80)
    tga_rle = encoded(picture, "TGA", compression="tga_rle")
    svgz = gzip_bytes(svg("".join(f'<circle cx="{i % 64}" cy="{i * 7 % 64}" r="{i % 9}"/>' for i in range(200))))
    tga = tga_header(*picture.size) + picture.tobytes("raw", "BGR")  # stored top-down
    return [
        ("refused", "svg entity expansion.svg", svg_entity_bomb()),
        ("either", "svg use leading round.svg",
         svg('<g id="a"><use xlink:href="#b"/></g><g id="b"><use xlink:href="#a"/></g><use xlink:href="#a"/>')),
        ("either", "svg use of itself.svg", svg('<g id="a"><rect width="9" height="9"/><use xlink:href="#a"/></g>')),
        ("either", "svg use fanning out 2^40 times.svg", svg_use_fan_out(40)),
        ("refused", "svg nested 10000 deep.svg", svg("<g>" * 10000 + '<rect width="9" height="9"/>' + "</g>" * 10000)),
        ("either", "svg with a 10^9-pixel view box.svg",
         b'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100000 10000"><circle cx="50000" cy="5000" r="4000"/></svg>'),
        ("refused", "svg reading a file.svg",
         svg('<image width="64" height="64" xlink:href="hostile.png"/>')),
        ("refused", "svg reading a file by address.svg",
         svg('<image width="64" height="64" href="file:///etc/hostname"/>')),
        ("refused", "svg reading the network.svg",
         svg('<image width="64" height="64" xlink:href="http://127.0.0.1:9/x.png"/>')),
        ("refused", "svg using another file.svg", svg('<use xlink:href="other.svg#shape"/>')),
        ("refused", "svg embedding a 20000x20000 png.svg",
         svg('<image width="64" height="64" xlink:href="data:image/png;base64,'
             + __import__("base64").b64encode(png_of_zeros(20000, 20000)).decode() + '"/>')),
        ("refused", "svg with a style sheet instruction.svg",
         svg('<rect width="9" height="9"/>', '<?xml-stylesheet type="text/css" href="/etc/hostname"?>')),
        ("refused", "svg embedding an svg that reads a file.svg",
         svg('<image width="64" height="64" xlink:href="data:image/svg+xml;base64,'
             + __import__("base64").b64encode(svg('<image width="9" height="9" xlink:href="/etc/hostname"/>')).decode()
             + '"/>')),
        ("refused", "svg hiding a big png after a second base64.svg",
         svg('<image width="64" height="64" xlink:href="data:image/png;base64,AAAA,base64,'
             + __import__("base64").b64encode(png_of_zeros(6000, 6000)).decode() + '"/>')),
        ("refused", "svg embedding eight 4000x4000 pngs.svg",
         svg("".join('<image width="8" height="8" xlink:href="data:image/png;base64,'
                     + __import__("base64").b64encode(png_of_zeros(4000, 4000)).decode() + '"/>'
                     for _ in range(8)))),
        ("refused", "svgz of a million groups.svgz", gzip_bytes(svg("<g/>" * 1_000_000))),
        ("ok", "gif of 2 x 2 pixels with their own colours on a 30 x 20 screen.gif", gif_placed_with_own_colours(30, 20)),
        ("ok", "gif of 2 x 2 pixels with their own colours on a 3000 x 2000 screen.gif",
         gif_placed_with_own_colours(3000, 2000)),
        ("ok", "svg with text.svg", svg('<text x="4" y="40" font-size="30" fill="#236">Tv</text>')),
        ("refused", "svgz expanding to 64 MB.svgz", gzip_bytes(svg("<!--" + " " * (64 << 20) + "-->"))),
        ("cut", "svgz cut in half.svgz", svgz[: len(svgz) // 2]),
        ("refused", "svg with no size.svg", b'<svg xmlns="http://www.w3.org/2000/svg" width="0" height="0"/>'),
        ("ok", "svg logo named.png", svg('<circle cx="32" cy="32" r="28" fill="#2a6fdb"/>')),
        ("ok", "svgz logo.svgz", gzip_bytes(svg('<rect x="8" y="8" width="48" height="48" fill="#e4572e"/>'))),
        ("either", "tiff claiming 65535 pages.tif", tiff_with_pages(65535)),
        ("either", "tiff with a giant strip.tif", tiff_with_giant_strip()),
        ("refused", "tiff claims 60000x60000.tif", tiff_with_giant_strip().replace(
            struct.pack("<HHII", 256, 4, 1, 4000), struct.pack("<HHII", 256, 4, 1, 60000)).replace(
            struct.pack("<HHII", 257, 4, 1, 4000), struct.pack("<HHII", 257, 4, 1, 60000))),
        ("ok", "tiff named.jpg", encoded(picture, "TIFF")),
        ("refused", "tiff claiming one 65536x65536 tile.tif", tiff_with_one_tile(6000, 6000, 65536, 16)),
        ("refused", "tiff claiming tiles of 1 GB past its end.tif", tiff_with_one_tile(6000, 6000, 8192, 1 << 30)),
        ("ok", "png in 27000 one-byte data chunks.png", png_in_tiny_chunks(3000, 3000)),
        ("cut", "webp cut in half.webp", webp[: len(webp) // 2]),
        ("refused", "webp canvas claims 16384x16384.webp", webp_canvas(16384, 16384)),
        ("ok", "webp.webp", webp),
        ("refused", "tga claims 65535x65535.tga", tga_header(65535, 65535) + bytes(4096)),
        ("cut", "tga cut in half.tga", tga[: len(tga) // 2]),
        ("refused", "tga colour map of 255-bit entries.tga",
         struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, 4, 255, 0, 0, 2, 2, 8, 0) + bytes(4 * 32 + 4)),
        ("ok", "tga run-length coded.tga", tga_rle),
        ("cut", "tga run-length coded, cut in half.tga", tga_rle[: len(tga_rle) // 2]),
        ("ok", "tga without a footer.tga", tga),
        ("refused", "ppm claims 100000x100000.ppm", b"P6\n100000 100000\n255\n" + bytes(4096)),
        ("either", "ppm cut in half.ppm", encoded(picture, "PPM")[: 30000]),
        ("ok", "pgm sixteen bits.pgm", b"P5\n2 2\n65535\n" + struct.pack(">HHHH", 0, 20000, 40000, 65535)),
        ("ok", "pbm plain.pbm", b"P1\n4 2\n1 0 1 0\n0 1 0 1\n"),
    ]


def dashed_path(segments):
    # One path zigzagging across the drawing, dashed finer than a pixel.
    points = " ".join(f"L{(i * 37) % 100} {(i * 53) % 100}" for i in range(segments))
    return svg(f'<path d="M0 0 {points}" stroke="black" fill="none" stroke-dasharray="0.01"/>')


def data_address(kind, content):
    import base64
    return f"data:{kind};base64,{base64.b64encode(content).decode()}"


def drawing_files():
    # Drawings that ask the renderer for more than a drawing should: each is
    # refused, or drawn within the time and memory a drawing is given.
    dashed_line = '<line id="l0" x1="0" y1="0" x2="64" y2="64" stroke="black" stroke-dasharray="0.05"/>'
    uses = dashed_line + "".join(f'<g id="l{level}">' + f'<use xlink:href="#l{level - 1}"/>' * 12 + "</g>"
                                 for level in range(1, 5))
    stops = "".join(f'<stop offset="{i / 49000:.6f}" stop-color="#{i % 256:02x}80{(i * 7) % 256:02x}"/>'
                    for i in range(49000))
    two_members = gzip_bytes(svg('<rect width="64" height="32" fill="#36c"/>')[:-6]) + gzip_bytes(
        b'<rect y="32" width="64" height="32" fill="#c63"/></svg>')
    big_photo = encoded(photo(4000, 4000), "JPEG", quality=50)
    return [
        ("refused", "svg with two addresses for one image.svg",
         svg('<image width="64" height="64" href="data:" xlink:href="hostile.png"/>')),
        ("refused", "svg reading a file through a style sheet.svg",
         svg('<style>rect { fill: url(hostile.svg#paint) }</style><rect width="9" height="9"/>')),
        ("refused", "svg importing a style sheet.svg", svg('<style>@import url("/etc/hostname");</style>')),
        ("refused", "svg reading a file through a filter image.svg",
         svg('<filter id="f"><feImage href="hostile.png"/></filter><rect width="9" height="9" filter="url(#f)"/>')),
        ("refused", "svg with a base address.svg",
         svg('<g xml:base="file:///etc/"><use xlink:href="#hostname"/></g>')),
        ("refused", "svg including a file.svg",
         svg('<xi:include xmlns:xi="http://www.w3.org/2001/XInclude" href="/etc/hostname" parse="text"/>')),
        ("refused", "svg embedding a drawing as a picture.svg",
         svg('<image width="9" height="9" href="' + data_address("image/png", svg('<rect width="9" height="9"/>'))
             + '"/>')),
        ("refused", "svg embedding a 16 MP picture.svg",
         svg('<image width="64" height="64" href="' + data_address("image/jpeg", big_photo) + '"/>')),
        ("refused", "svgz of a path of 1.5 million dashed segments.svgz", gzip_bytes(dashed_path(1_500_000))),
        ("refused", "svg of 100000 dashed segments.svg", dashed_path(100_000)),
        ("refused", "svg of four levels of twelve uses of a dashed line.svg", svg(f"<defs>{uses}</defs>"
                                                                                 '<use xlink:href="#l4"/>')),
        ("either", "svg of 49990 dashed lines.svg",
         svg("".join(f'<line x1="0" y1="{i % 64}" x2="64" y2="{(i * 7) % 64}" stroke="black" '
                     'stroke-dasharray="0.1"/>' for i in range(49990)))),
        ("ok", "svg with a text area that wraps.svg",
         svg('<textArea width="60" height="60">' + "wrap " * 2000 + '</textArea><rect width="9" height="9"/>')),
        ("either", "svg of 49000 gradient stops.svg",
         svg(f'<linearGradient id="g">{stops}</linearGradient><rect width="64" height="64" fill="url(#g)"/>')),
        ("ok", "svgz of two gzip members.svgz", two_members),
        ("either", "svg of text at 10^30 pixels.svg", svg('<text x="1e30" y="1e30" font-size="1e30">x</text>')),
        ("refused", "svg of one element with 80000 attributes.svg",
         svg("<rect " + " ".join(f'a{i}="{i}"' for i in range(80000)) + ' width="9" height="9"/>')),
        ("refused", "svgz of a 7 MB embedded picture.svgz",
         gzip_bytes(svg('<image width="9" height="9" href="data:image/png,' + "%00" * ((7 << 20) // 3) + '"/>'))),
        ("ok", "svg of text over a 2 MP photo.svg",
         svg('<image width="64" height="64" href="' + data_address("image/jpeg", encoded(photo(1700, 1200), "JPEG"))
             + '"/><text x="4" y="40" font-size="30">Tv</text>')),
        ("refused", "svg importing a style sheet through escapes.svg",
         svg('<style>@\\69mport url("data:text/css,rect{fill:red}");</style><rect width="9" height="9"/>')),
        ("refused", "svg naming a document type in another file.svg",
         b'<?xml version="1.0"?><!DOCTYPE svg SYSTEM "hostile.dtd">' + svg('<rect width="9" height="9"/>')),
    ]


def png_chunk(kind, data):
    import zlib
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_of_zeros(width, height, colour_type=0, before_pixels=b""):
    # Rows of zeros, compressed as they come, so that a picture of millions
    # of rows never sits whole in memory; `before_pixels` are chunks put
    # before the pixel data.
    import zlib
    row = b"\0" + bytes(width * (3 if colour_type == 2 else 1))
    rows_at_once = max(1, (1 << 20) // len(row))  # about a megabyte at a time
    compressor = zlib.compressobj(9)
    compressed = b"".join(compressor.compress(row * min(rows_at_once, height - done))
                          for done in range(0, height, rows_at_once)) + compressor.flush()
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + before_pixels + png_chunk(b"IDAT", compressed) + png_chunk(b"IEND", b""))


def rle8_runs(width, height):
    # Every row one colour, in runs of 255 pixels.
    row = b"\xff\x03" * (width // 255) + (bytes((width % 255, 3)) if width % 255 else b"")
    return rle8_bitmap(width, height, [row + b"\x00\x00"] * (height - 1) + [row + b"\x00\x01"])


def bmp24_filled(width, height):
    stride = (width * 3 + 3) // 4 * 4
    row = b"\x30\x80\xc8" * width + b"\0" * (stride - 3 * width)
    return bmp_header(width, height)[:2] + struct.pack("<I", 54 + stride * height) + bmp_header(width, height)[6:] + row * height


def shape_files(small=False):
    # (budget, name, bytes). With `small`, the same shapes a hundredth as
    # long (no side under 2): every reader's walk over them, without the
    # bombs.
    whole = lambda pixels: 64 + 4 * pixels // (1 << 20)  # noqa: E731
    line = lambda width, height: Image.new("RGB", (width, height), (200, 120, 40))  # noqa: E731
    one_bit = lambda width, height: Image.new("1", (width, height), 1)  # noqa: E731
    pgm = lambda width, height: b"P5\n%d %d\n255\n" % (width, height) + bytes(width * height)  # noqa: E731
    svg_line = '<svg xmlns="http://www.w3.org/2000/svg" width="{}" height="{}"><rect width="100%" height="100%" fill="#c84"/></svg>'
    shapes = [
        (64, "bmp {} x {}.bmp", 6_000_000, 1, bmp24_filled),
        (64, "bmp {} x {}.bmp", 1, 6_000_000, bmp24_filled),
        (whole(40_000_000), "run-length bmp {} x {}.bmp", 20_000_000, 2, rle8_runs),
        (whole(10_000_000), "run-length bmp {} x {}.bmp", 2, 5_000_000, rle8_runs),
        (whole(2_000_000), "png {} x {}.png", 1_000_000, 2, png_of_zeros),
        (64, "png {} x {}.png", 20_000_000, 2, png_of_zeros),
        (64, "png {} x {}.png", 2, 20_000_000, png_of_zeros),
        # Read a few rows at a time, however long the rows.
        (64, "png {} x {}.png", 1_000_000, 100, png_of_zeros),
        (64, "png {} x {}.png", 100, 1_000_000, png_of_zeros),
        (64, "gif {} x {}.gif", 65535, 1, lambda w, h: encoded(line(w, h).convert("P"), "GIF")),
        (64, "gif {} x {}.gif", 1, 65535, lambda w, h: encoded(line(w, h).convert("P"), "GIF")),
        (64, "jpeg {} x {}.jpg", 65500, 1, lambda w, h: encoded(line(w, h), "JPEG")),
        (64, "jpeg {} x {}.jpg", 1, 65500, lambda w, h: encoded(line(w, h), "JPEG")),
        (whole(5_000_000), "tiff {} x {}.tif", 5_000_000, 1,
         lambda w, h: encoded(line(w, h), "TIFF", compression="tiff_adobe_deflate")),
        (whole(5_000_000), "tiff {} x {}.tif", 1, 5_000_000,
         lambda w, h: encoded(line(w, h), "TIFF", compression="tiff_adobe_deflate")),
        (64, "webp {} x {}.webp", 16383, 1, lambda w, h: encoded(line(w, h), "WEBP", lossless=True)),
        (64, "tga {} x {}.tga", 65535, 1, lambda w, h: tga_header(w, h) + b"\x28\x78\xc8" * w * h),
        (64, "pgm {} x {}.pgm", 4_000_000, 1, pgm),
        (64, "pgm {} x {}.pgm", 32767, 1, pgm),
        (64, "svg {} x {}.svg", 20_000_000, 2, lambda w, h: svg_line.format(w, h).encode()),
        (64, "svg {} x {}.svg", 1, 20_000_000, lambda w, h: svg_line.format(w, h).encode()),
        (whole(1_000_000), "icon holding a {} x {} png.ico", 1_000_000, 1, lambda w, h: icon_around(png_of_zeros(w, h))),
        # One bit a pixel, which is widened once for every size, not per size.
        (whole(36_000_000), "pbm {} x {}.pbm", 6000, 6000, lambda w, h: encoded(one_bit(w, h), "PPM")),
        (whole(36_000_000), "tiff 1-bit {} x {}.tif", 6000, 6000,
         lambda w, h: encoded(one_bit(w, h), "TIFF", compression="group4")),
        (64, "tiff 1-bit {} x {}.tif", 20000, 20000, lambda w, h: encoded(one_bit(w, h), "TIFF", compression="group4")),
    ]
    shorter = lambda side: max(side // 100, 2) if small and side > 2 else side  # noqa: E731
    return [(budget, name.format(shorter(width), shorter(height)), write(shorter(width), shorter(height)))
            for budget, name, width, height, write in shapes]


def icon_of(entries, images):
    # An icon whose directory lists `entries` (width, height, bits, which of
    # `images`), the images laid out after it, each once.
    offsets, at = [], 6 + 16 * len(entries)
    for image in images:
        offsets.append(at)
        at += len(image)
    directory = b"".join(struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(images[which]),
                                     offsets[which]) for width, height, bits, which in entries)
    return struct.pack("<HHH", 0, 1, len(entries)) + directory + b"".join(images)


def icon_bitmap(width, height, pixel):
    # A 32-bit bitmap image of an icon: its header (height doubled), the
    # colour rows, the mask rows.
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + pixel * width * height + bytes((width + 31) // 32 * 4 * height)


def jpeg_segments(data):
    # Where each marker's segment starts and ends; a scan's runs on to the
    # next marker that is not coded data or a restart.
    segments, at = [], 2
    while data[at + 1] != 0xD9:
        end = at + 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
        if data[at + 1] == 0xDA:
            while data[end] != 0xFF or data[end + 1] == 0 or 0xD0 <= data[end + 1] <= 0xD7:
                end += 1
        segments.append((data[at + 1], at, end))
        at = end
    return segments


def repeating_one_scan(side, times):
    # A progressive JPEG whose first scan of a band of coefficients comes
    # `times` more times: a few bytes each (one run of empty blocks), each
    # sending the decoder through every block of the picture again.
    data = encoded(Image.new("RGB", (side, side), (90, 140, 200)), "JPEG", progressive=True, quality=80)
    scans = [(start, end) for marker, start, end in jpeg_segments(data) if marker == 0xDA]
    start, end = next((start, end) for start, end in scans if data[start + 5 + 2 * data[start + 4]] > 0)
    return data[:-2] + data[start:end] * times + data[-2:]


def progressive_claiming_sampled(width, height, subsampling):
    return claiming(encoded(photo(16, 16), "JPEG", progressive=True, subsampling=subsampling), b"\xff\xc2", width, height)


def gif_of_frames(screen, frames):
    # An animated GIF on a screen of `screen` (width, height) whose frames
    # are each one pixel, at the places `frames` lists, each shown 50 ms.
    width, height = screen
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\x00\x00\x00\xff\xff\xff"
    loop = b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    frame = lambda x, y: (b"\x21\xf9\x04\x00\x05\x00\x00\x00" + b"\x2c" + struct.pack("<HHHHB", x, y, 1, 1, 0)  # noqa: E731
                          + b"\x02\x02\x44\x01\x00")
    return head + loop + b"".join(frame(x, y) for x, y in frames) + b"\x3b"


def riff_chunk(kind, data):
    # A RIFF chunk, padded to an even length.
    return kind + struct.pack("<I", len(data)) + data + b"\0" * (len(data) % 2)


def webp_animation(width, height, frames):
    # An animated WebP of a width x height canvas holding `frames` small
    # lossless frames spread over it: the chunks written by hand around
    # the frames Pillow encodes.
    small = encoded(Image.new("RGBA", (4, 4), (10, 200, 30, 200)), "WEBP", lossless=True)[12:]
    vp8x = struct.pack("<I", 0x12) + (width - 1).to_bytes(3, "little") + (height - 1).to_bytes(3, "little")
    anmf = lambda n: b"".join(value.to_bytes(3, "little") for value in  # noqa: E731
                              ((width - 4) * n // frames // 2, (height - 4) * n // frames // 2, 3, 3, 80)) + b"\0" + small
    body = (b"WEBP" + riff_chunk(b"VP8X", vp8x) + riff_chunk(b"ANIM", struct.pack("<IH", 0, 0))
            + b"".join(riff_chunk(b"ANMF", anmf(n)) for n in range(frames)))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def cursor_of(side, hot_spot, pixel=b"\x10\x80\xf0\xff"):
    # A cursor of one 32-bit side x side bitmap image pointing at hot_spot.
    image = icon_bitmap(side, side, pixel)
    entry = struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, *hot_spot, len(image), 22)
    return struct.pack("<HHH", 0, 2, 1) + entry + image


def ani_of(frames, rates=None, sequence=None, header_frames=None, header_steps=None, riff_extra=0, fram=None):
    # An animated cursor: its header (frames are icons, a sequence where one
    # is given), its rates and sequence where given, the frames as icon
    # chunks in a "fram" list; the counts, the RIFF size and the list are
    # those given in place of the true ones.
    steps = len(sequence) if sequence else len(frames)
    anih = struct.pack("<9I", 36, header_frames or len(frames), header_steps or steps, 0, 0, 0, 0, 6,
                       1 | (2 if sequence else 0))
    body = b"ACON" + riff_chunk(b"anih", anih)
    for kind, values in ((b"rate", rates), (b"seq ", sequence)):
        if values is not None:
            body += riff_chunk(kind, struct.pack(f"<{len(values)}I", *values))
    if fram is None:
        fram = b"fram" + b"".join(riff_chunk(b"icon", frame) for frame in frames)
    body += riff_chunk(b"LIST", fram)
    return b"RIFF" + struct.pack("<I", len(body) + riff_extra) + body


def nested_lists(depth, inner):
    # The list `inner` (its type first) inside `depth` lists of frames.
    for _ in range(depth):
        inner = b"fram" + riff_chunk(b"LIST", inner)
    return inner


def xcursor_of(images, toc=None, ntoc=None, past_end=False):
    # A Linux cursor: its header, a table of contents naming the images
    # (`toc`, which image each entry names; each once by default), then the
    # images, each (width, height, x hot, y hot, pixels as bytes). `ntoc`
    # claims another count of entries; with `past_end` the first entry
    # points beyond the end of the file.
    chunks = [struct.pack("<9I", 36, 0xFFFD0002, 32, 1, width, height, x, y, 50) + pixels
              for width, height, x, y, pixels in images]
    toc = range(len(images)) if toc is None else toc
    positions = [16 + 12 * len(toc) + sum(len(chunk) for chunk in chunks[:n]) for n in range(len(chunks))]
    places = [positions[which] + (sum(map(len, chunks)) + 4096 if past_end and n == 0 else 0)
              for n, which in enumerate(toc)]
    entries = b"".join(struct.pack("<III", 0xFFFD0002, 32, position) for position in places)
    return b"Xcur" + struct.pack("<III", 16, 0x10000, len(toc) if ntoc is None else ntoc) + entries + b"".join(chunks)


def animated_cursor_files(small):
    # Animated cursors, each whole but for one lie; read as pictures they are
    # refused, and a reader of them must refuse them in one line or read
    # them correctly. Where that reader decides, the expectation is "either".
    frames = [cursor_of(1, (0, 0)), cursor_of(1, (0, 0), b"\xf0\x10\x10\xff")]
    steps, depth, many = (300, 200, 20) if small else (65535, 10000, 2000)
    past_end = b"fram" + riff_chunk(b"icon", frames[0]) + b"icon" + struct.pack("<I", len(frames[1]) + 100000) + frames[1]
    return [
        ("refused", 64, "ani with a frame running past its end.ani", ani_of(frames, fram=past_end)),
        ("refused", 64, "ani whose riff claims more than the file.ani", ani_of(frames, riff_extra=100000)),
        ("refused", 64, "ani whose sequence names frame 50 of 2.ani", ani_of(frames, sequence=[0, 1, 50])),
        # Valid: a reader may take every step, or refuse so many.
        ("either", 64, f"ani of {steps} steps over 2 frames.ani",
         ani_of(frames, rates=[1] * steps, sequence=[n % 2 for n in range(steps)])),
        # The icon chunks are whole: a reader may count them instead.
        ("either", 64, "ani whose header claims 5 frames of 2.ani", ani_of(frames, header_frames=5)),
        ("refused", 64, "ani of 2 steps with 1 rate.ani", ani_of(frames, rates=[6], header_steps=2)),
        ("refused", 64, "ani with a frame of garbage.ani", ani_of([frames[0], b"not a cursor at all" * 4])),
        # The frames lie at the bottom of the lists: a reader that walks
        # lists within lists may find them, within its limits.
        ("either", 64, f"ani of lists {depth} deep.ani", ani_of(frames, fram=nested_lists(depth, b"fram" + b"".join(
            riff_chunk(b"icon", frame) for frame in frames)))),
        ("either" if small else "either/refused", 64, f"ani of {many} frames.ani", ani_of([cursor_of(1, (0, 0), bytes(
            (n % 256, n // 256, 7, 255))) for n in range(many)])),
    ]


def linux_cursor_files(small):
    # Linux cursors (they have no ending in a theme), each whole but for one
    # lie, for their reader as the animated cursors are.
    def square(side, x=0, y=0):
        return (side, side, x, y, b"\x80\x40\x20\x80" * side * side)
    entries = 200 if small else 10000
    return [
        ("refused", 64, "toc past the end xcursor", xcursor_of([square(8)], past_end=True)),
        ("refused", 64, "4294967295 toc entries in a short file xcursor", xcursor_of([square(8)], ntoc=0xFFFFFFFF)),
        ("refused", 64, "image claiming 32767 x 32767 xcursor", xcursor_of([(32767, 32767, 0, 0, bytes(64))])),
        ("refused", 64, "image of 0 x 0 xcursor", xcursor_of([(0, 0, 0, 0, b"")])),
        # libXcursor refuses it; taken at the image's edge it is a cursor too.
        ("either", 64, "hot spot beyond the image xcursor", xcursor_of([square(8, 65535, 65535)])),
        # Valid, if odd: the one image may be read once or many times.
        ("either", 64, f"{entries} toc entries naming one image xcursor", xcursor_of([square(8)], toc=[0] * entries)),
        ("refused", 64, "image of 65536 x 65536 xcursor", xcursor_of([(65536, 65536, 0, 0, bytes(64))])),
    ]


def icns_element(kind, data):
    return kind + struct.pack(">I", len(data) + 8) + data


def icns_of(elements, claimed=None):
    body = b"".join(elements)
    return b"icns" + struct.pack(">I", claimed if claimed is not None else len(body) + 8) + body


def icns_files(small):
    # macOS icon families that lie, or hold far more than an icon needs:
    # listed, extracted and converted, or refused in one line. Those whose
    # structure is whole list (exit 0) and are refused as pictures.
    small_png = encoded(Image.new("RGBA", (16, 16), (200, 30, 30, 128)), "PNG")
    count = 300 if small else 100_000
    return [
        ("refused", 64, "icns claiming 4 GB.icns", icns_of([icns_element(b"icp4", small_png)], 0xFFFFFFFF)),
        ("refused", 64, "icns of an element past the end.icns",
         icns_of([icns_element(b"icp4", small_png)])[:-5]),
        ("either", 64, "icns of a png claiming 100000 x 1.icns",
         icns_of([icns_element(b"ic10", png_of_zeros(100000, 1)[:33] + png_chunk(b"IEND", b""))])),
        ("either", 64, "icns of 10 pngs of 1024 x 1024.icns",
         icns_of([icns_element(b"ic10", png_of_zeros(1024, 1024, 6))] * 10)),
        ("either", 64, "icns of run-length pixels that fall short.icns", icns_of([icns_element(b"it32", b"\0" * 4 + b"\xff\x00" * 10)])),
        ("either", 64, f"icns of {count} empty elements.icns", icns_of([icns_element(b"info", b"")] * count)),
    ]


def cursor_files(small):
    # Animations and cursors that claim far more than they hold, made into
    # cursors: converted, or refused in one line. "ok/refused" is "ok" as a
    # picture and "refused" as an animation; "@far" and "@near" say where
    # every cursor made of it points: at each image's last pixel, or its
    # first.
    hot_spot = '<rect id="hotspot" x="{0}" y="{0}" width="2" height="2" fill="none"/><circle cx="32" cy="32" r="20"/>'
    frames = 100 if small else 10000
    return [
        # Each frame shows on the whole screen, past the pixels a picture
        # may have.
        ("refused", 64, "gif of 8 one-pixel frames on a 65535 x 65535 screen.gif",
         gif_of_frames((65535, 65535), [(n * 8191, n * 4093) for n in range(8)])),
        # Its first frame makes a cursor; as an animation it has too many.
        ("ok" if small else "ok/refused", 64, f"gif of {frames} one-pixel frames.gif",
         gif_of_frames((16, 16), [(n % 16, n // 16 % 16) for n in range(frames)])),
        # A valid canvas, but each frame on it is decoded whole, past the
        # pixels a picture decoded whole may have.
        ("refused", 64, "webp of 8 small frames on a 16383 x 16383 canvas.webp", webp_animation(16383, 16383, 8)),
        ("ok@far", 64, "cursor pointing at 65535,65535.cur", cursor_of(16, (65535, 65535))),
        # A marker outside the drawing points at its edge; one farther than
        # the renderer measures (it keeps places in 24 bits, so 2^24 + 10
        # would seem to lie within) makes no cursor without --hotspot.
        ("ok@far", 64, "svg marking its hot spot 1e6 right and down.svg", svg(hot_spot.format("1e6"))),
        ("ok@near", 64, "svg marking its hot spot 1e6 left and up.svg", svg(hot_spot.format("-1e6"))),
        ("refused", 64, "svg marking its hot spot 1e9 right and down.svg", svg(hot_spot.format("1e9"))),
        ("refused", 64, "svg marking its hot spot 1e9 left and up.svg", svg(hot_spot.format("-1e9"))),
        ("refused", 64, "svg marking its hot spot 16777226 right and down.svg", svg(hot_spot.format("16777226"))),
    ] + ([] if small else [
        # Within every limit: 36 million pixels a frame, each decoded whole,
        # 288 million in all (too big for a fuzzing input).
        ("ok/refused", 64 + 4 * 6000 * 6000 // (1 << 20), "gif of 8 one-pixel frames on a 6000 x 6000 screen.gif",
         gif_of_frames((6000, 6000), [(n * 700, n * 700) for n in range(8)])),
        # 81 million pixels a frame makes a picture, but eight of them more
        # pixels in all than an animation may have, though each frame holds
        # one.
        ("ok/refused", 64 + 4 * 9000 * 9000 // (1 << 20), "gif of 8 one-pixel frames on a 9000 x 9000 screen.gif",
         gif_of_frames((9000, 9000), [(n * 1100, n * 1100) for n in range(8)])),
    ]) + animated_cursor_files(small) + linux_cursor_files(small)


def jpeg2000_claiming(width, height, tile, **options):
    # A 64 x 64 codestream whose SIZ marker claims another size and tiling.
    stream = bytearray(encoded(Image.new("RGBA", (64, 64), (10, 200, 30, 255)), "JPEG2000", no_jp2=True, **options))
    struct.pack_into(">IIIIIIII", stream, stream.index(b"\xff\x51") + 6, width, height, 0, 0, tile, tile, 0, 0)
    return bytes(stream)


def jpeg2000_with(offset, layout, value):
    # A 64 x 64 codestream with one field of its SIZ marker changed.
    stream = bytearray(encoded(Image.new("RGBA", (64, 64), (10, 200, 30, 255)), "JPEG2000", no_jp2=True))
    struct.pack_into(layout, stream, stream.index(b"\xff\x4f\xff\x51") + offset, value)
    return bytes(stream)


def jpeg2000_files(small):
    # The JPEG 2000 elements of icon families, checked before the decoder
    # sets up what their header claims.
    whole = encoded(Image.new("RGBA", (64, 64), (10, 200, 30, 255)), "JPEG2000")
    small_tiles = encoded(Image.new("RGBA", (1024, 1024), (10, 200, 30, 255)), "JPEG2000", no_jp2=True,
                          tile_size=(16, 16), codeblock_size=(4, 4))
    # Seven megapixels in small tiles and code blocks took 3.8 s; refused
    # but for the listing, which decodes nothing. No copy for fuzzing: each
    # of its mutations sends the decoder through thousands of tiles.
    seven = [] if small else [
        ("either", "128,2000", "icns of seven 1024 x 1024 jpeg 2000 elements in small tiles.icns",
         icns_of([icns_element(kind, small_tiles) for kind in (b"ic10", b"ic09", b"ic08", b"ic07", b"ic14", b"ic13", b"ic12")])),
    ]
    return seven + [
        ("refused", "128,2000", "icns of a jpeg 2000 element claiming 65535 x 65535.icns",
         icns_of([icns_element(b"ic09", jpeg2000_claiming(65535, 65535, 65535))])),
        ("refused", "128,2000", "icns of a jpeg 2000 element of 4194304 tiles.icns",
         icns_of([icns_element(b"ic09", jpeg2000_claiming(2048, 2048, 1))])),
        ("refused", "128,2000", "icns of a jpeg 2000 element of 40000 tiles.icns",
         icns_of([icns_element(b"ic09", jpeg2000_claiming(200, 200, 1))])),
        ("refused", "128,2000", "icns of a jpeg 2000 file cut in half.icns",
         icns_of([icns_element(b"ic09", whole[: len(whole) // 2])])),
        ("ok", "128,2000", "icns of a jpeg 2000 file.icns", icns_of([icns_element(b"ic09", whole)])),
        ("refused", "128,2000", "icns of a jpeg 2000 element of 38-bit samples.icns",
         icns_of([icns_element(b"ic09", jpeg2000_with(42, ">B", 37))])),
        # A few hundred bytes decode to a megapixel: the most an element may claim.
        ("ok", "128,2000", "icns of a 192-byte jpeg 2000 element claiming 1024 x 1024.icns",
         icns_of([icns_element(b"ic10", jpeg2000_claiming(1024, 1024, 1024))])),
        # The same claims made by a picture of its own, which may be far
        # larger than an element, and is decoded at a coarser level.
        ("refused", "128,2000", "jpeg 2000 claiming 65535 x 65535.j2k", jpeg2000_claiming(65535, 65535, 65535)),
        ("refused", "128,2000", "jpeg 2000 of 40000 tiles.j2k", jpeg2000_claiming(200, 200, 1)),
        ("refused", "128,2000", "jpeg 2000 of a few hundred bytes claiming 16000 x 16000.j2k",
         jpeg2000_claiming(16000, 16000, 16000)),
        ("either", "128,2000", "jpeg 2000 of a few hundred bytes claiming 10000 x 10000.j2k",
         jpeg2000_claiming(10000, 10000, 10000)),
        ("refused", "128,2000", "jpeg 2000 cut in half.jp2", whole[: len(whole) // 2]),
        # The decoder sets up every code block of the stated size: 4 x 4
        # blocks stating 9999 x 9999 took 7 GB.
        ("refused", "128,2000", "jpeg 2000 of 4 x 4 code blocks claiming 9999 x 9999.j2k",
         jpeg2000_claiming(9999, 9999, 9999, codeblock_size=(4, 4))),
    ]


def psd_of(width, height, channels=3, depth=8, mode=3, large=False, lengths=(0, 0, 0), layer_count=None, data=b""):
    # A Photoshop file: its header, its three sections' lengths (colour
    # data, resources, layers) with as many zeros after each, or a layer
    # section stating only its count of layers, then `data` (compression
    # and the composite).
    header = b"8BPS" + struct.pack(">H6xHIIHH", 2 if large else 1, channels, height, width, depth, mode)
    layer_length = ">Q" if large else ">I"
    colour, resources, layers = lengths
    if layer_count is not None:
        info = struct.pack(layer_length + "h", 2, layer_count)
        layers = struct.pack(layer_length, len(info)) + info
    else:
        layers = struct.pack(layer_length, layers) + bytes(min(layers, 64))
    return (header + struct.pack(">I", colour) + bytes(min(colour, 64)) + struct.pack(">I", resources)
            + bytes(min(resources, 64)) + layers + data)


def psd_rows(width, height, channels, row, large=False, length=None):
    # A composite in run lengths whose every row is `row`, its length stated
    # as `length` when given.
    stated = len(row) if length is None else length
    count = struct.pack(">I" if large else ">H", stated)
    return b"\x00\x01" + count * (channels * height) + row * (channels * height)


def psd_zeros(width):
    # A row of zeros in run lengths: runs of 128, and the rest.
    whole, rest = divmod(width, 128)
    return b"\x81\x00" * whole + (bytes((257 - rest, 0)) if rest else b"")


def psd_files(small):
    # Photoshop files that lie about their channels, sections, sides and
    # run lengths: refused in one line, or read, within 128 MB and 2 s.
    # The big pictures are read reduced, a row at a time.
    side, coloured = (256, 128) if small else (20000, 11000)
    tall = 3000 if small else 300000
    return [
        ("refused", "128,2000", "psd claiming 56 channels in a tiny file.psd",
         psd_of(64, 64, channels=56, data=psd_rows(64, 1, 1, psd_zeros(64)))),
        ("refused", "128,2000", "psd of 0 channels.psd", psd_of(64, 64, channels=0, data=b"\x00\x00" + bytes(256))),
        ("refused", "128,2000", "psd whose row lengths claim more than the file.psd",
         psd_of(64, 64, data=psd_rows(64, 64, 3, psd_zeros(64), length=65535))),
        ("refused", "128,2000", "psb whose row lengths claim 4 GB each.psb",
         psd_of(64, 64, large=True, data=psd_rows(64, 64, 3, psd_zeros(64), True, 0xFFFFFFFF))),
        ("ok", "128,2000", "psd whose runs overrun their rows.psd", psd_of(64, 64, data=psd_rows(64, 64, 3, b"\x81\x07" * 2))),
        ("refused", "128,2000", "psd whose rows come out short.psd", psd_of(64, 64, data=psd_rows(64, 64, 3, b"\x00\x07"))),
        ("refused", "128,2000", "psb claiming 300000 x 300000.psb",
         psd_of(300000, 300000, large=True, data=psd_rows(1, 1, 3, b"\x00\x07", True))),
        ("refused", "128,2000", "psb claiming 300001 x 1.psb",
         psd_of(300001, 1, large=True, data=psd_rows(300001, 1, 3, psd_zeros(300001), True))),
        ("ok", "128,2000", "psb of 300000 x 1 pixels.psb",
         psd_of(300000, 1, large=True, data=psd_rows(300000, 1, 3, psd_zeros(300000), True))),
        ("refused", "128,2000", "psd claiming 40000 x 10.psd", psd_of(40000, 10, data=psd_rows(1, 1, 3, b"\x00\x07"))),
        ("refused", "128,2000", "psd claiming 30000 x 30000 in a small file.psd",
         psd_of(30000, 30000, data=psd_rows(30000, 2, 3, psd_zeros(30000)))),
        ("refused", "128,2000", "psd claiming 20000 x 20000 in a small file.psd",
         psd_of(20000, 20000, data=psd_rows(20000, 2, 3, psd_zeros(20000)))),
        ("refused", "128,2000", "psd whose colour data claims 4 GB.psd", psd_of(8, 8, lengths=(0xFFFFFFF0, 0, 0))),
        ("refused", "128,2000", "psd whose resources claim 2 GB.psd", psd_of(8, 8, lengths=(0, 0x7FFFFFFF, 0))),
        ("refused", "128,2000", "psb whose layers claim 2^64 bytes.psb",
         psd_of(8, 8, large=True, lengths=(0, 0, 0xFFFFFFFFFFFFFFF0), data=psd_rows(8, 8, 3, psd_zeros(8), True))),
        ("refused", "128,2000", "psd of lab colours.psd", psd_of(8, 8, mode=9, data=psd_rows(8, 8, 3, psd_zeros(8)))),
        ("ok", "128,2000", "psd of transparency stated by a negative layer count.psd",
         psd_of(8, 8, channels=4, layer_count=-1, data=psd_rows(8, 8, 4, psd_zeros(8)))),
        ("ok", "64,2000", f"psd of {side} x {side} grey pixels.psd",
         psd_of(side, side, channels=1, mode=1, data=psd_rows(side, side, 1, psd_zeros(side)))),
        # Its last row unpacks to half its runs' bytes: refused as damaged
        # once read reduced, not decoded again whole.
        ("refused", "64,2000", f"psd of {side} x {side} grey pixels whose last row comes out short.psd",
         psd_of(side, side, channels=1, mode=1,
                data=psd_rows(side, side, 1, psd_zeros(side))[:-len(psd_zeros(side))]
                + b"\x00\x07" * (len(psd_zeros(side)) // 2))),
        ("ok", "64,2000", f"psd of {coloured} x {coloured} transparent pixels.psd",
         psd_of(coloured, coloured, channels=4, layer_count=-1,
                data=psd_rows(coloured, coloured, 4, psd_zeros(coloured)))),
        # Four inks, transparency and 16-bit samples: the most work a pixel.
        ("ok", "64,2000", f"psd of {coloured} x {coloured} 16-bit CMYK pixels with transparency.psd",
         psd_of(coloured, coloured, channels=5, depth=16, mode=4, layer_count=-1,
                data=psd_rows(2 * coloured, coloured, 5, psd_zeros(2 * coloured)))),
        ("refused", "128,2000", f"psb of 1 x {tall} pixels whose rows are stated empty.psb",
         psd_of(1, tall, large=True, data=psd_rows(1, tall, 3, b"", True))),
        ("refused", "128,2000", "psd whose rows are only bytes of 128, which say nothing.psd",
         psd_of(8, 4, data=psd_rows(8, 4, 3, b"\x80" * 40))),
        # Rows of 7 samples of 16 bits, 14 bytes, unpacked from runs of 13.
        ("refused", "128,2000", "psd of 16-bit rows a byte short.psd",
         psd_of(7, 3, depth=16, data=psd_rows(14, 3, 3, b"\xf4\x11"))),
        ("ok", "128,2000", "psd of 13 x 7 bitmap pixels with transparency.psd",
         psd_of(13, 7, channels=2, depth=1, mode=0, layer_count=-1, data=psd_rows(2, 7, 2, b"\x01\xaa\xff"))),
    ]


def heif_box(kind, body, version=None, flags=0):
    # A box, or with a version a full box (its version and flags first).
    head = b"" if version is None else bytes([version]) + flags.to_bytes(3, "big")
    return struct.pack(">I", 8 + len(head) + len(body)) + kind + head + body


def heif_of(items, primary, sizes, cells=(), idat=b"", mdat=b"\0" * 64, ipco=b""):
    """A HEIC file of `items` ({id: type}), each coded one's data the whole
    of `mdat`, a grid's its 8 bytes of `idat`; `sizes` ({id: (w, h)}) as
    ispe properties, `cells` the dimg references (from, [to ...]), `ipco`
    boxes put in the property container before them."""
    def meta(mdat_at):
        infe = b"".join(heif_box(b"infe", struct.pack(">HH", item, 0) + kind + b"\0", 2) for item, kind in items.items())
        located = [(item, 1 if kind == b"grid" else 0, 0 if kind == b"grid" else mdat_at,
                    8 if kind == b"grid" else len(mdat)) for item, kind in items.items()]
        iloc = struct.pack(">BBH", 0x44, 0, len(located)) + b"".join(
            struct.pack(">HHHHII", item, method, 0, 1, offset, length) for item, method, offset, length in located)
        ispe = b"".join(heif_box(b"ispe", struct.pack(">II", *size), 0) for size in sizes.values())
        first = len(heif_boxes_in(ipco)) + 1
        ipma = struct.pack(">I", len(sizes)) + b"".join(struct.pack(">HBB", item, 1, 0x80 | (first + n))
                                                        for n, item in enumerate(sizes))
        iref = b"".join(heif_box(b"dimg", struct.pack(">HH", item, len(to)) + b"".join(struct.pack(">H", t) for t in to))
                        for item, to in cells)
        return heif_box(b"meta", heif_box(b"hdlr", b"\0" * 4 + b"pict" + b"\0" * 13, 0)
                        + heif_box(b"pitm", struct.pack(">H", primary), 0)
                        + heif_box(b"iinf", struct.pack(">H", len(items)) + infe, 0)
                        + heif_box(b"iloc", iloc, 1) + heif_box(b"idat", idat)
                        + heif_box(b"iprp", heif_box(b"ipco", ipco + ispe) + heif_box(b"ipma", ipma, 0))
                        + heif_box(b"iref", iref, 0), 0)
    ftyp = heif_box(b"ftyp", b"heic" + b"\0" * 4 + b"mif1heic")
    at = len(ftyp) + len(meta(0)) + 8
    return ftyp + meta(at) + heif_box(b"mdat", mdat)


def heif_boxes_in(data):
    found, at = [], 0
    while at + 8 <= len(data):
        found.append(data[at:at + struct.unpack(">I", data[at:at + 4])[0]])
        at += len(found[-1])
    return found


def heif_corpus(name):
    # A file of the committed corpus: heif-enc is not needed to run the tests.
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus", name), "rb") as handle:
        return handle.read()


# A grey 1024 x 1024 picture as heif-enc codes it: its hvcC property's body
# and its coded data.
GREY_HVCC = bytes.fromhex(
    "01040800000000000000000078f000fcfcf8f800000f03200001001740010c01ffff0408000003009ff8000003000078ba0240210001"
    "00284201010408000003009ff8000003000078c008020040165ba924a6b9b0200000030020000003002122000100074401c172b06240")
GREY_DATA = bytes.fromhex(
    "0000011c2801ae082102e6528c5ef7b9ce739ce8f12a14fce56b86106c1fa21c5f9a000003000003000003001e90aa126029c8ab20"
    "000003000003000003000185931687f000000300000300000300000300bd80870000030000030000030000030000030322000003"
    "00000300000300000300000300ed8000000300000300000300000300000cf800000300000300000300000300004a400000030000"
    "030000030000030000e5800000030000030000030000030001bf0000030000030000030000030003160000030000030000030000"
    "030004340000030000030000030000030006b4000003000003000003000003000998000003000003000003000003000d68000003"
    "0000030000030000030011700000030000030000030000030017f0")


# The same picture as libheif codes it in AV1: its av1C property's body and
# its data, which holds its sequence header.
GREY_AV1C = bytes.fromhex("81051c00")
GREY_AV1 = bytes.fromhex("12000a0719667fffff8540322513903ffc40f4d0cd3c3200c87a4070e3b3cdd0e49c50c45cbd5bfbe801997d24609499131e")


def grey_in_band():
    # The grey picture's data led by its parameter sets, each led by its
    # length in 4 bytes as the data's units are.
    units, at = [], 23
    for _ in range(GREY_HVCC[22]):
        at += 3
        for _ in range(struct.unpack(">H", GREY_HVCC[at - 2:at])[0]):
            length = struct.unpack(">H", GREY_HVCC[at:at + 2])[0]
            units.append(struct.pack(">I", length) + GREY_HVCC[at + 2:at + 2 + length])
            at += 2 + length
    return b"".join(units) + GREY_DATA


def heif_grey(items, primary, properties, associations, references, descriptions=b"", infe=b"", iloc=None,
              data=GREY_DATA, brand=b"heic"):
    """A HEIC file whose coded items ("hvc1" in `items`) are each the grey
    picture (its `data`), the others' descriptions 8 bytes each of `descriptions` in
    turn; `properties` boxes, `associations` {item: [index from 1]},
    `references` [(type, from, [to])]; `infe` more item descriptions, `iloc`
    (of where the coded data starts) location boxes in place of the one made."""
    coded = [item for item, kind in items.items() if kind in (b"hvc1", b"av01")]
    described = [item for item in items if item not in coded]

    def meta(at):
        located = [struct.pack(">HHHHII", item, 0, 0, 1, at, len(data)) for item in coded] + [
            struct.pack(">HHHHII", item, 1, 0, 1, 8 * n, 8) for n, item in enumerate(described)]
        entries = [heif_box(b"infe", struct.pack(">HH", item, 0) + kind + b"\0", 2) for item, kind in items.items()]
        refs = b"".join(heif_box(kind, struct.pack(">HH", source, len(to)) + b"".join(struct.pack(">H", t) for t in to))
                        for kind, source, to in references)
        ipma = struct.pack(">I", len(associations)) + b"".join(
            struct.pack(">HB", item, len(indexes)) + bytes(0x80 | i for i in indexes) for item, indexes in associations.items())
        return heif_box(b"meta", heif_box(b"hdlr", b"\0" * 4 + b"pict" + b"\0" * 13, 0)
                        + heif_box(b"pitm", struct.pack(">H", primary), 0)
                        + heif_box(b"iinf", struct.pack(">H", len(entries) + len(heif_boxes_in(infe))) + b"".join(entries) + infe, 0)
                        + (iloc(at) if iloc is not None else heif_box(b"iloc", struct.pack(">BBH", 0x44, 0, len(located)) + b"".join(located), 1))
                        + heif_box(b"idat", descriptions)
                        + heif_box(b"iprp", heif_box(b"ipco", b"".join(properties)) + heif_box(b"ipma", ipma, 0))
                        + heif_box(b"iref", refs, 0), 0)
    ftyp = heif_box(b"ftyp", brand + b"\0" * 4 + b"mif1" + brand)
    at = len(ftyp) + len(meta(0)) + 8
    return ftyp + meta(at) + heif_box(b"mdat", data)


def heif_grey_files():
    # Each would have libheif decode far more than the walk let through
    # (seconds, or gigabytes), or the walk itself spend seconds; refused.
    grid = lambda rows, columns, width, height: struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, width, height)  # noqa: E731
    ispe = lambda width, height: heif_box(b"ispe", struct.pack(">II", width, height), 0)  # noqa: E731
    hvcc = heif_box(b"hvcC", GREY_HVCC)
    on_canvas = lambda side: [hvcc, ispe(1024, 1024), ispe(side, side)]  # noqa: E731
    grid_on = lambda side, **more: heif_grey({1: b"hvc1", 2: b"grid"}, 2, on_canvas(side), {1: [1, 2], 2: [3]},  # noqa: E731
                                             [(b"dimg", 2, [1])], **more)
    # The first description of item 2 (a grid, as libheif takes it) and a
    # second (a coded picture, as the walk took it).
    twice = heif_box(b"infe", struct.pack(">HH", 2, 0) + b"hvc1\0", 2)
    # Located twice: its description on a 20000 x 20000 canvas, as libheif
    # takes it, then on one of 64 x 64.
    location = lambda at, description: heif_box(b"iloc", struct.pack(">BBH", 0x44, 0, 2)  # noqa: E731
                                                + struct.pack(">HHHHII", 1, 0, 0, 1, at, len(GREY_DATA))
                                                + struct.pack(">HHHHII", 2, 1, 0, 1, description, 8), 1)
    # One item located again and again, each time in 65,535 extents of no bytes.
    empty_extents = heif_box(b"iloc", struct.pack(">BBI", 0, 0, 5000) + struct.pack(">IHHH", 1, 0, 0, 65535) * 5000, 2)
    return [
        ("refused", "128,2000", "heic describing its grid twice, first on a 20000 x 20000 canvas.heic",
         grid_on(64, descriptions=grid(1, 1, 20000, 20000), infe=twice)),
        ("refused", "128,2000", "heic locating its grid twice, first on a 20000 x 20000 canvas.heic",
         grid_on(64, descriptions=grid(1, 1, 64, 64) + grid(1, 1, 20000, 20000), iloc=lambda at: location(at, 8) + location(at, 0))),
        ("refused", "128,2000", "heic grid of 1024 cells stated 32 x 32, each coded at 1024 x 1024.heic",
         heif_grey({1: b"hvc1", 2: b"grid"}, 2, [hvcc, ispe(32, 32), ispe(1024, 1024)], {1: [1, 2], 2: [3]},
                   [(b"dimg", 2, [1] * 1024)], grid(32, 32, 1024, 1024))),
        # Its hvcC property holds no parameter sets: its data does.
        ("refused", "128,2000", "heic grid of 1024 cells stated 32 x 32, each coded at 1024 x 1024 as its data says.heic",
         heif_grey({1: b"hvc1", 2: b"grid"}, 2, [heif_box(b"hvcC", GREY_HVCC[:22] + b"\0"), ispe(32, 32), ispe(1024, 1024)],
                   {1: [1, 2], 2: [3]}, [(b"dimg", 2, [1] * 1024)], grid(32, 32, 1024, 1024), data=grey_in_band())),
        ("refused", "128,2000", "avif grid of 1024 cells stated 32 x 32, each coded at 1024 x 1024.avif",
         heif_grey({1: b"av01", 2: b"grid"}, 2, [heif_box(b"av1C", GREY_AV1C), ispe(32, 32), ispe(1024, 1024)],
                   {1: [1, 2], 2: [3]}, [(b"dimg", 2, [1] * 1024)], grid(32, 32, 1024, 1024), data=GREY_AV1, brand=b"avif")),
        ("refused", "128,2000", "heic locating one picture 5000 times in 65535 empty extents.heic",
         heif_grey({1: b"hvc1"}, 1, on_canvas(64)[:2], {1: [1, 2]}, [], iloc=lambda at: empty_extents)),
    ]


def heif_files():
    # Each refused in one line before libheif decodes anything.
    one_grid = lambda rows, columns: struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, 64 * columns, 64 * rows)  # noqa: E731
    nested = b""
    for _ in range(10000):
        nested = heif_box(b"ipco", nested)
    whole = heif_corpus("heic/alpha.heic")
    return [
        ("refused", "128,2000", "heic grid of 4096 cells naming one 64 x 64 picture.heic",
         heif_of({1: b"hvc1", 2: b"grid"}, 2, {1: (64, 64), 2: (4096, 4096)}, [(2, [1] * 4096)], one_grid(64, 64))),
        ("refused", "128,2000", "heic claiming 65535 x 65535.heic", heif_of({1: b"hvc1"}, 1, {1: (65535, 65535)})),
        ("refused", "128,2000", "heic cut in half.heic", whole[: len(whole) // 2]),
        ("refused", "128,2000", "heic grid made of itself.heic",
         heif_of({1: b"hvc1", 2: b"grid"}, 2, {1: (64, 64), 2: (64, 64)}, [(2, [2])], one_grid(1, 1))),
        ("refused", "128,2000", "heic of property boxes nested 10000 deep.heic",
         heif_of({1: b"hvc1"}, 1, {1: (64, 64)}, ipco=nested)),
    ] + heif_grey_files()


def third_look_files(small):
    # Files whose listing, steps, times or screen once grew with the file:
    # each is listed, extracted or converted, or refused in one line,
    # within 128 MB and 2 s of processor time ("128,2000").
    many, steps = (300, 3000) if small else (1_000_000, 1_000_000)
    frames, entries = (2, 300) if small else (8, 65535)
    frame = cursor_of(1, (0, 0))
    signature = b"\x89PNG\r\n\x1a\n"
    return [
        ("refused", "128,2000", f"ani of {many} empty frames.ani",
         ani_of([b""] * many)),
        ("either/refused", "128,2000", f"ani showing one frame {steps} times.ani",
         ani_of([frame], sequence=[0] * steps)),
        ("refused", "128,2000", f"icns of {many} bare png signatures.icns",
         icns_of([icns_element(b"ic07", signature)] * many)),
        ("ok", "128,2000", "ani of rates 4294967295, 2147483648 and 0.ani",
         ani_of([frame] * 3, rates=[0xFFFFFFFF, 0x80000000, 0])),
        ("ok/refused", "128,2000", "gif of 1 x 1 frames on a 10000 x 10000 screen.gif",
         gif_of_frames((10000, 10000), [(0, 0), (9999, 9999)])),
        # Frames of 65,535 entries each, every one past the end: a listing
        # names 65,536 lines, and still finds each fault.
        ("refused", "128,2000", f"ani of {frames} frames of {entries} entries past the end.ani",
         ani_of([struct.pack("<HHH", 0, 2, entries)
                 + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 1, 1000, 0x7FFFFF00) * entries] * frames)),
        # One cursor stored 1,000 times: made into a cursor once.
        # As a Linux cursor its 1,000 steps at five sizes take more than 32 MB.
        ("ok/either", "128,2000", "ani of one cursor stored 1000 times.ani", ani_of([frame] * 1000)),
    ]


def pdf_of(objects, trailer=b""):
    # A PDF document of `objects`, numbered from 1 (each the bytes between
    # "N 0 obj" and "endobj"), the first its catalogue, with a
    # cross-reference table that finds each where it is.
    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    table = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R %s>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, trailer, table)
    return bytes(out)


def pdf_stream(data, entries=b"", length=None):
    return (b"<< /Length %d %s>>\nstream\n" % (len(data) if length is None else length, entries) + data
            + b"\nendstream")


def pdf_page(content, box=b"0 0 72 72", resources=b"", more=()):
    # One page of `box` that draws `content`, with `resources`; `more`
    # objects follow from number 5.
    return pdf_of([b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                   b"<< /Type /Page /Parent 2 0 R /MediaBox [%s] /Contents 4 0 R /Resources << %s >> >>"
                   % (box, resources), pdf_stream(content)] + list(more))


def pdf_forms_fanning_out(levels):
    # Form n draws form n + 1 twice: 2^levels forms drawn from a few KB.
    forms = [pdf_stream(b"q 0.5 0 0 0.5 0 0 cm /F Do Q q 0.5 0 0 0.5 36 36 cm /F Do Q" if n + 1 < levels
                        else b"0 0 72 72 re f",
                        b"/Type /XObject /Subtype /Form /BBox [0 0 72 72] /Resources << /XObject << /F %d 0 R >> >>"
                        % (6 + n)) for n in range(levels)]
    return pdf_page(b"/F Do", resources=b"/XObject << /F 5 0 R >>", more=forms)


def pdf_files(small):
    # PDF documents, drawn by their helper within its budget of time and
    # memory, or refused.
    rectangles = 1000 if small else 100_000
    content = b"0 0 1 rg\n" + b"".join(b"%d %d 0.4 0.4 re f\n" % (n % 300 * 0.24, n // 300 * 0.24)
                                        for n in range(rectangles))
    type3 = (b"/Font << /T 5 0 R >>", [
        b"<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] /FontMatrix [1 0 0 1 0 0] /CharProcs << /a 6 0 R >> "
        b"/Encoding << /Differences [97 /a] >> /FirstChar 97 /LastChar 97 /Widths [1] /Resources << /Font << /T 5 0 R >> >> >>",
        pdf_stream(b"1 0 0 0 1 1 d1 BT /T 1 Tf 0 0 Td (aa) Tj ET 0 0 1 1 re f")])
    looped = bytearray(pdf_page(b"0 0 72 72 re f"))
    # A document whose length alone is more than half the renderer's memory:
    # drawn from the bytes sent, not from a copy of them.
    long_document = pdf_page(b"0 0 1 rg 0 0 72 72 re f")
    long_document += b"%" * ((1 << 10 if small else 24 << 20) - len(long_document))
    looped[looped.rindex(b"/Root 1 0 R"):looped.rindex(b"/Root 1 0 R")] = b"/Prev %d " % looped.rindex(b"xref")
    return [
        ("either", "128,2000", f"pdf of {rectangles} rectangles.pdf", pdf_page(content)),
        ("either", "128,2000", "pdf page of 14400 x 14400 points.pdf", pdf_page(b"0 0 14400 14400 re f", b"0 0 14400 14400")),
        ("refused", "128,2000", "pdf page of 200000 x 200000 points.pdf",
         pdf_page(b"0 0 9 9 re f", b"0 0 200000 200000")),
        ("either", "128,2000", "pdf page of 1e30 points.pdf", pdf_page(b"0 0 9 9 re f", b"0 0 1e30 1e30")),
        ("either", "128,2000", "pdf whose cross-references lead back to themselves.pdf", bytes(looped)),
        ("either", "128,2000", "pdf whose page tree holds itself.pdf",
         pdf_of([b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>",
                 b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >>"])),
        ("either", "128,2000", "pdf of an object stream holding itself.pdf",
         pdf_page(b"0 0 72 72 re f", more=[pdf_stream(b"5 0 ", b"/Type /ObjStm /N 1 /First 4 /Extends 5 0 R")])
         .replace(b"/Contents 4 0 R", b"/Contents 5 0 R")),
        ("either", "128,2000", "pdf of a stream claiming 1 GB.pdf",
         pdf_page(b"0 0 72 72 re f").replace(b"/Length 14 ", b"/Length 1073741824 ")),
        ("either", "128,2000", "pdf of a type 3 glyph that draws itself.pdf",
         pdf_page(b"BT /T 50 Tf 0 0 Td (aaaa) Tj ET", resources=type3[0], more=type3[1])),
        ("either", "128,2000", "pdf of a form that draws itself.pdf",
         pdf_page(b"/F Do", resources=b"/XObject << /F 5 0 R >>",
                  more=[pdf_stream(b"/F Do 0 0 9 9 re f",
                                   b"/Type /XObject /Subtype /Form /BBox [0 0 72 72] /Resources << /XObject << /F 5 0 R >> >>")])),
        ("refused", "128,2000", "pdf of forms fanning out 2^40 times.pdf", pdf_forms_fanning_out(40)),
        ("ok", "128,2000", f"pdf of a page and {'1 KB' if small else '24 MB'} of comment.pdf",
         long_document),
        ("refused", "128,2000", "pdf whose pages node holds itself.pdf",
         pdf_of([b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                 b"<< /Type /Pages /Kids [2 0 R] /Count 1 >>"])),
        ("refused", "128,2000", "pdf locked with a password.pdf",
         pdf_page(b"0 0 72 72 re f", more=[b"<< /Filter /Standard /V 1 /R 2 /O <%s> /U <%s> /P -4 >>"
                                           % (b"11" * 32, b"22" * 32)])
         .replace(b"/Root 1 0 R", b"/Root 1 0 R /Encrypt 5 0 R /ID [<0123456789abcdef0123456789abcdef> "
                                  b"<0123456789abcdef0123456789abcdef>]")),
    ]


def costly_files(small):
    # (expect, megabytes, name, bytes). Copies for fuzzing are a few KB; the
    # JPEGs that claim their size are that already.
    entries = 300 if small else 65535
    side, chunks, bitmap, scans = (200, 2000, 64, 300) if small else (9000, 200_000, 1024, 20000)
    whole = lambda pixels: 64 + 4 * pixels // (1 << 20)  # noqa: E731
    coefficients = lambda side, planes: int(side * side * 2 * planes) // (1 << 20)  # noqa: E731
    big = png_of_zeros(side, side)
    empty_chunks = png_of_zeros(1, 1, before_pixels=png_chunk(b"emPt", b"") * chunks)
    files = [
        ("either", whole(side * side), f"icon of 8 entries claiming 1 to 8 pixels, each a {side} x {side} png.ico",
         icon_of([(n, n, 32, n - 1) for n in range(1, 9)], [big] * 8)),
        ("either", 64, f"icon of {entries} entries of one png of {chunks} empty chunks.ico",
         icon_of([(1, 1, 32, 0)] * entries, [empty_chunks])),
        ("either", 64, f"icon of {entries} entries of one {bitmap} x {bitmap} bitmap.ico",
         icon_of([(0, 0, 32, 0)] * entries, [icon_bitmap(bitmap, bitmap, b"\x10\x20\x30\xff")])),
        ("ok", 64, f"icon of {entries} distinct 1 x 1 images.ico",
         icon_of([(1, 1, 32, n) for n in range(entries)],
                 [icon_bitmap(1, 1, bytes((n % 256, n // 256, 7, 255))) for n in range(entries)])),
        ("refused", 64, f"progressive jpeg repeating one scan {scans} times.jpg",
         repeating_one_scan(16 if small else 4000, scans)),
    ]
    # Its coefficients take 2 bytes a pixel for each of 1.5 planes (colour
    # at a quarter), and at full colour 6, past the limit; read at 1/8.
    return files + [
        ("ok", 64 + coefficients(10000, 1.5) + whole(1250 * 1250) - 64, "progressive jpeg claiming 10000 x 10000.jpg",
         progressive_claiming_sampled(10000, 10000, 2)),
        ("refused", 64, "progressive jpeg claiming 10000 x 10000 in full colour.jpg",
         progressive_claiming_sampled(10000, 10000, 0)),
    ] + cursor_files(small) + icns_files(small) + third_look_files(small) + jpeg2000_files(small) + psd_files(small) + heif_files() \
        + pdf_files(small)


def main():
    if sys.argv[1] == "--costly":
        out = sys.argv[2]
        os.makedirs(out, exist_ok=True)
        for expect, budget, name, content in costly_files("--small" in sys.argv):
            with open(os.path.join(out, name), "wb") as handle:
                handle.write(content)
            print(f"{expect} {budget} {name}")
        return
    if sys.argv[1] == "--shapes":
        out = sys.argv[2]
        os.makedirs(out, exist_ok=True)
        for budget, name, content in shape_files("--small" in sys.argv):
            with open(os.path.join(out, name), "wb") as handle:
                handle.write(content)
            print(f"{budget} {name}")
        return
    if sys.argv[1] == "--cuts":
        out = sys.argv[2]
        os.makedirs(out, exist_ok=True)
        for expect, name, content in cut_set():
            with open(os.path.join(out, name), "wb") as handle:
                handle.write(content)
            print(f"{expect} {name}")
        return
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    picture = photo(300, 200)
    jpeg = encoded(picture, "JPEG", quality=90)
    gif = encoded(picture.convert("P"), "GIF")
    bmp = encoded(picture, "BMP")
    bomb = png_of_zeros(20000, 20000)
    files = [
        ("refused", "zero-bytes.jpg", b""),
        ("refused", "text named.bmp", b"This is a note, not a picture.\n" * 20),
        ("cut", "jpeg cut in half.jpg", jpeg[: len(jpeg) // 2]),
        ("cut", "gif cut in half.gif", gif[: len(gif) // 2]),
        ("cut", "bmp cut in half.bmp", bmp[: len(bmp) // 2]),
        ("cut", "bmp header only.bmp", bmp_header(300, 200)),
        ("refused", "progressive jpeg claims 12000x10000.jpg", progressive_claiming(12000, 10000)),
        ("refused", "progressive jpeg claims 12000x10000 after a fill byte.jpg",
         progressive_claiming(12000, 10000, b"\xff")),
        ("refused", "progressive jpeg claims 12000x10000 after a stray byte.jpg",
         progressive_claiming(12000, 10000, b"\x00")),
        ("refused", "jpeg in several scans claims 12000x10000.jpg", several_scans_claiming(12000, 10000)),
        ("cut", "bmp offset into the palette, cut.bmp", bitmap_reading_past_its_offset(8, 0, 54, 400)),
        ("cut", "bmp offset into the header, cut.bmp", bitmap_reading_past_its_offset(24, 0, 14, 40)),
        ("cut", "bmp claiming more colours than 1 bit, cut.bmp", bitmap_reading_past_its_offset(1, 56, 62, 20)),
        ("ok", "run-length bmp skipping pixels.bmp",
         # a move right and down, and rows ended early: pixels never drawn
         rle8_bitmap(6, 4, [b"\x02\x80\x00\x02\x02\x01\x01\xc0\x00\x00", b"\x06\x20\x00\x00\x00\x01"])),
        ("refused", "bmp claims 60000x60000.bmp", bmp_header(60000, 60000) + b"\x7f" * 4096),
        ("refused", "bmp width most negative.bmp", bmp_header(-2**31, 200) + b"\x00" * 64),
        ("refused", "bmp claims zero bits.bmp", bmp_header(16, 16, bits=0) + b"\x00" * 1024),
        ("refused", "gif huge logical screen.gif", gif_with_screen(65535, 65535)),
        ("ok", "png 20000x20000 named.jpg", bomb),
        ("refused", "icon holding a 20000x20000 png.ico", icon_around(bomb)),
        ("either", "gif whose pixels stop early.gif", gif_with_short_data(100, 60)),
        ("either", "png whose pixels stop early.png", png_with_short_data(picture)),
        ("either", "jpeg whose pixels stop early.jpg", jpeg[: len(jpeg) // 2] + b"\xff\xd9"),
        ("ok", "progressive.jpg", encoded(picture, "JPEG", progressive=True)),
        ("ok", "oldest bitmap header.bmp", os2_bitmap(30, 20)),
        ("ok", "png named.jpg", encoded(picture, "PNG")),
        ("ok", "bmp stored top-down.bmp", bmp_header(2, -2) + b"\x00\x00\xff\xff\xff\xff\x00\x00" * 2),
        ("ok", "name with spaces.jpg", jpeg),
        ("ok", "nòn-ÀSCII ñame – 图.gif", gif),
    ] + new_format_files(picture) + drawing_files()
    for expect, name, content in files:
        with open(os.path.join(out, name), "wb") as handle:
            handle.write(content)
        print(f"{expect} {name}")


if __name__ == "__main__":
    main()
