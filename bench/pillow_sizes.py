"""pillow_sizes.py INPUT OUTPUT.ico: the Pillow peer of the icon-sizes
benchmark: one icon with Pillow's own sizes= list, the seven sizes."""

import sys

from PIL import Image

SIZES = [(s, s) for s in (16, 24, 32, 48, 64, 128, 256)]
with Image.open(sys.argv[1]) as image:
    image.save(sys.argv[2], format="ICO", sizes=SIZES)
