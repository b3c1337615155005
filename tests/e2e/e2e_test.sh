#!/usr/bin/env bash
# The real program in a real X server: click "Apri", type a picture's path
# into the file dialog, click "Salva", type an icon's path, then check the
# icon's bytes, the temp copy, the saved settings and the preview on screen.
# Then the same window goes on as a person would: it saves the same picture
# again, opens a wide one and saves that; both icons of the first picture
# must be identical, and the wide one's bands clean, as in a fresh window.
# Last, a picture dragged from another program and dropped on the window
# opens without a dialog. The executable runs from a folder other than its
# build folder, as an installed one does: nothing may appear beside it.
#   e2e_test.sh TERVANA_EXECUTABLE OUTPUT_DIR DRAG_SOURCE_EXECUTABLE
# With E2E_IN_PLACE=1 the executable runs where it is (an installed one).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/x11-session.sh
source "$here/../../scripts/x11-session.sh"
executable=$1
output=$2
dragsource=$3
# shellcheck source=tests/missingtool.sh
source "$here/../missingtool.sh"
# 77: skipped, for want of the tools that drive and check the real window.
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || missing_tool "$tool"
done
/usr/bin/python3 -c "import PIL" 2>/dev/null || missing_tool Pillow
mkdir -p "$output"

work=$(mktemp -d)
xvfb_pid=""
tervana=""
source_window=""
# shellcheck disable=SC2086 # the PIDs that are set, each a word
trap 'stop_programs $tervana $source_window $xvfb_pid; rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
program="$work/program folder"
mkdir -p "$program" "$work/pictures" "$work/icons" "$work/config" "$work/data"
if [ "${E2E_IN_PLACE:-0}" = 1 ]; then
    program=$(dirname "$executable")
else
    cp "$executable" "$program/tervana"
fi
tervana_executable="$program/$(basename "$executable")"
beside_before=$(ls -A "$program")
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
data="$work/data/Tervana" # where an installed window keeps its work files

fail() { echo "FAIL: $*" >&2; exit 1; }

picture="$work/pictures/beach day.bmp"
/usr/bin/python3 - "$picture" <<'PY'
import sys
from PIL import Image
image = Image.new("RGB", (32, 32))
for y in range(32):
    for x in range(32):
        image.putpixel((x, y), (8 * x, 8 * y, 255 - 4 * (x + y)))
for i in range(32):
    image.putpixel((i, i), (0, 0, 0))        # pure black: transparent
    image.putpixel((31 - i, i), (1, 1, 1))   # almost black: opaque
image.save(sys.argv[1], "BMP")
PY

# 60 x 28: the left half pure black, the right half one colour. It fits as
# 32 x 16 at rows 8 to 23, black columns 0 to 15, between white bands.
wide="$work/pictures/wide.bmp"
/usr/bin/python3 - "$wide" "$work/wide-square.bmp" <<'PY'
import sys
from PIL import Image
wide = Image.new("RGB", (60, 28), (200, 60, 30))
wide.paste((0, 0, 0), (0, 0, 30, 28))
wide.save(sys.argv[1], "BMP")
square = Image.new("RGB", (32, 32), (255, 255, 255))
square.paste((0, 0, 0), (0, 8, 16, 24))
square.paste((200, 60, 30), (16, 8, 32, 24))
square.save(sys.argv[2], "BMP")
PY

start_xvfb "$work" 1024x768x24 || fail "no virtual X server"

"${tied[@]}" "$tervana_executable" >"$output/tervana.log" 2>&1 &
tervana=$!
window=$(wait_for_window '^Tervana$') || fail "the window did not appear"

# Clicks at X, Y in the window until the dialog with this title opens (a
# click that came before the window was ready is lost); prints its id.
click_for_dialog() { # X Y TITLE
    local _
    for _ in 1 2 3; do
        xdotool mousemove --window "$window" "$1" "$2" click 1
        wait_for_window "$3" 7 2>/dev/null && return 0
    done
    echo "dialog '$3' did not open after three clicks" >&2
    return 1
}

answer_dialog() { # DIALOG PATH TITLE
    local dialog=$1
    sleep 0.5
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool key ctrl+a # the save dialog proposes the last name
    xdotool type --delay 5 "$2"
    sleep 0.3
    xdotool key Return
    wait_for_window_gone "$3" || fail "dialog '$3' did not close"
}

# Button centres inside the window: Apri (149, 156), Salva (248, 155).
open_picture() { # PATH
    local dialog
    dialog=$(click_for_dialog 149 156 'Apri file Immagine') || fail "the Open dialog did not open"
    answer_dialog "$dialog" "$1" 'Apri file Immagine'
    sleep 1
}
save_icon() { # PATH
    local dialog
    dialog=$(click_for_dialog 248 155 'Salva file ico') || fail "the Save dialog did not open"
    answer_dialog "$dialog" "$1" 'Salva file ico'
    wait_for_file "$1" || fail "the save wrote no icon"
    sleep 0.5
}

open_picture "$picture"
wait_for_file "$data/temporaneo" || fail "the Open command wrote no temporaneo work file in $data"
icon="$work/icons/Mare.ico"
save_icon "$icon"

/usr/bin/python3 "$here/expected_icon.py" "$picture" "$work/expected.ico"
cmp "$icon" "$work/expected.ico" || fail "the saved icon's bytes differ from the expected icon"
cmp "$icon" "$data/temp" || fail "the temp copy differs from the saved icon"
grep -qx "cdSaveAsDirSetting=$work/icons/" "$work/config/Kelbrin.conf" || fail "folder setting missing"
grep -qx "cdSaveAsIndexSetting=1" "$work/config/Kelbrin.conf" || fail "index setting missing"

