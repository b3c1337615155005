"""make_shadows.py COUNT: a drawing of COUNT rounded rectangles, each with a
soft shadow of its own (a blur, an offset, a flood, a composite and a
merge), on standard output: a drawing whose cost grows with every pixel."""

import sys


def main():
    count = int(sys.argv[1])
    defs, shapes = [], []
    for i in range(count):
        defs.append(f'<filter id="s{i}" x="-50%" y="-50%" width="200%" height="200%">'
                    f'<feGaussianBlur in="SourceAlpha" stdDeviation="{2 + i % 5}"/><feOffset dx="2" dy="3" result="b"/>'
                    '<feFlood flood-color="#000" flood-opacity="0.4"/><feComposite in2="b" operator="in"/>'
                    '<feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter>')
        x, y = 10 + (i * 37) % 180, 10 + (i * 53) % 180
        shapes.append(f'<rect x="{x}" y="{y}" width="50" height="40" rx="8" fill="hsl({i * 47 % 360},70%,55%)" '
                      f'filter="url(#s{i})"/>')
    print('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 256 256" width="256" height="256">'
          f'<defs>{"".join(defs)}</defs>{"".join(shapes)}</svg>')


if __name__ == "__main__":
    main()
