"""psnr_sizes.py PICTURE NAME=ICON...: for each icon and each of the seven
sizes, the PSNR (dB) of that image against the exact area average of the
whole picture at that size, colour only. A picture that is not square is
compared where it lies in the image, fitted and centred between transparent
bands: exactly where the fitted sides are whole pixels (a 4:3 picture at
these sizes). Prints one line per icon: its name, then the seven figures,
smallest size first."""

import math
import sys

import numpy as np
from PIL import Image

from psnr import area_average

SIZES = (16, 24, 32, 48, 64, 128, 256)


def fitted(width, height, side):
    """The (width, height) of a width x height picture fitted into a side x
    side square, proportions kept."""
    if width >= height:
        return side, max(1, round(side * height / width))
    return max(1, round(side * width / height)), side


def picture_part(image, size):
    """The picture's part of an icon image: the centred rectangle of `size`."""
    pixels = np.asarray(image.convert("RGB"), dtype=np.float64)
    top, left = (pixels.shape[0] - size[1]) // 2, (pixels.shape[1] - size[0]) // 2
    return pixels[top:top + size[1], left:left + size[0]]


def main(picture_path, icons):
    picture = np.asarray(Image.open(picture_path).convert("RGB"))
    height, width = picture.shape[:2]
    sizes = {s: fitted(width, height, s) for s in SIZES}
    references = {s: area_average(picture, *sizes[s]) for s in SIZES}
    for named in icons:
        name, path = named.split("=", 1)
        figures = []
        with Image.open(path) as icon:
            for s in SIZES:
                ours = picture_part(icon.ico.getimage((s, s)), sizes[s])
                mse = np.mean((ours - references[s]) ** 2)
                figures.append("inf" if mse == 0 else f"{10 * math.log10(255.0 ** 2 / mse):.1f}")
        print(name, *figures)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
