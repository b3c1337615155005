"""appicons_peer.py LOGO.svg FOLDER: the peer of the program-icons benchmark,
the way such commands make every icon of a program: librsvg's rsvg-convert
renders the logo once at 1024 x 1024, and Pillow shrinks that rendering with
its Lanczos filter to each size, then writes FOLDER/app.ico (the nine sizes
Windows asks for) and FOLDER/app.icns (Pillow's macOS icon writer, which
stores 32 to 1024; it has no 16 x 16 element)."""

import io
import subprocess
import sys

from PIL import Image

RENDERED = 1024
SIDES = (1024, 512, 256, 128, 64, 48, 32, 24, 16, 20, 40, 96)
WINDOWS = (16, 20, 24, 32, 40, 48, 64, 96, 256)
MACOS = (1024, 512, 256, 128, 64, 32)


def main(svg, folder):
    png = subprocess.run(["rsvg-convert", "-w", str(RENDERED), "-h", str(RENDERED), svg],
                         stdout=subprocess.PIPE, check=True).stdout
    rendering = Image.open(io.BytesIO(png)).convert("RGBA")
    shrunk = {side: rendering.resize((side, side), Image.LANCZOS) for side in SIDES}
    # Each writer takes the images given for its sizes instead of shrinking
    # again: the first picture and those appended.
    shrunk[256].save(f"{folder}/app.ico", format="ICO", sizes=[(side, side) for side in WINDOWS],
                     append_images=[shrunk[side] for side in WINDOWS if side != 256])
    shrunk[1024].save(f"{folder}/app.icns", format="ICNS", append_images=[shrunk[side] for side in MACOS[1:]])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
