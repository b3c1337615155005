"""psnr_sizes.py SQUARE_PICTURE NAME=ICON...: for each icon and each of the
seven sizes, the PSNR (dB) of that image against the exact area average of
the whole (square) picture at that size, colour only. Prints one line per
icon: its name, then the seven figures, smallest size first."""

import math
import sys

import numpy as np
from PIL import Image

from psnr import area_average

SIZES = (16, 24, 32, 48, 64, 128, 256)


def main(picture_path, icons):
    picture = np.asarray(Image.open(picture_path).convert("RGB"))
    if picture.shape[0] != picture.shape[1]:
        sys.exit(f"{picture_path} is not square")
    references = {s: area_average(picture, s, s) for s in SIZES}
    for named in icons:
        name, path = named.split("=", 1)
        figures = []
        with Image.open(path) as icon:
            for s in SIZES:
                image = icon.ico.getimage((s, s)).convert("RGB")
                ours = np.asarray(image, dtype=np.float64)
                mse = np.mean((ours - references[s]) ** 2)
                figures.append("inf" if mse == 0 else f"{10 * math.log10(255.0 ** 2 / mse):.1f}")
        print(name, *figures)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
