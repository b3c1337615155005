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


def shrink(pixels, target, axis):
    """The exact area average of `pixels` along `axis` into `target` pixels:
    each target pixel is the integral of the source over its span, divided
    by the span, from cumulative sums, so the work is linear in the source."""
    source = pixels.shape[axis]
    scale = source / target
    edges = np.arange(target + 1) * scale
    whole = np.minimum(np.floor(edges).astype(np.int64), source)
    shape = [1] * pixels.ndim
    shape[axis] = target + 1
    part = (edges - whole).reshape(shape)
    zero = np.zeros_like(np.take(pixels, [0], axis=axis))
    before = np.concatenate([zero, np.cumsum(pixels, axis=axis)], axis=axis)  # the sum of the pixels before each
    padded = np.concatenate([pixels, zero], axis=axis)  # an edge at the very end falls in no pixel
    integral = np.take(before, whole, axis=axis) + np.take(padded, whole, axis=axis) * part
    return np.diff(integral, axis=axis) / scale


def area_average(pixels, width, height):
    # Columns first, in strips of rows, which keeps the float64 copy small.
    narrowed = np.zeros((pixels.shape[0], width, 3))
    for top in range(0, pixels.shape[0], 256):
        narrowed[top:top + 256] = shrink(pixels[top:top + 256].astype(np.float64), width, 1)
    return shrink(narrowed, height, 0)


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
