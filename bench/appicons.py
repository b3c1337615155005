"""appicons.py LOGO.svg NAME=ICNS,ICO...: for each set of a program's icons
and each of the sizes 16 to 1024, the PSNR (dB) of its image against the
exact coverage of the logo at that size. The image is taken from the .icns
when it holds that size, else from the .ico. Prints one line per size: the
size, then each set's figure in the order given, then where each image came
from (icns or ico).

The exact coverage: librsvg renders the logo at 8192 x 8192 (8 to 512 times
each power of two from 16 to 1024) and at 6144 x 6144 (128 and 256 times 48
and 24), and each block of the rendering that falls in one pixel is averaged
in premultiplied RGBA. Premultiplied, because a pixel's premultiplied colour
and alpha are what it adds over any backdrop, so their average over the
block is exactly what the whole block adds, and an error there is an error
over every backdrop; averaging straight colours would count the colour of
transparent parts. All four channels are compared, on the 0..255 scale; the
reference is not rounded to 8 bits. librsvg's own renderings at 4096 and at
8192 agree to about 55 to 59 dB (its radial gradients differ slightly with
the scale), so figures above that tell little apart."""

import io
import math
import os
import struct
import sys

import numpy as np
from PIL import Image

# librsvg's rendering, as the SVG tests run it.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "formats"))
from svg_psnr import finish_rendering, start_rendering  # noqa: E402

SIZES = (16, 24, 32, 48, 64, 128, 256, 512, 1024)
# Each rendering and the sizes its side divides evenly, largest first.
RENDERINGS = {8192: (1024, 512, 256, 128, 64, 32, 16), 6144: (48, 24)}
PNG = b"\x89PNG\r\n\x1a\n"


def premultiplied(image):
    pixels = np.asarray(image, dtype=np.float64)
    pixels[..., :3] *= pixels[..., 3:4] / 255.0
    return pixels


def block_mean(pixels, block):
    rows, columns = pixels.shape[0] // block, pixels.shape[1] // block
    return pixels.reshape(rows, block, columns, block, 4).mean(axis=(1, 3))


def coverages(rendering, sides):
    """The coverage at each of `sides` from one rendering: the largest in
    strips of rows (a float copy of the whole would take gigabytes), each
    smaller one as the mean of the largest's blocks, which is the mean of
    the same pixels of the rendering, since every block holds as many."""
    largest = sides[0]
    block = rendering.height // largest
    strip = block * max(1, 256 // block)
    parts = [block_mean(premultiplied(rendering.crop((0, top, rendering.width, top + strip))), block)
             for top in range(0, rendering.height, strip)]
    first = np.concatenate(parts)
    return {side: block_mean(first, largest // side) for side in sides}


def icns_images(path):
    """The PNG elements of a macOS icon family, by their width."""
    with open(path, "rb") as handle:
        data = handle.read()
    images, offset = {}, 8
    while offset + 8 <= len(data):
        length = struct.unpack(">I", data[offset + 4:offset + 8])[0]
        if length < 8:
            sys.exit(f"{path}: an element of {length} bytes at {offset}")
        body = data[offset + 8:offset + length]
        if body.startswith(PNG):
            image = Image.open(io.BytesIO(body))
            images.setdefault(image.width, image)
        offset += length
    return images


def image_of(icns, ico_path, side):
    if side in icns:
        return icns[side], "icns"
    with Image.open(ico_path) as ico:
        if (side, side) not in ico.info["sizes"]:
            sys.exit(f"{ico_path} has no {side} x {side} image, nor has the .icns")
        return ico.ico.getimage((side, side)).convert("RGBA"), "ico"


def psnr(image, exact):
    mse = np.mean((premultiplied(image.convert("RGBA")) - exact) ** 2)
    return "inf" if mse == 0 else f"{10 * math.log10(255.0 ** 2 / mse):.1f}"


def main(svg, sets):
    started = {side: start_rendering(svg, side) for side in RENDERINGS}
    exact = {}
    for side, sizes in RENDERINGS.items():
        exact.update(coverages(finish_rendering(started[side]), sizes))
    files = [named.split("=", 1)[1].split(",") for named in sets]
    families = [icns_images(icns) for icns, _ in files]
    for side in SIZES:
        found = [image_of(family, ico, side) for family, (_, ico) in zip(families, files)]
        print(side, *(psnr(image, exact[side]) for image, _ in found), *(where for _, where in found))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
