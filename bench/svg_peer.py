"""svg_peer.py FOLDER SVG...: the usual pipeline the SVG benchmark measures
Tervana against, in one Python process: rsvg-convert draws each drawing at
256, and Pillow shrinks it to the nine sizes Windows asks for and writes
the icon, FOLDER/NAME.ico."""

import io
import os
import subprocess
import sys

from PIL import Image

SIDES = (16, 20, 24, 32, 40, 48, 64, 96, 256)


def main():
    out = sys.argv[1]
    for svg in sys.argv[2:]:
        png = subprocess.run(["rsvg-convert", "-w", "256", "-h", "256", svg], stdout=subprocess.PIPE, check=True).stdout
        name = os.path.splitext(os.path.basename(svg))[0] + ".ico"
        with Image.open(io.BytesIO(png)) as image:
            image.save(os.path.join(out, name), format="ICO", sizes=[(side, side) for side in SIDES])


if __name__ == "__main__":
    main()
