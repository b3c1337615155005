#!/usr/bin/env bash
# Windows' own icon loader draws the icons tervana-convert writes: Wine's
# LoadImageW and DrawIconEx, called by a small program built with
# mingw-w64 (drawicon.c), draw every kind of icon at every size it holds,
# over black and over white, and every pixel must agree with the icon's own
# pixels, alpha-blended, within 2 levels (compare_drawing.py). Sizes an
# icon does not hold (20, 40, 96 ...) must load and draw too.
# The kinds: the 32 x 32 classic, the black-and-white icon, and --sizes all
# from a photo, from a transparent PNG, from an SVG and from several
# pictures.
# Cursors (--cursor) load through Windows' cursor loader too (LoadImageW
# with IMAGE_CURSOR at each size they hold, and LoadCursorFromFileW), draw
# as the icon of the same options says, and GetIconInfo gives at each size
# the hot spot asked for. An animated cursor made of a GIF (--ani) loads with
# each step's time, in jiffies, as its frame's delay, and draws each step as
# that frame's picture.
#   wine_icons_test.sh TERVANA_CONVERT_EXECUTABLE
# Wine runs in a prefix of its own that is removed afterwards, with no
# display: nothing of the user's Wine setup is read or changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
convert=$1
# shellcheck source=tests/missingtool.sh
source "$here/../missingtool.sh"
# 77: skipped, for want of Wine, the cross compiler or Pillow.
for tool in wine x86_64-w64-mingw32-gcc; do
    command -v "$tool" >/dev/null || missing_tool "$tool"
done
/usr/bin/python3 -c "import PIL" 2>/dev/null || missing_tool Pillow

work=$(mktemp -d)
# Wine keeps its server's socket in a folder of the temporary folder, which
# it leaves behind: under the test's own, it goes with it.
mkdir "$work/tmp"
export TMPDIR=$work/tmp
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'timeout 30 wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
fail() { echo "FAIL: $*" >&2; exit 1; }

x86_64-w64-mingw32-gcc -municode -O2 -Wall -Wextra -o "$work/drawicon.exe" "$here/drawicon.c" -lgdi32 -luser32 ||
    fail "drawicon.c does not build"

pictures=$work/pictures
mkdir -p "$pictures" "$work/icons" "$work/drawings"
/usr/bin/python3 - "$pictures" <<'PY'
import sys
from PIL import Image, ImageDraw
out = sys.argv[1]
photo = Image.new("RGB", (300, 200))
draw = ImageDraw.Draw(photo)
for y in range(200):
    draw.line([(0, y), (299, y)], fill=(y, 255 - y, (3 * y) % 256))
draw.ellipse([60, 30, 240, 170], fill=(250, 220, 30))
photo.save(f"{out}/photo.jpg", quality=92)
clear = Image.new("RGBA", (200, 120), (0, 0, 0, 0))
ImageDraw.Draw(clear).ellipse([10, 10, 190, 110], fill=(30, 160, 90, 200))
clear.save(f"{out}/clear.png")
logo = Image.new("RGBA", (120, 120), (0, 0, 0, 0))
ImageDraw.Draw(logo).rectangle([30, 20, 55, 100], fill=(0, 0, 0, 255))
ImageDraw.Draw(logo).rectangle([55, 20, 95, 45], fill=(0, 0, 0, 255))
logo.save(f"{out}/logo.png")
# Frames of few colours, which a GIF keeps exactly; Pillow stores the second
# and third as the part that changes, over what the frame before leaves.
frames = []
for colour in ((220, 40, 40), (40, 90, 220), (220, 40, 40)):
    frame = Image.new("RGB", (60, 60), (255, 255, 255))
    ImageDraw.Draw(frame).ellipse([8, 8, 52, 52], fill=colour)
    frames.append(frame)
for i, frame in enumerate(frames[:2]):
    frame.save(f"{out}/frame{i}.png")
