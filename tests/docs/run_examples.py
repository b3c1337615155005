#!/usr/bin/env python3
"""Runs every tervana-convert example of the README and docs/using.md as
written, each in a fresh folder that holds the pictures the examples name
(and a home with a Pictures folder), and fails when one does not succeed.

Usage: run_examples.py TERVANA_CONVERT DOCUMENT...

An example is a line of a ```sh block that runs tervana-convert (also at
the end of a pipeline). Lines that need other machines (ssh, a scheduler)
or leave out part of the command ("…") are not run; the test says how many
it ran. Exits 77 when Pillow is missing (1 under TERVANA_REQUIRE_TOOLS=1)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

try:
    from PIL import Image, ImageDraw
except ImportError:
    # Skipped, or failed under ./test.sh, which installs every tool the tests
    # use (TERVANA_REQUIRE_TOOLS=1), as tests/missingtool.sh has it.
    if os.environ.get("TERVANA_REQUIRE_TOOLS") == "1":
        print("FAIL: not installed: Pillow, and TERVANA_REQUIRE_TOOLS=1 requires it", file=sys.stderr)
        sys.exit(1)
    print("SKIP: not installed: Pillow")
    sys.exit(77)


def examples(document):
    block = False
    for line in open(document, encoding="utf-8"):
        if line.startswith("```"):
            block = line.strip() == "```sh" and not block
            continue
        command = line.split("  #")[0].strip()
        if block and re.search(r"(^|\| *)(build/)?tervana-convert ", command):
            yield command


def runnable(command):
    return not any(word in command for word in ("…", "--sshlogin", "SLURM", "curl "))


def make_pictures(folder):
    photo = Image.new("RGB", (300, 200))
    draw = ImageDraw.Draw(photo)
    for y in range(200):
        draw.line([(0, y), (299, y)], fill=(y, 255 - y, (3 * y) % 256))
    for name in ("photo.jpg", "beach.jpg"):
        photo.save(os.path.join(folder, name), quality=90)
    photo.convert("P").save(os.path.join(folder, "logo.gif"))
    logo = Image.new("RGBA", (120, 120), (0, 0, 0, 0))
    ImageDraw.Draw(logo).ellipse([10, 10, 110, 110], fill=(30, 90, 200, 255))
    logo.save(os.path.join(folder, "logo.png"))
    photo.resize((600, 400)).save(os.path.join(folder, "big.png"))
    logo.resize((32, 32)).save(os.path.join(folder, "arrow.png"))
    spinner = [logo.rotate(angle).convert("RGB") for angle in (0, 120, 240)]
    spinner[0].save(os.path.join(folder, "busy.gif"), save_all=True, append_images=spinner[1:], duration=100, loop=0)
    for side in (16, 32):
        logo.resize((side, side)).save(os.path.join(folder, f"hand{side}.png"))
        logo.resize((side, side)).save(os.path.join(folder, f"icon{side}.png"))
    logo.save(os.path.join(folder, "old.ico"), sizes=[(16, 16), (32, 32), (48, 48)])
    logo.save(os.path.join(folder, "app.ico"), sizes=[(16, 16), (32, 32)])
    with open(os.path.join(folder, "logo.svg"), "w") as svg:
        svg.write('<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">'
                  '<circle cx="32" cy="32" r="28" fill="#2a6fdb"/></svg>')
    pictures = os.path.join(folder, "home", "Pictures", "2019")
    os.makedirs(pictures)
    photo.save(os.path.join(pictures, "sea.jpg"), quality=90)


def main():
    converter = os.path.abspath(sys.argv[1])
    commands = [command for document in sys.argv[2:] for command in examples(document)]
    ran = 0
    failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        fixtures = os.path.join(scratch, "fixtures")
        os.makedirs(fixtures)
        make_pictures(fixtures)
        for number, command in enumerate(commands):
            if not runnable(command):
                continue
            folder = os.path.join(scratch, f"example {number}")
            shutil.copytree(fixtures, folder)
            environment = dict(os.environ, HOME=os.path.join(folder, "home"),
                               PATH=os.path.dirname(converter) + os.pathsep + os.environ["PATH"])
            shell = re.sub(r"(^|\| *)(build/)?tervana-convert ", lambda m: m.group(1) + f"'{converter}' ", command)
            done = subprocess.run(["bash", "-o", "pipefail", "-c", shell], cwd=folder, env=environment,
                                  capture_output=True, text=True, timeout=120)
            ran += 1
            if done.returncode != 0:
                failed += 1
                print(f"FAIL: {command}\n  status {done.returncode}: {done.stderr.strip()}")
    print(f"{ran - failed} of {ran} examples ran as written ({len(commands) - ran} need other machines)")
    sys.exit(1 if failed or ran == 0 else 0)


if __name__ == "__main__":
    main()
