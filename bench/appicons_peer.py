"""appicons_peer.py LOGO.svg FOLDER: the peer of the program-icons benchmark,
the way the one-source icon commands of application frameworks make every
icon of a program: librsvg's rsvg-convert renders the logo once at
1024 x 1024, and Pillow shrinks that rendering with its Lanczos filter to
each size (and enlarges it for the few larger ones), lays it out as each
platform shows it, and writes the files:

  FOLDER/app.ico      the nine sizes Windows asks for
  FOLDER/app.icns     Pillow's macOS icon writer, 32 to 1024 (it has no 16)
  FOLDER/linux/       the hicolor theme's nine sizes and the SVG
  FOLDER/web/         favicon.ico, the 192 and 512, the apple-touch and
                      maskable images, the SVG and the manifest
  FOLDER/android/     launcher, round, foreground and monochrome layers of
                      each density, the XML, the store's 512
  FOLDER/ios/         the 1024 universal image and Contents.json
  FOLDER/msix/        the package's six logos at five scales and the
                      taskbar's target sizes, plated and unplated

the same files at the same sizes as tervana-convert --app-icons writes."""

import io
import json
import math
import os
import shutil
import subprocess
import sys

from PIL import Image, ImageDraw

RENDERED = 1024
BACKGROUND = (255, 255, 255, 255)
WINDOWS = (16, 20, 24, 32, 40, 48, 64, 96, 256)
MACOS = (1024, 512, 256, 128, 64, 32)
LINUX = (16, 22, 24, 32, 48, 64, 128, 256, 512)
DENSITIES = (("mdpi", 1.0), ("hdpi", 1.5), ("xhdpi", 2.0), ("xxhdpi", 3.0), ("xxxhdpi", 4.0))
MSIX_LOGOS = (("Square44x44Logo", 44, 44), ("Square71x71Logo", 71, 71), ("Square150x150Logo", 150, 150),
              ("Wide310x150Logo", 310, 150), ("Square310x310Logo", 310, 310), ("StoreLogo", 50, 50))
MSIX_SCALES = (100, 125, 150, 200, 400)
MSIX_TARGETS = (16, 24, 32, 48, 256)


