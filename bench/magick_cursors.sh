#!/usr/bin/env bash
# The cursor benchmark's peer: the nearest pipelines Debian's tools give to
# an animated cursor from an animated GIF.
#   bench/magick_cursors.sh xcursor IN.gif FOLDER OUTPUT
#       ImageMagick coalesces the frames and writes each at 24, 32, 48, 64
#       and 96 pixels as PNG into FOLDER, with the frames' delays; xcursorgen
#       makes OUTPUT, an animated Xcursor, from a list of every size, frame
#       and delay (hot spot 0,0, as the converter's without --hotspot).
#   bench/magick_cursors.sh ani IN.gif FOLDER
#       ImageMagick coalesces the frames and writes each as an icon of 64, 48
#       and 32 pixels into FOLDER (busy-00.ico...). No Debian tool packs them
#       into an .ani. ImageMagick 6.9's .cur writer stores icons, not cursors,
#       and several sizes in one .cur come out damaged, hence .ico.
# Each step that fails stops the pipeline, naming the step.
set -euo pipefail
mode=$1 in=$2 folder=$3

# Debian's ImageMagick by its path: another convert may come first on PATH.
if [ -x /usr/bin/magick ]; then
    convert=(/usr/bin/magick) identify=(/usr/bin/magick identify)
else
    convert=(/usr/bin/convert) identify=(/usr/bin/identify)
fi

fail() {
    echo "magick_cursors.sh $mode: $1 failed" >&2
    exit 1
}

xcursor() {
    local output=$1 size sizes=(24 32 48 64 96) clones=()
    for size in "${sizes[@]}"; do
        clones+=('(' -clone 0--1 -resize "${size}x$size" -write "$folder/$size-%02d.png" -delete 0--1 ')')
    done
    "${convert[@]}" "$in" -coalesce -format '%T\n' -write "info:$folder/delays" "${clones[@]}" null: ||
        fail "ImageMagick's frames"
    # The GIF's delays are in hundredths of a second, xcursorgen's in ms.
    for size in "${sizes[@]}"; do
        awk -v size="$size" '{ printf "%d 0 0 %d-%02d.png %d\n", size, size, NR - 1, $1 * 10 }' "$folder/delays"
    done >"$folder/config" || fail "the xcursorgen list"
    xcursorgen -p "$folder" "$folder/config" "$output" || fail xcursorgen
}

ani() {
    local delays count i name clones=()
    delays=$("${identify[@]}" -ping -format '%T\n' "$in") || fail "ImageMagick's frame count"
    count=$(wc -l <<<"$delays")
    # One icon a frame: ImageMagick writes a list to separate icons wrongly,
    # but one picture to one icon of several sizes rightly.
    for ((i = 0; i < count; i++)); do
        printf -v name '%s/busy-%02d.ico' "$folder" "$i"
        clones+=('(' -clone "$i" -write "$name" +delete ')')
    done
    "${convert[@]}" "$in" -coalesce -define icon:auto-resize=64,48,32 "${clones[@]}" null: ||
        fail "ImageMagick's icons"
}

mkdir -p "$folder"
case $mode in
    xcursor) xcursor "$4" ;;
    ani) ani ;;
    *) echo "usage: $0 xcursor IN.gif FOLDER OUTPUT | ani IN.gif FOLDER" >&2; exit 2 ;;
esac
