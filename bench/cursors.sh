#!/usr/bin/env bash
# The cursor benchmark: animated cursors from a 60-frame 480 x 480 GIF, by
# tervana-convert (--ani and --xcursor) and by the nearest pipelines of
# Debian's tools (bench/magick_cursors.sh), each timed as a whole.
#   bench/cursors.sh CONVERTER FOLDER   (BENCH_RUNS=N runs per figure, default 5)
# bench/run.sh runs it last; on its own it needs the benchmark's packages
# (scripts/install-deps.sh bench) and a built converter.
set -euo pipefail
here=$(dirname "$0")
converter=$1 work=$2
runs=${BENCH_RUNS:-5}
export QT_QPA_PLATFORM=offscreen
# shellcheck source=bench/measure.sh
. "$here/measure.sh"

mkdir -p "$work"
: >"$work/results"
/usr/bin/python3 "$here/make_cursor_gif.py" "$work"
gif=$work/busy.gif

# A pipeline of several processes runs as one script under /usr/bin/time,
# which then gives the wall time of the whole, the processor time of every
# process summed and the largest process's peak memory.
echo "Timing cursors from a 60-frame 480 x 480 GIF ($runs runs per tool)"
measure ".ani tervana-convert" "$converter" --ani --sizes 32,48,64 "$gif" -o "$work/busy.ani"
measure ".ani imagemagick" "$here/magick_cursors.sh" ani "$gif" "$work/magick-ani"
measure "xcursor tervana-convert" "$converter" --xcursor "$gif" -o "$work/busy"
measure "xcursor imagemagick+xcursorgen" "$here/magick_cursors.sh" xcursor "$gif" "$work/magick-xcursor" \
    "$work/magick-busy"

# check STEP FILE...: stops unless every FILE is there and not empty.
check() {
    local step=$1 file
    shift
    for file in "$@"; do
        [ -s "$file" ] || { echo "cursors.sh: $step left $file missing or empty" >&2; exit 1; }
    done
}
check "tervana-convert --ani" "$work/busy.ani"
check "ImageMagick's icons" "$work"/magick-ani/busy-{00..59}.ico
check "tervana-convert --xcursor" "$work/busy"
check "xcursorgen" "$work/magick-busy"

# The bytes each tool wrote, beside its figures.
{
    echo ".ani tervana-convert $(stat -c %s "$work/busy.ani")"
    echo ".ani imagemagick $(cat "$work"/magick-ani/*.ico | wc -c)"
    echo "xcursor tervana-convert $(stat -c %s "$work/busy")"
    echo "xcursor imagemagick+xcursorgen $(stat -c %s "$work/magick-busy")"
} >"$work/bytes"

echo
echo "Cursors from a 60-frame 480 x 480 animated GIF, median of $runs runs. A peer pipeline counts all its"
echo "processes: wall time of the whole, processor time summed, the largest process's peak memory."
awk '
    FILENAME ~ /bytes$/ { bytes[$1, $2] = $3; next }
    { sec[$1, $2] = $3; kb[$1, $2] = $4; cpu[$1, $2] = $5; tool[++n] = $2; task[n] = $1 }
    END {
        fmt = "%-8s %-31s %9s %8s %12s %10s\n"
        printf fmt, "task", "tool", "median s", "peak MB", "processor s", "bytes"
        for (i = 1; i <= n; i++)
            printf fmt, task[i] == task[i - 1] ? "" : task[i], tool[i], sprintf("%.3f", sec[task[i], tool[i]]),
                   sprintf("%.1f", kb[task[i], tool[i]] / 1024), sprintf("%.2f", cpu[task[i], tool[i]]), bytes[task[i], tool[i]]
    }' "$work/bytes" "$work/results"
# An Xcursor file's table of contents counts its images (and comments, which
# neither tool writes): every size of every frame.
images() { od -An -tu4 -j12 -N4 "$1" | tr -d ' '; }
echo "Images in the Xcursor (sizes x frames): tervana-convert $(images "$work/busy"), imagemagick+xcursorgen" \
    "$(images "$work/magick-busy")."
echo ".ani, ImageMagick: its coalesced frames as 60 icons of 64, 48 and 32 pixels (bytes: all 60); no Debian"
echo "tool packs frames into an .ani, so the peer stops there. Xcursor, ImageMagick+xcursorgen: the frames at"
echo "24, 32, 48, 64 and 96 pixels as PNG, then xcursorgen with every size, frame and delay."
