"""pillow_batch.py OUTDIR INPUT...: the Pillow peer of the batch benchmark,
one process for all pictures. Each is shrunk to fit 32 x 32, centred on a
white square, and saved as a one-image icon named after it."""

import os
import sys

from PIL import Image

out = sys.argv[1]
for path in sys.argv[2:]:
    with Image.open(path) as image:
        image.thumbnail((32, 32))
        square = Image.new("RGB", (32, 32), (255, 255, 255))
        square.paste(image.convert("RGB"), ((32 - image.width) // 2, (32 - image.height) // 2))
    name = os.path.splitext(os.path.basename(path))[0]
    square.save(os.path.join(out, name + ".ico"), format="ICO", sizes=[(32, 32)])