frames[0].save(f"{out}/anim.gif", save_all=True, append_images=frames[1:], duration=[200, 50, 200], loop=0)
for side in (16, 32, 48):
    hand = Image.new("RGBA", (side, side))
    hand.putdata([((x * 255) // side, (y * 255) // side, (x * y) % 256, (0, 90, 255)[(x + y) % 3])
                  for y in range(side) for x in range(side)])
    hand.save(f"{out}/hand{side}.png")
PY
cat >"$pictures/logo.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="100" height="100">
  <circle cx="50" cy="50" r="44" fill="#2a6fdb"/>
  <path d="M30 70 L50 22 L70 70 Z" fill="#ffd23f" stroke="#102040" stroke-width="3"/>
</svg>
SVG

make_icon() {
    local name=$1
    shift
    timeout 120 "$convert" "$@" -o "$work/icons/$name.ico" || fail "tervana-convert could not make $name.ico"
}
make_icon classic "$pictures/photo.jpg"
make_icon classic-logo "$pictures/logo.png"
make_icon black-and-white --mono "$pictures/photo.jpg"
make_icon photo --sizes all "$pictures/photo.jpg"
make_icon transparent --sizes all "$pictures/clear.png"
make_icon drawing --sizes all "$pictures/logo.svg"
make_icon several --sizes all "$pictures/hand16.png" "$pictures/hand32.png" "$pictures/hand48.png" "$pictures/photo.jpg"
[ "$(stat -c %s "$work/icons/classic.ico")" = 3262 ] || fail "the classic icon is not 3,262 bytes"
[ "$(stat -c %s "$work/icons/black-and-white.ico")" = 326 ] || fail "the black-and-white icon is not 326 bytes"
# The logo's own transparency is in its classic icon: clear around the
# letter, and the black letter opaque (Windows then draws it so, below).
/usr/bin/python3 - "$work/icons/classic-logo.ico" <<'PY' || fail "the classic icon of a logo with alpha lost its transparency"
import sys
from PIL import Image
icon = Image.open(sys.argv[1]).convert("RGBA")
sys.exit(0 if icon.getpixel((2, 2))[3] == 0 and icon.getpixel((12, 16)) == (0, 0, 0, 255) else 1)
PY

sizes=(16 20 24 32 40 48 64 96 128 256)
# Making the prefix takes Wine some seconds the first time, and it goes on
# setting it up after wineboot returns: a program started meanwhile waited
# 10 s each time. The wine server ends when all of that is done.
timeout 300 wineboot --init >/dev/null 2>&1 || fail "Wine could not make its prefix within 5 minutes"
timeout 120 wineserver -w || fail "Wine did not finish making its prefix within 2 minutes"
failures=0
checked=0
for icon in "$work"/icons/*.ico; do
    name=$(basename "$icon" .ico)
    timeout 120 wine "$work/drawicon.exe" "$icon" "$work/drawings/$name" "${sizes[@]}" ||
        fail "Windows' loader could not load or draw $name.ico (or did not finish within 2 minutes)"
    for size in "${sizes[@]}"; do
        checked=$((checked + 1))
        if ! verdict=$(/usr/bin/python3 "$here/compare_drawing.py" "$icon" "$size" \
            "$work/drawings/$name-$size-0.raw" "$work/drawings/$name-$size-1.raw"); then
            echo "FAIL: $name.ico, $verdict" >&2
            failures=$((failures + 1))
        fi
    done
done
[ "$failures" = 0 ] || fail "$failures of $checked sizes are drawn otherwise than their icons say"

# Each cursor, the icon of the same images, and the hot spot GetIconInfo
# must give at each size: the logo is 120 x 120, the drawing 100 x 100, and
# a point lands on the pixel of the fitted picture that covers it.
mkdir -p "$work/cursors"
check_cursor() {
    local name=$1 options=$2 icon_options=$3 picture=$4 expected=$5 sizes found verdict
    # shellcheck disable=SC2086 # the options are words
    timeout 120 "$convert" --cursor $options "$picture" -o "$work/cursors/$name.cur" ||
        fail "tervana-convert could not make $name.cur"
    # shellcheck disable=SC2086
    timeout 120 "$convert" $icon_options "$picture" -o "$work/cursors/$name.ico" ||
        fail "tervana-convert could not make $name.ico"
    sizes=$(printf '%s\n' "$expected" | cut -d' ' -f1 | tr '\n' ' ')
    # shellcheck disable=SC2086
    found=$(timeout 120 wine "$work/drawicon.exe" --cursor "$work/cursors/$name.cur" "$work/drawings/$name" $sizes) ||
        fail "Windows' cursor loader could not load or draw $name.cur (or did not finish within 2 minutes)"
    found=$(printf '%s\n' "$found" | tr -d '\r')
    [ "$found" = "$expected" ] || fail "$name.cur: GetIconInfo gives the hot spots (size x y)
$found
where they are
$expected"
    for size in $sizes; do
        verdict=$(/usr/bin/python3 "$here/compare_drawing.py" "$work/cursors/$name.ico" "$size" \
            "$work/drawings/$name-$size-0.raw" "$work/drawings/$name-$size-1.raw") ||
            fail "$name.cur, $verdict"
    done
}
pointer_sizes="--sizes 128,96,64,48,32"
check_cursor pointer "--hotspot 40,30" "$pointer_sizes" "$pictures/logo.png" "128 42 32
96 32 24
64 21 16
48 16 12
32 10 8"
check_cursor drawing "--hotspot 50,22" "$pointer_sizes" "$pictures/logo.svg" "128 64 28
96 48 21
64 32 14
48 24 10
32 16 7"
check_cursor classic "--classic --hotspot 10,100" "" "$pictures/logo.png" "32 2 26"
check_cursor black-and-white "--mono --hotspot 119,0" "--mono" "$pictures/logo.png" "32 31 0"
# The animated cursor: three steps of 12, 3 and 12 jiffies, the first and
# last showing the same frame, stored once; with its title and author, and
# made again of itself, as an animated cursor given as a picture is.
timeout 120 "$convert" --ani --title Busy --author Tervana "$pictures/anim.gif" -o "$work/cursors/first.ani" ||
    fail "tervana-convert could not make first.ani"
timeout 120 "$convert" --ani --title Busy --author Tervana "$work/cursors/first.ani" -o "$work/cursors/anim.ani" ||
    fail "tervana-convert could not make anim.ani of first.ani"
cmp -s "$work/cursors/first.ani" "$work/cursors/anim.ani" || fail "anim.ani, made of first.ani, differs from it"
for i in 0 1; do
    timeout 120 "$convert" --sizes 128,96,64,48,32 "$pictures/frame$i.png" -o "$work/cursors/frame$i.ico" ||
        fail "tervana-convert could not make frame$i.ico"
done
found=$(timeout 120 wine "$work/drawicon.exe" --ani "$work/cursors/anim.ani" "$work/drawings/anim" 32) ||
    fail "Windows' cursor loader could not load or draw anim.ani (or did not finish within 2 minutes)"
found=$(printf '%s\n' "$found" | tr -d '\r')
expected=$'STEPS 3\nSTEP 0 12\nSTEP 1 3\nSTEP 2 12'
[ "$found" = "$expected" ] || fail "anim.ani: GetCursorFrameInfo tells
$found
where the GIF says
$expected"
for step in 0 1 2; do
    frame=$((step % 2))
    verdict=$(/usr/bin/python3 "$here/compare_drawing.py" "$work/cursors/frame$frame.ico" 32 \
        "$work/drawings/anim-$step-0.raw" "$work/drawings/anim-$step-1.raw") || fail "anim.ani step $step, $verdict"
done
echo "PASS: Windows' icon loader (Wine) drew 7 kinds of icon at $checked sizes, over black and white, as their pixels say;"
echo "      its cursor loader took 4 kinds of cursor, each pointing where asked at every size, drawn as its icon,"
echo "      and an animated cursor, each step for its frame's time and drawn as its frame"
