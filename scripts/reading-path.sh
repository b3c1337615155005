#!/usr/bin/env bash
# How often reading a picture returns to a source file it has already left:
# builds the converter with every function's entry recorded (build-trace/),
# converts one picture of each format, and prints for each the files its
# reading passed through, from readPicture to the decoded pixels, and the
# count of returns. Each function counts at its first call only, so a loop
# over rows is one way through the code. A tool for developers; no test.
#   scripts/reading-path.sh            a line for each format
#   scripts/reading-path.sh -v         and the files passed through
set -euo pipefail
cd "$(dirname "$0")/.."
verbose=${1:-}
here=$PWD
trace=$here/build-trace
mkdir -p "$trace"
cc -c -O1 scripts/reading-path/tracer.c -o "$trace/tracer.o"
cmake -S . -B "$trace" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS=-finstrument-functions -finstrument-functions-exclude-file-list=/usr/include" \
    "-DCMAKE_EXE_LINKER_FLAGS=$trace/tracer.o -ldl" >/dev/null
# The tracer is linked in by a flag, which the build does not follow: the
# programs are linked again each time.
rm -f "$trace/tervana-convert"
cmake --build "$trace" --parallel --target tervana-convert tervana-svg-render >/dev/null

inputs=$(mktemp -d)
trap 'rm -rf "$inputs"' EXIT
for format in jpg png gif bmp tif tga ppm webp; do
    convert -size 300x200 gradient:red-blue "$inputs/picture.$format"
done
# Big ones take the reduced readers, which feed rows to resample/ as they
# decode them.
for format in jpg png gif bmp tif ppm; do
    convert -size 3000x2000 gradient:red-blue "$inputs/big.$format"
done
convert -size 48x32 gradient:red-blue "$inputs/picture.ico"
convert -size 300x200 gradient:red-blue -interlace JPEG "$inputs/progressive.jpg"
cp "tests/formats/svg/clip path.svg" "$inputs/drawing.svg"

for picture in "$inputs"/*; do
    for mode in classic sizes; do
        options=()
        [ "$mode" = sizes ] && options=(--sizes windows)
        TERVANA_TRACE="$inputs/trace.txt" "$trace/tervana-convert" "${options[@]}" "$picture" \
            -o "$inputs/out.ico" 2>/dev/null || true
        report=$(python3 scripts/reading-path/stays.py "$trace/tervana-convert" "$inputs/trace.txt" "$here")
        rm -f "$inputs/trace.txt"
        [ "$verbose" = -v ] && printf '%s\n' "$report"
        echo "$(basename "$picture") $mode: ${report##*$'\n'}"
    done
done