# The preview's client area starts at (36, 140) in the window; it must show
# the 32 x 32 SQUARE pixel for pixel.
check_preview() { # SCREENSHOT SQUARE
    import -window "$window" "$1"
    /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
from PIL import Image
shot = Image.open(sys.argv[1]).convert("RGB")
square = Image.open(sys.argv[2]).convert("RGB")
for y in range(32):
    for x in range(32):
        expected = square.getpixel((x, y))
        actual = shot.getpixel((36 + x, 140 + y))
        if actual != expected:
            sys.exit(f"preview pixel ({x}, {y}) is {actual}, expected {expected}")
PY
}
check_preview "$output/e2e-window.png" "$picture" || fail "the preview does not show the picture"

# The same picture saved again, with no new Open: the same bytes.
again="$work/icons/Mare again.ico"
save_icon "$again"
cmp "$icon" "$again" || fail "saving the same picture again wrote other bytes"

# A wide picture after those saves: exactly what a fresh window makes of it.
open_picture "$wide"
wide_icon="$work/icons/Wide.ico"
save_icon "$wide_icon"
/usr/bin/python3 "$here/expected_icon.py" "$work/wide-square.bmp" "$work/expected-wide.ico"
cmp "$wide_icon" "$work/expected-wide.ico" || fail "the wide picture's icon differs from a fresh window's"
check_preview "$output/e2e-window-wide.png" "$work/wide-square.bmp" || fail "the wide picture's preview is not clean"

# A picture dragged from another program onto the window: it opens as Apri
# opens it, with no dialog, read by its content (a PNG, which Apri's dialog
# does not offer).
dropped="$work/pictures/dropped.png"
/usr/bin/python3 - "$dropped" <<'PY'
import sys
from PIL import Image
image = Image.new("RGB", (32, 32))
for y in range(32):
    for x in range(32):
        image.putpixel((x, y), (255 - 7 * x, 40 + 5 * y, 90))
image.save(sys.argv[1], "PNG")
PY
"${tied[@]}" "$dragsource" "$dropped" >"$output/dragsource.log" 2>&1 &
source_window=$!
from=$(wait_for_window '^drag source$') || fail "the drag source did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
target_x=$((X + 200)) target_y=$((Y + 60))
eval "$(xdotool getwindowgeometry --shell "$from")"
xdotool mousemove $((X + 60)) $((Y + 40)) mousedown 1
for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((X + 60 + (target_x - X - 60) * step / 8)) $((Y + 40 + (target_y - Y - 40) * step / 8))
    sleep 0.1
done
sleep 0.3
xdotool mouseup 1
retry_for 10 check_preview "$output/e2e-window-dropped.png" "$dropped" || fail "the dropped picture is not shown"
xdotool search --onlyvisible --name 'Apri file Immagine' >/dev/null 2>&1 && fail "the drop opened a dialog"

leftovers=$(diff <(echo "$beside_before") <(ls -A "$program") || true)
[ -z "$leftovers" ] || fail "files appeared beside the executable: $leftovers"
kill -0 "$tervana" || fail "tervana is not running any more"

# A picture given on the command line, as a file manager's "Open with"
# starts the program: it opens without a dialog, and Salva saves the icon
# the converter makes of it. With E2E_DESKTOP_ENTRY the command is that
# entry's Exec line, its %f given the picture.
stop_programs "$tervana" "$source_window"
tervana="" source_window=""
wait_for_window_gone '^Tervana$' || fail "the first window did not close"
given="$work/pictures/given on the command line.png"
/usr/bin/python3 - "$given" <<'PY'
import sys
from PIL import Image
image = Image.new("RGB", (32, 32))
for y in range(32):
    for x in range(32):
        image.putpixel((x, y), (30 + 6 * y, 250 - 7 * x, 120))
image.save(sys.argv[1], "PNG")
PY
command=("$tervana_executable" "$given")
if [ -n "${E2E_DESKTOP_ENTRY:-}" ]; then
    exec_line=$(sed -n 's/^Exec=//p' "$E2E_DESKTOP_ENTRY")
    read -r -a words <<<"$exec_line"
    command=()
    for word in "${words[@]}"; do
        if [ "$word" = "%f" ]; then
            command+=("$given")
        elif [ "${#command[@]}" = 0 ] && [[ $word != */* ]]; then
            command+=("$program/$word") # the entry names the installed program
        else
            command+=("$word")
        fi
    done
fi
"${tied[@]}" "${command[@]}" >"$output/tervana-given.log" 2>&1 &
tervana=$!
window=$(wait_for_window '^Tervana$') || fail "the window given a picture did not appear"
retry_for 10 check_preview "$output/e2e-window-given.png" "$given" || fail "the picture given on the command line is not shown"
xdotool search --onlyvisible --name 'Apri file Immagine' >/dev/null 2>&1 && fail "the command line opened a dialog"
given_icon="$work/icons/Given.ico"
save_icon "$given_icon"
converter="$(dirname "$executable")/tervana-convert"
"$converter" "$given" -o "$work/given-converted.ico" || fail "the converter could not convert the picture"
cmp "$given_icon" "$work/given-converted.ico" || fail "the icon saved from the command line differs from the converter's"
echo "PASS: opened and saved three times, opened a dropped picture and one given on the command line, through the real window; screenshots in $output/"
