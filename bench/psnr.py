"""psnr.py INPUT OUTPUT.bmp: prints the PSNR (dB) of the window's fitted
32 x 32 square against the exact area average of the whole picture.

The window fits a w x h picture by its outer size W = w + 4, H = h + 4 (a
2-pixel border each side): if W >= H the picture spans all 32 columns and
rows round(o) .. round(o + f) - 1 with f = 32 H / W and o = (32 - f) / 2,
otherwise the same with rows and columns swapped. Only that rectangle is
compared; the reference is not rounded to 8 bits, so a perfect result still
scores about 58.9 dB."""

import math
import sys

import numpy as np
from PIL import Image

SIDE = 32


def round_half_away(value):
    return int(math.copysign(math.floor(abs(value) + 0.5), value))


def fitted_rect(w, h):
    """(left, top, width, height) of the picture inside the 32 x 32 square."""
    W, H = w + 4, h + 4
    f = SIDE * (H / W if W >= H else W / H)
    o = (SIDE - f) / 2
    start, end = round_half_away(o), round_half_away(o + f)
    return (0, start, SIDE, end - start) if W >= H else (start, 0, end - start, SIDE)


def coverage(source, target):
    """A target x source matrix: row i holds the fraction of each source pixel
    that target pixel i covers, divided by the target pixel's span, so each
    row sums to 1 and a product with it is an exact area average."""
    scale = source / target
    weights = np.zeros((target, source))
    for i in range(target):
        lo, hi = i * scale, (i + 1) * scale
        for s in range(int(math.floor(lo)), min(source, int(math.ceil(hi)))):
            weights[i, s] = min(hi, s + 1) - max(lo, s)
    return weights / scale


def area_average(pixels, width, height):
    rows = coverage(pixels.shape[0], height)
    columns = coverage(pixels.shape[1], width)
    # Column sums in strips of rows keep the float64 copy small.
    narrowed = np.zeros((pixels.shape[0], width, 3))
    for top in range(0, pixels.shape[0], 256):
        strip = pixels[top:top + 256].astype(np.float64)
        narrowed[top:top + 256] = np.einsum("xs,ysc->yxc", columns, strip)
    return np.einsum("yt,tsc->ysc", rows, narrowed)


def main(input_path, output_path):
    picture = np.asarray(Image.open(input_path).convert("RGB"))
    h, w = picture.shape[:2]
    left, top, width, height = fitted_rect(w, h)
    reference = area_average(picture, width, height)

    ours = np.asarray(Image.open(output_path).convert("RGB"), dtype=np.float64)
    if ours.shape != (SIDE, SIDE, 3):
        sys.exit(f"{output_path} is {ours.shape[1]} x {ours.shape[0]}, not 32 x 32")
    ours = ours[top:top + height, left:left + width]

    mse = np.mean((ours - reference) ** 2)
    print("inf" if mse == 0 else f"{10 * math.log10(255.0 ** 2 / mse):.2f}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
