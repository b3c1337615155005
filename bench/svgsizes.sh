#!/usr/bin/env bash
# The SVG benchmark. First, speed and quality: --sizes windows of 100 small
# drawings (bench/make_drawings.py) with one job, against the usual
# pipeline (bench/svg_peer.py: rsvg-convert at 256, then Pillow's resize and
# icon writer, in one Python process), each timed as a whole; then each
# size's PSNR against the exact coverage of ten of the drawings, ours and
# the peer's (tests/formats/svg_psnr.py). Then the same every time: drawings
# of 30 and 60 soft shadows (bench/make_shadows.py) made into --sizes all
# icons on a quiet machine, then 20 times each beside two busy processors'
# worth of stress-ng, every result compared with the quiet one.
#   bench/svgsizes.sh CONVERTER FOLDER   (BENCH_RUNS=N runs per figure, default 5)
# It needs the benchmark's packages (scripts/install-deps.sh bench) and a
# built converter.
set -euo pipefail
here=$(dirname "$0")
converter=$1 work=$2
runs=${BENCH_RUNS:-5}
python=/usr/bin/python3 # Debian's, which has Pillow and NumPy
export QT_QPA_PLATFORM=offscreen
# shellcheck source=bench/measure.sh
. "$here/measure.sh"

mkdir -p "$work/ours" "$work/peer"
: >"$work/results"
"$python" "$here/make_drawings.py" "$work/drawings" 100
drawings=("$work"/drawings/*.svg)

echo "Timing --sizes windows of ${#drawings[@]} drawings, one job ($runs runs per tool)"
measure "tervana-convert" "$converter" -j 1 --sizes windows "${drawings[@]}" -d "$work/ours"
measure "rsvg+pillow" "$python" "$here/svg_peer.py" "$work/peer" "${drawings[@]}"
echo
echo "tool                 wall s  peak MB  processor s"
while read -r name seconds kilobytes processor; do
    printf '%-20s %7s %8.1f %12s\n' "$name" "$seconds" "$(awk -v k="$kilobytes" 'BEGIN { print k / 1024 }')" "$processor"
done <"$work/results"

echo
echo "PSNR per size (dB) against the exact coverage (librsvg at 16 times the size, area-averaged),"
echo "the lowest and the median over ten drawings: ours, then rsvg at 256 shrunk by Pillow's Lanczos"
for n in 000 011 022 033 044 055 066 077 088 099; do
    "$python" tests/formats/svg_psnr.py "$work/drawings/drawing$n.svg" "$work/ours/drawing$n.ico" --peer
done >"$work/psnr"
awk '{ ours[$1] = ours[$1] " " $2; peer[$1] = peer[$1] " " $3 }
     END { for (size in ours) print size, ours[size], "|", peer[size] }' "$work/psnr" | sort -n |
    while read -r size rest; do
        mine=$(tr ' ' '\n' <<<"${rest%%|*}" | sed '/^$/d' | sort -g)
        theirs=$(tr ' ' '\n' <<<"${rest##*|}" | sed '/^$/d' | sort -g)
        printf '%4s  ours %s (median %s)  peer %s (median %s)\n' "$size" \
            "$(sed -n 1p <<<"$mine")" "$(sed -n 5p <<<"$mine")" "$(sed -n 1p <<<"$theirs")" "$(sed -n 5p <<<"$theirs")"
    done

echo
echo "The same every time: --sizes all of soft shadows, quiet, then 20 runs beside two stress-ng --cpu 1"
stress=()
trap 'kill "${stress[@]}" 2>/dev/null || true' EXIT
for shadows in 30 60; do
    svg=$work/shadows$shadows.svg
    "$python" "$here/make_shadows.py" "$shadows" >"$svg"
    "$converter" --sizes all "$svg" -o "$work/quiet$shadows.ico"
    quiet=$(sha256sum <"$work/quiet$shadows.ico")
    stress-ng --cpu 1 --timeout 600 --quiet &
    stress+=($!)
    stress-ng --cpu 1 --timeout 600 --quiet &
    stress+=($!)
    same=0 drawn=0
    for ((i = 0; i < 20; i++)); do
        rm -f "$work/busy.ico"
        if "$converter" --sizes all "$svg" -o "$work/busy.ico" 2>"$work/busy.err"; then
            drawn=$((drawn + 1))
            [ "$(sha256sum <"$work/busy.ico")" = "$quiet" ] && same=$((same + 1))
        fi
    done
    kill "${stress[@]}" 2>/dev/null || true
    wait "${stress[@]}" 2>/dev/null || true
    stress=()
    echo "$shadows soft shadows: drawn $drawn of 20 runs on the busy machine, $same of them equal to the quiet result"
done
