#!/usr/bin/env bash
# The program-icons benchmark: every icon a program ships, made from one SVG
# logo (a 512-unit rounded square), by tervana-convert (--app-icons: Windows,
# macOS, Linux, the web, Android, iOS and an MSIX package, 85 files) and by
# the usual way (bench/appicons_peer.py: librsvg renders once at 1024, Pillow
# shrinks with Lanczos, lays out and writes the same 85 files), each timed as
# a whole; then each size's PSNR of the .ico and .icns against the exact
# coverage of the logo (bench/appicons.py).
#   bench/appicons.sh CONVERTER FOLDER   (BENCH_RUNS=N runs per figure, default 5)
# bench/run.sh runs it last; on its own it needs the benchmark's packages
# (scripts/install-deps.sh bench) and a built converter.
set -euo pipefail
here=$(dirname "$0")
converter=$1 work=$2
runs=${BENCH_RUNS:-5}
python=/usr/bin/python3 # Debian's, which has Pillow and NumPy
export QT_QPA_PLATFORM=offscreen
# shellcheck source=bench/measure.sh
. "$here/measure.sh"

mkdir -p "$work/tervana" "$work/peer"
: >"$work/results"
svg=$work/logo.svg

# The logo: a rounded square with a diagonal gradient over a soft shadow, a
# thin light outline, a disc with a radial gradient and a thin dark ring, a
# translucent wave and a translucent leaf reaching past the square, all on
# a transparent ground.
cat >"$svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 512 512" width="512" height="512">
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#4f46e5"/><stop offset="1" stop-color="#0ea5e9"/>
    </linearGradient>
    <radialGradient id="sun" cx="0.38" cy="0.34" r="0.7">
      <stop offset="0" stop-color="#fff7d6"/><stop offset="1" stop-color="#f59e0b"/>
    </radialGradient>
  </defs>
  <rect x="56" y="64" width="416" height="416" rx="92" fill="#0f172a" opacity="0.3"/>
  <rect x="48" y="48" width="416" height="416" rx="92" fill="url(#tile)"/>
  <rect x="60" y="60" width="392" height="392" rx="82" fill="none" stroke="#ffffff" stroke-opacity="0.7"
        stroke-width="3"/>
  <circle cx="256" cy="224" r="104" fill="url(#sun)"/>
  <circle cx="256" cy="224" r="104" fill="none" stroke="#7c2d12" stroke-width="4"/>
  <path d="M96 392 Q176 336 256 372 T416 360 L416 400 Q336 380 256 412 T96 428 Z" fill="#ffffff"
        fill-opacity="0.65"/>
  <path d="M352 150 C380 80 440 40 500 24 C488 96 440 150 370 170 Z" fill="#22c55e" fill-opacity="0.6"
        stroke="#14532d" stroke-width="2"/>
</svg>
EOF

# What --help says, captured once: whether the converter has --app-icons.
help=$("$converter" --help)
app_icons=no
[[ $help == *--app-icons* ]] && app_icons=yes

# ---- The set's command: every icon of the program from the logo. --------
# make_set CONVERTER SVG FOLDER. Until the converter makes all at once
# (--app-icons), the set is the macOS icon family and the Windows icon.
make_set() {
    if [ "$app_icons" = yes ]; then
        "$1" --app-icons "$3" "$2"
    else
        "$1" --icns "$2" -o "$3/app.icns" && "$1" --sizes windows "$2" -o "$3/app.ico"
    fi
}
# -------------------------------------------------------------------------
export -f make_set
export app_icons

# Two processes (or more) run as one script under /usr/bin/time, which then
# gives the wall time of the whole, the processor time of every process
# summed and the largest process's peak memory.
echo "Timing a program's icons from a 512-unit SVG logo ($runs runs per tool)"
# shellcheck disable=SC2016 # the inner shell expands them
measure "set tervana-convert" bash -c 'make_set "$@"' _ "$converter" "$svg" "$work/tervana"
measure "set rsvg+pillow" "$python" "$here/appicons_peer.py" "$svg" "$work/peer"

