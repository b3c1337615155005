"""pillow_sizes.py INPUT OUTPUT.ico [windows]: the Pillow peer of the
icon-sizes benchmark: one icon with Pillow's own sizes= list, the seven
sizes (or the nine the Windows shell asks for)."""

import sys

from PIL import Image

SIDES = (16, 20, 24, 32, 40, 48, 64, 96, 256) if sys.argv[3:] == ["windows"] else (16, 24, 32, 48, 64, 128, 256)
with Image.open(sys.argv[1]) as image:
    image.save(sys.argv[2], format="ICO", sizes=[(side, side) for side in SIDES])
