"""make_drawings.py FOLDER [COUNT]: the SVG benchmark's small drawings, 100
by default: each a 128-unit square of three to eight shapes drawn from a
seeded random source (discs, rounded rectangles with a gradient and an
outline, translucent curves, outlined polygons), so every run draws the
same ones."""

import os
import random
import sys


def shape(r):
    colour = "#%06x" % r.randrange(1 << 24)
    kind = r.choice(["circle", "rect", "path", "poly"])
    if kind == "circle":
        return f'<circle cx="{r.uniform(10, 118):.1f}" cy="{r.uniform(10, 118):.1f}" r="{r.uniform(5, 40):.1f}" fill="{colour}"/>'
    if kind == "rect":
        return (f'<rect x="{r.uniform(0, 80):.1f}" y="{r.uniform(0, 80):.1f}" width="{r.uniform(10, 60):.1f}" '
                f'height="{r.uniform(10, 60):.1f}" rx="{r.uniform(0, 12):.1f}" fill="url(#g)" stroke="{colour}" stroke-width="3"/>')
    points = lambda n: " ".join(f"{r.uniform(0, 128):.1f},{r.uniform(0, 128):.1f}" for _ in range(n))  # noqa: E731
    if kind == "path":
        return f'<path d="M {points(1)} C {points(3)} Z" fill="{colour}" fill-opacity="0.8"/>'
    return (f'<polygon points="{points(5)}" fill="none" stroke="{colour}" stroke-width="{r.uniform(1, 6):.1f}" '
            'stroke-linejoin="round"/>')


def drawing(n):
    r = random.Random(n)
    shapes = [shape(r) for _ in range(r.randint(3, 8))]
    start, end = ("#%06x" % r.randrange(1 << 24) for _ in range(2))
    return ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 128 128" width="128" height="128">\n'
            f'<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="{start}"/>'
            f'<stop offset="1" stop-color="{end}"/></linearGradient></defs>\n' + "\n".join(shapes) + "\n</svg>\n")


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    os.makedirs(out, exist_ok=True)
    for n in range(count):
        with open(os.path.join(out, f"drawing{n:03d}.svg"), "w") as handle:
            handle.write(drawing(n))


if __name__ == "__main__":
    main()