class Logo:
    """The rendering, and each size of it shrunk once."""

    def __init__(self, svg):
        png = subprocess.run(["rsvg-convert", "-w", str(RENDERED), "-h", str(RENDERED), svg],
                             stdout=subprocess.PIPE, check=True).stdout
        self.rendering = Image.open(io.BytesIO(png)).convert("RGBA")
        self.sizes = {}

    def at(self, side):
        if side not in self.sizes:
            self.sizes[side] = self.rendering.resize((side, side), Image.LANCZOS)
        return self.sizes[side]

    def centred(self, canvas, side):
        picture = self.at(side)
        canvas.alpha_composite(picture, ((canvas.width - side) // 2, (canvas.height - side) // 2))
        return canvas

    def opaque(self, width, height, side):
        return self.centred(Image.new("RGBA", (width, height), BACKGROUND), side).convert("RGB")

    def round(self, side):
        disc = Image.new("RGBA", (side, side), (0, 0, 0, 0))
        ImageDraw.Draw(disc).ellipse((0, 0, side - 1, side - 1), fill=BACKGROUND)
        return self.centred(disc, int(side / math.sqrt(2)))

    def foreground(self, side):
        return self.centred(Image.new("RGBA", (side, side), (0, 0, 0, 0)), int(side * 66 / 108 / math.sqrt(2)))


def save(image, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image.save(path)


def windows_and_macos(logo, folder):
    # Each writer takes the images given for its sizes instead of shrinking
    # again: the first picture and those appended.
    logo.at(256).save(f"{folder}/app.ico", format="ICO", sizes=[(side, side) for side in WINDOWS],
                      append_images=[logo.at(side) for side in WINDOWS if side != 256])
    logo.at(1024).save(f"{folder}/app.icns", format="ICNS", append_images=[logo.at(side) for side in MACOS[1:]])


def linux(logo, svg, folder):
    for side in LINUX:
        save(logo.at(side), f"{folder}/linux/hicolor/{side}x{side}/apps/app.png")
    os.makedirs(f"{folder}/linux/hicolor/scalable/apps", exist_ok=True)
    shutil.copy(svg, f"{folder}/linux/hicolor/scalable/apps/app.svg")


def web(logo, svg, folder):
    os.makedirs(f"{folder}/web", exist_ok=True)
    logo.at(48).save(f"{folder}/web/favicon.ico", format="ICO", sizes=[(16, 16), (32, 32), (48, 48)],
                     append_images=[logo.at(32), logo.at(16)])
    save(logo.at(192), f"{folder}/web/icon-192.png")
    save(logo.at(512), f"{folder}/web/icon-512.png")
    save(logo.opaque(180, 180, 180), f"{folder}/web/apple-touch-icon.png")
    save(logo.opaque(512, 512, 288), f"{folder}/web/icon-maskable-512.png")
    shutil.copy(svg, f"{folder}/web/icon.svg")
    icons = [{"src": name, "sizes": size, "type": "image/png", "purpose": purpose}
             for name, size, purpose in (("icon-192.png", "192x192", "any"), ("icon-512.png", "512x512", "any"),
                                         ("icon-maskable-512.png", "512x512", "maskable"))]
    with open(f"{folder}/web/site.webmanifest", "w") as manifest:
        json.dump({"name": "app", "short_name": "app", "start_url": "/", "display": "standalone",
                   "background_color": "#ffffff", "theme_color": "#ffffff", "icons": icons}, manifest)


def android(logo, folder):
    res = f"{folder}/android/res"
    for density, scale in DENSITIES:
        legacy, layer = round(48 * scale), round(108 * scale)
        save(logo.at(legacy), f"{res}/mipmap-{density}/ic_launcher.png")
        save(logo.round(legacy), f"{res}/mipmap-{density}/ic_launcher_round.png")
        foreground = logo.foreground(layer)
        save(foreground, f"{res}/mipmap-{density}/ic_launcher_foreground.png")
        white = Image.new("RGBA", foreground.size, (255, 255, 255, 255))
        white.putalpha(foreground.getchannel("A"))
        save(white, f"{res}/mipmap-{density}/ic_launcher_monochrome.png")
    os.makedirs(f"{res}/mipmap-anydpi-v26", exist_ok=True)
    os.makedirs(f"{res}/values", exist_ok=True)
    adaptive = ('<?xml version="1.0" encoding="utf-8"?>\n<adaptive-icon '
                'xmlns:android="http://schemas.android.com/apk/res/android">\n'
                '  <background android:drawable="@color/ic_launcher_background"/>\n'
                '  <foreground android:drawable="@mipmap/ic_launcher_foreground"/>\n'
                '  <monochrome android:drawable="@mipmap/ic_launcher_monochrome"/>\n</adaptive-icon>\n')
    for name in ("ic_launcher", "ic_launcher_round"):
        with open(f"{res}/mipmap-anydpi-v26/{name}.xml", "w") as xml:
            xml.write(adaptive)
    with open(f"{res}/values/ic_launcher_background.xml", "w") as xml:
        xml.write('<?xml version="1.0" encoding="utf-8"?>\n<resources>\n'
                  '  <color name="ic_launcher_background">#FFFFFF</color>\n</resources>\n')
    save(logo.opaque(512, 512, 512), f"{folder}/android/ic_launcher-playstore.png")


def ios(logo, folder):
    save(logo.opaque(1024, 1024, 1024), f"{folder}/ios/AppIcon.appiconset/AppIcon-1024.png")
    with open(f"{folder}/ios/AppIcon.appiconset/Contents.json", "w") as contents:
        json.dump({"images": [{"filename": "AppIcon-1024.png", "idiom": "universal", "platform": "ios",
                               "size": "1024x1024"}], "info": {"author": "xcode", "version": 1}}, contents)


def msix(logo, folder):
    assets = f"{folder}/msix/Assets"
    for name, width, height in MSIX_LOGOS:
        for scale in MSIX_SCALES:
            w, h = math.floor(width * scale / 100 + 0.5), math.floor(height * scale / 100 + 0.5)
            image = logo.opaque(w, h, h) if w != h else logo.at(w)
            save(image, f"{assets}/{name}.scale-{scale}.png")
    for side in MSIX_TARGETS:
        save(logo.at(side), f"{assets}/Square44x44Logo.targetsize-{side}.png")
        save(logo.at(side), f"{assets}/Square44x44Logo.targetsize-{side}_altform-unplated.png")


def main(svg, folder):
    logo = Logo(svg)
    windows_and_macos(logo, folder)
    linux(logo, svg, folder)
    web(logo, svg, folder)
    android(logo, folder)
    ios(logo, folder)
    msix(logo, folder)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
