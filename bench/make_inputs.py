"""Writes the benchmark's pictures into FOLDER: photo.jpg (6000 x 4000,
quality 90), photo.bmp (the same pixels, 24-bit) and photo.gif (2000 x 2000).

The picture looks like a photo as far as the coders care: smooth colour
gradients, some filled shapes and per-pixel noise. A fixed seed makes every
run produce the same files."""

import sys

import numpy as np
from PIL import Image, ImageDraw


def photo(width, height, seed):
    rng = np.random.default_rng(seed)
    y = np.linspace(0.0, 1.0, height, dtype=np.float32)[:, None]
    x = np.linspace(0.0, 1.0, width, dtype=np.float32)[None, :]
    channels = [
        255 * (0.5 + 0.4 * np.sin(3.1 * x + 1.7 * y)),
        255 * (0.2 + 0.6 * y * (1 - 0.5 * x)),
        255 * (0.5 + 0.35 * np.cos(5.3 * x * y + 2.0 * x)),
    ]
    image = Image.fromarray(np.dstack([np.clip(c, 0, 255) for c in channels]).astype(np.uint8))

    draw = ImageDraw.Draw(image)
    for _ in range(40):
        x0, y0 = int(rng.integers(0, width)), int(rng.integers(0, height))
        size = int(rng.integers(width // 40, width // 6))
        colour = tuple(int(v) for v in rng.integers(0, 256, 3))
        box = (x0, y0, x0 + size, y0 + int(size * rng.uniform(0.5, 1.5)))
        (draw.ellipse if rng.random() < 0.5 else draw.rectangle)(box, fill=colour)

    pixels = np.asarray(image, dtype=np.int16)
    noise = rng.normal(0.0, 6.0, pixels.shape).astype(np.int16)
    return Image.fromarray(np.clip(pixels + noise, 0, 255).astype(np.uint8))


def main(folder):
    big = photo(6000, 4000, seed=1)
    big.save(f"{folder}/photo.jpg", quality=90)
    big.save(f"{folder}/photo.bmp")
    small = photo(2000, 2000, seed=2)
    small.quantize(256, method=Image.Quantize.MEDIANCUT).save(f"{folder}/photo.gif")


if __name__ == "__main__":
    main(sys.argv[1])
