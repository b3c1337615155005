"""Writes FOLDER/busy.gif, the cursor benchmark's animation: 60 frames of
480 x 480, a ring of dots turning around a bouncing square, over a backdrop
whose colour bands move, except that every third frame has no backdrop and
is transparent around the shapes. The frames show for 30 to 120 ms, in
turn. Everything is computed from the frame number, so every run writes the
same file."""

import math
import sys

from PIL import Image, ImageDraw

SIDE = 480
FRAMES = 60
CLEAR = 0  # the transparent colour's index
RAMP = range(1, 129)  # the backdrop's bands, dark blue to light orange
OUTLINE = 200  # black; the shapes' warm colours follow it
DOTS = 201
SQUARE = 250


def palette():
    colours = [(255, 0, 255)]
    colours += [(2 * i, i, 255 - 2 * i) for i in range(len(RAMP))]
    colours += [(0, 0, 0)] * (DOTS - len(colours))
    colours += [(255, 4 * i, 255 - 4 * i) for i in range(256 - DOTS)]
    return [value for colour in colours for value in colour]


def frame(number):
    image = Image.new("P", (SIDE, SIDE), CLEAR)
    image.putpalette(palette())
    draw = ImageDraw.Draw(image)
    if number % 3:
        for y in range(0, SIDE, 4):
            band = RAMP[(y // 4 + 2 * number) % len(RAMP)]
            draw.rectangle((0, y, SIDE, y + 3), fill=band)
    bounce = abs((number * 16) % (2 * 280) - 280)
    draw.rectangle((100, 100 + bounce // 2, 380, 240 + bounce // 2), fill=SQUARE, outline=OUTLINE, width=6)
    for dot in range(12):
        angle = 2 * math.pi * (dot / 12 + number / FRAMES)
        x, y = SIDE / 2 + 170 * math.cos(angle), SIDE / 2 + 170 * math.sin(angle)
        radius = 14 + dot * 2
        draw.ellipse((x - radius, y - radius, x + radius, y + radius), fill=DOTS + dot * 4)
    return image


def main(folder):
    frames = [frame(number) for number in range(FRAMES)]
    durations = [30 + 30 * (number % 4) for number in range(FRAMES)]
    frames[0].save(f"{folder}/busy.gif", save_all=True, append_images=frames[1:], duration=durations,
                   loop=0, transparency=CLEAR, disposal=2, optimize=False)


if __name__ == "__main__":
    main(sys.argv[1])
