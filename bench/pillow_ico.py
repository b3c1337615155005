"""pillow_ico.py INPUT OUTPUT.ico: the Pillow peer of the Open benchmark.
Shrinks the picture to fit 32 x 32 and saves it as a one-image icon."""

import sys

from PIL import Image

image = Image.open(sys.argv[1])
image.thumbnail((32, 32))
image.save(sys.argv[2], format="ICO", sizes=[image.size])