# The set's .icns and .ico: those --app-icons wrote (the web's favicon.ico,
# of 16 to 48 only, left out), if it wrote one of each; else (another
# layout) made apart, untimed, for the quality.
ours() { # ENDING
    local found=()
    mapfile -t found < <(find "$work/tervana" -name "*.$1" -not -path "*/web/*")
    if [ ${#found[@]} -eq 1 ]; then
        echo "${found[0]}"
        return
    fi
    case $1 in
        icns) "$converter" --icns "$svg" -o "$work/apart.icns" ;;
        ico) "$converter" --sizes windows "$svg" -o "$work/apart.ico" ;;
    esac
    echo "$work/apart.$1"
}
ours_icns=$(ours icns)
ours_ico=$(ours ico)
for file in "$ours_icns" "$ours_ico" "$work/peer/app.icns" "$work/peer/app.ico"; do
    [ -s "$file" ] || { echo "appicons.sh: $file is missing or empty" >&2; exit 1; }
done
"$python" "$here/appicons.py" "$svg" "tervana-convert=$ours_icns,$ours_ico" \
    "peer=$work/peer/app.icns,$work/peer/app.ico" >"$work/psnr"

{
    echo "set tervana-convert $(find "$work/tervana" -type f -printf '%s\n' | awk '{ s += $1 } END { print NR, s }')"
    echo "set rsvg+pillow $(find "$work/peer" -type f -printf '%s\n' | awk '{ s += $1 } END { print NR, s }')"
} >"$work/bytes"

echo
if [ "$app_icons" = yes ]; then
    echo "A program's icons from the logo, median of $runs runs. tervana-convert: --app-icons DIR logo.svg;"
else
    echo "A program's icons from the logo, median of $runs runs. tervana-convert: --icns (16 to 1024) and then"
    echo "--sizes windows (16 to 256), two processes;"
fi
echo "rsvg+pillow: rsvg-convert at 1024 and Pillow's Lanczos to each size, laid out and written as the"
echo "same platforms' files (the .ico of the nine Windows sizes, Pillow's .icns of 32 to 1024, the theme,"
echo "the web, Android, iOS and MSIX sets). A script of several processes counts them all: wall time of"
echo "the whole, processor time summed, the largest process's peak memory; files and bytes: all written."
awk '
    FILENAME ~ /bytes$/ { files[$1, $2] = $3; bytes[$1, $2] = $4; next }
    { sec[$1, $2] = $3; kb[$1, $2] = $4; cpu[$1, $2] = $5; tool[++n] = $2; task[n] = $1 }
    END {
        fmt = "%-5s %-18s %9s %8s %12s %6s %10s\n"
        printf fmt, "task", "tool", "median s", "peak MB", "processor s", "files", "bytes"
        for (i = 1; i <= n; i++)
            printf fmt, task[i] == task[i - 1] ? "" : task[i], tool[i], sprintf("%.3f", sec[task[i], tool[i]]),
                   sprintf("%.1f", kb[task[i], tool[i]] / 1024), sprintf("%.2f", cpu[task[i], tool[i]]),
                   files[task[i], tool[i]], bytes[task[i], tool[i]]
    }' "$work/bytes" "$work/results"
echo
echo "PSNR per size (dB) against the exact coverage of the logo: librsvg at 8192 (6144 for 24 and 48),"
echo "each pixel's block averaged in premultiplied RGBA; all four channels compared. Each image from"
echo "the .icns, or from the .ico where the .icns has no such size."
[[ $ours_icns$ours_ico == *"$work/apart."* ]] &&
    echo "(--app-icons wrote no single .icns and .ico: tervana's images come from --icns and --sizes windows.)"
printf '%-5s %9s %9s   %s\n' size tervana peer "from (tervana, peer)"
awk '{ printf "%-5s %9s %9s   %s, %s\n", $1, $2, $3, $4, $5 }' "$work/psnr"
echo "The peer's Lanczos filter sharpens, ringing at edges: its lower figures are partly its choice of look."
awk -v processors="$(nproc)" '
    FILENAME ~ /psnr$/ { if ($2 != "inf" && (!n++ || $2 + 0 < worst)) worst = $2 + 0; next }
    $1 == "set" && $2 == "tervana-convert" { sec = $3 }
    END {
        fast = sec < 1; fine = worst >= 45
        printf "target: every file of the set in under 1 s on this %d-processor machine (the whole set: %.3f s %s),\n",
               processors, sec, fast ? "ok" : "MISS"
        printf "at least 45 dB at every size (worst: %.1f dB %s): %s\n", worst, fine ? "ok" : "MISS",
               fast && fine ? "met" : "NOT MET"
    }' "$work/psnr" "$work/results"
