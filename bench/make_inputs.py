"""Writes the benchmark's pictures into FOLDER: photo.jpg (6000 x 4000,
quality 90), photo.bmp (the same pixels, 24-bit), photo.gif (2000 x 2000),
big.png (12000 x 9000, as a scan or a render comes), and FOLDER/batch: 300
photos of 0.3 to 1.9 megapixels in every shape, JPEG, GIF and BMP in turn.

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


def big_photo(width, height, seed, band=500):
    """The same kind of picture, made a band of rows at a time so that
    making it takes a few hundred megabytes, not several gigabytes."""
    rng = np.random.default_rng(seed)
    image = Image.new("RGB", (width, height))
    x = np.linspace(0.0, 1.0, width, dtype=np.float32)[None, :]
    for top in range(0, height, band):
        y = np.linspace(0.0, 1.0, height, dtype=np.float32)[top:top + band, None]
        channels = [
            255 * (0.5 + 0.4 * np.sin(3.1 * x + 1.7 * y)),
            255 * (0.2 + 0.6 * y * (1 - 0.5 * x)),
            255 * (0.5 + 0.35 * np.cos(5.3 * x * y + 2.0 * x)),
        ]
        image.paste(Image.fromarray(np.dstack([np.clip(c, 0, 255) for c in channels]).astype(np.uint8)), (0, top))
    draw = ImageDraw.Draw(image)
    for _ in range(40):
        x0, y0 = int(rng.integers(0, width)), int(rng.integers(0, height))
        size = int(rng.integers(width // 40, width // 6))
        colour = tuple(int(v) for v in rng.integers(0, 256, 3))
        box = (x0, y0, x0 + size, y0 + int(size * rng.uniform(0.5, 1.5)))
        (draw.ellipse if rng.random() < 0.5 else draw.rectangle)(box, fill=colour)
    for top in range(0, height, band):
        strip = np.asarray(image.crop((0, top, width, min(height, top + band))), dtype=np.int16)
        noise = rng.normal(0.0, 6.0, strip.shape).astype(np.int16)
        image.paste(Image.fromarray(np.clip(strip + noise, 0, 255).astype(np.uint8)), (0, top))
    return image


def batch(folder, count=300):
    rng = np.random.default_rng(3)
    bases = [photo(1900, 1500, seed=10 + i) for i in range(3)]
    for i in range(count):
        pixels = rng.uniform(0.3e6, 1.9e6)
        aspect = rng.uniform(0.6, 1.7)
        width = min(1900, int((pixels * aspect) ** 0.5))
        height = min(1500, int(pixels / width))
        base = bases[i % 3]
        left, top = int(rng.integers(0, 1900 - width + 1)), int(rng.integers(0, 1500 - height + 1))
        picture = base.crop((left, top, left + width, top + height))
        kind = ("jpg", "gif", "bmp")[i % 3]
        path = f"{folder}/batch/{i:03d}.{kind}"
        if kind == "gif":
            picture.quantize(256, method=Image.Quantize.FASTOCTREE).save(path)
        elif kind == "jpg":
            picture.save(path, quality=88)
        else:
            picture.save(path)


# A typical logo: a gradient disc, a clipped band, a shape and a ring.
LOGO = """<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="100" height="100">
  <defs>
    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3b82f6"/><stop offset="1" stop-color="#1e3a8a"/>
    </linearGradient>
    <clipPath id="disc"><circle cx="50" cy="50" r="44"/></clipPath>
  </defs>
  <circle cx="50" cy="50" r="44" fill="url(#sky)"/>
  <rect x="0" y="62" width="100" height="12" fill="#93c5fd" opacity="0.6" clip-path="url(#disc)"/>
  <path d="M30 70 L50 22 L70 70 Z" fill="#ffd23f" stroke="#102040" stroke-width="3"/>
  <rect x="12.3" y="80.7" width="75.1" height="6.2" fill="#e4572e" opacity="0.8"/>
  <circle cx="50" cy="55" r="7.5" fill="none" stroke="white" stroke-width="2.2"/>
</svg>
"""


def main(folder):
    import os
    os.makedirs(f"{folder}/batch", exist_ok=True)
    batch(folder)
    big = photo(6000, 4000, seed=1)
    big.save(f"{folder}/photo.jpg", quality=90)
    # Square, so that every tool's icon sizes cover the whole picture.
    big.crop((1000, 0, 5000, 4000)).save(f"{folder}/square.jpg", quality=90)
    big.save(f"{folder}/photo.bmp")
    small = photo(2000, 2000, seed=2)
    small.quantize(256, method=Image.Quantize.MEDIANCUT).save(f"{folder}/photo.gif")
    # Today's web and design-tool formats, and a vector logo.
    web = big.resize((3000, 2000), Image.BOX)
    web.save(f"{folder}/photo.webp", quality=85)
    web.save(f"{folder}/photo.tiff", compression="tiff_lzw")
    with open(f"{folder}/logo.svg", "w") as handle:
        handle.write(LOGO)
    big_photo(12000, 9000, seed=4).save(f"{folder}/big.png")


if __name__ == "__main__":
    main(sys.argv[1])
