#!/usr/bin/env bash
# The benchmark: times Tervana's Open command (fit a picture into the 32 x 32
# square) and tervana-convert against ImageMagick and Pillow doing the same
# job, each as a whole process, on big single pictures and on a batch of 300
# photos, and measures how close our square is to the exact area average of
# the picture; then animated cursors from an animated GIF (bench/cursors.sh);
# every icon a program ships, from an SVG logo (bench/appicons.sh); SVG
# drawings' icons and their sameness on a busy machine (bench/svgsizes.sh);
# last,
# the listing of a macOS icon family of a million elements (bench/listing.sh).
#   bench/run.sh            (BENCH_RUNS=N for N runs per figure, default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${BENCH_RUNS:-5}
python=/usr/bin/python3 # Debian's, which has Pillow and NumPy

# What building needs, and the peers and tools the benchmark uses.
scripts/install-deps.sh bench

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --parallel --target tervana-open-bench tervana-convert
bench=build-bench/bench/tervana-open-bench
converter=build-bench/tervana-convert

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "Generating inputs in $work"
"$python" bench/make_inputs.py "$work"

# measure NAME COMMAND... (bench/measure.sh), into "$work/results".
# shellcheck source=bench/measure.sh
. bench/measure.sh

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
: >"$work/results"
for input in photo.jpg photo.bmp photo.gif; do
    in=$work/$input
    echo "Timing $input ($runs runs per tool)"
    measure "$input tervana" "$bench" "$in" "$work/ours.bmp"
    measure "$input tervana-convert" "$converter" "$in" -o "$work/converted.ico"
    measure "$input imagemagick" convert "$in" -resize 32x32 -background white -gravity center -extent 32x32 "$work/magick.ico"
    measure "$input pillow" "$python" bench/pillow_ico.py "$in" "$work/pillow.ico"
    measure "$input vipsthumbnail" vipsthumbnail "$in" -s 32x32 -o "$work/vips.png"
    echo "$input psnr $("$python" bench/psnr.py "$in" "$work/ours.bmp")" >>"$work/results"
done

batch=("$work"/batch/*)
mkdir -p "$work/out-ours" "$work/out-pillow" "$work/out-magick"
echo "Timing the batch of ${#batch[@]} photos ($runs runs per tool)"
measure "batch tervana-convert" "$converter" "${batch[@]}" -d "$work/out-ours"
measure "batch one-job" "$converter" -j 1 "${batch[@]}" -d "$work/out-ours"
measure "batch pillow" "$python" bench/pillow_batch.py "$work/out-pillow" "${batch[@]}"
mkdir -p "$work/out-vips"
measure "batch vipsthumbnail" vipsthumbnail "${batch[@]}" -s 32x32 -o "$work/out-vips/%s.png"

# Memory as the count grows: hard links of one photo, given as a list, at
# 300 and at $scale pictures; then each name listed twice, so that every
# second one is refused as a second picture for one result.
scale=${BENCH_SCALE:-100000}
mkdir -p "$work/many"
# A file takes at most 65,000 links on ext4: a fresh copy every 60,000.
for ((i = 0; i < scale; i++)); do
    ((i % 60000)) || cp "${batch[0]}" "$work/many/source-$i.jpg.bin"
    ln "$work/many/source-$((i / 60000 * 60000)).jpg.bin" "$work/many/$i.jpg"
done
find "$work/many" -name '*.jpg' | sort > "$work/many.list"
head -n 300 "$work/many.list" > "$work/300.list"
awk '{ print; print }' "$work/many.list" > "$work/twice.list"
echo "Timing lists of 300 and $scale pictures (one run each)"
runs=1 measure "list 300" "$converter" --files-from "$work/300.list" -d "$(mktemp -d -p "$work")"
runs=1 measure "list many" "$converter" --files-from "$work/many.list" -d "$(mktemp -d -p "$work")"
# shellcheck disable=SC2016 # the inner shell expands them
runs=1 measure "list twice" sh -c '"$0" "$@" 2>/dev/null; [ $? -le 1 ]' "$converter" --files-from "$work/twice.list" \
    -d "$(mktemp -d -p "$work")"
rm -rf "$work/many"
measure "batch imagemagick" mogrify -path "$work/out-magick" -format ico -resize 32x32 -background white \
    -gravity center -extent 32x32 "${batch[@]}"

echo "Timing icons of all seven sizes ($runs runs per tool)"
for input in photo.jpg square.jpg; do
    in=$work/$input
    measure "sizes-$input tervana-convert" "$converter" --sizes all "$in" -o "$work/sizes-ours.ico"
    measure "sizes-$input imagemagick" convert "$in" -define icon:auto-resize=256,128,64,48,32,24,16 \
        "$work/sizes-magick.ico"
    measure "sizes-$input pillow" "$python" bench/pillow_sizes.py "$in" "$work/sizes-pillow.ico"
done
echo "Timing WebP and TIFF photos and an SVG logo ($runs runs per tool)"
for input in photo.webp photo.tiff; do
    in=$work/$input
    measure "newer-$input tervana-convert" "$converter" --bmp "$in" -o "$work/newer-ours.bmp"
    measure "newer-$input imagemagick" convert "$in" -resize 32x32 -background white -gravity center -extent 32x32 \
        "$work/newer-magick.ico"
    measure "newer-$input pillow" "$python" bench/pillow_ico.py "$in" "$work/newer-pillow.ico"
    echo "newer-$input psnr $("$python" bench/psnr.py "$in" "$work/newer-ours.bmp")" >>"$work/results"
done
measure "newer-logo.svg tervana-convert" "$converter" --sizes all "$work/logo.svg" -o "$work/svg-ours.ico"
measure "newer-logo.svg imagemagick" convert -background none "$work/logo.svg" \
    -define icon:auto-resize=256,128,64,48,32,24,16 "$work/svg-magick.ico"
"$python" tests/formats/svg_psnr.py "$work/logo.svg" "$work/svg-ours.ico" --peer >"$work/psnr-svg"
# The sizes Windows asks for, from the logo: ours (librsvg in its own
# process), ImageMagick, and librsvg's rsvg-convert at 256 shrunk by Pillow.
measure "windows-logo.svg tervana-convert" "$converter" --sizes windows "$work/logo.svg" -o "$work/windows-ours.ico"
measure "windows-logo.svg imagemagick" convert -background none "$work/logo.svg" \
    -define icon:auto-resize=256,96,64,48,40,32,24,20,16 "$work/windows-magick.ico"
# shellcheck disable=SC2016 # the inner shell expands them
measure "windows-logo.svg rsvg+shrink" bash -c 'rsvg-convert -w 256 -h 256 "$1" -o "$2.png" && "$3" bench/pillow_sizes.py "$2.png" "$2" windows' \
    _ "$work/logo.svg" "$work/windows-rsvg.ico" "$python"

echo "Timing a 12000 x 9000 PNG ($runs runs per tool)"
big=$work/big.png
measure "bigpng-32 tervana-convert" "$converter" "$big" -o "$work/big-ours.ico"
measure "bigpng-32 imagemagick" convert "$big" -resize 32x32 -background white -gravity center -extent 32x32 \
    "$work/big-magick.ico"
measure "bigpng-32 pillow" "$python" bench/pillow_ico.py "$big" "$work/big-pillow.ico"
measure "bigpng-sizes tervana-convert" "$converter" --sizes all "$big" -o "$work/big-sizes-ours.ico"
measure "bigpng-sizes imagemagick" convert "$big" -define icon:auto-resize=256,128,64,48,32,24,16 \
    "$work/big-sizes-magick.ico"
measure "bigpng-sizes pillow" "$python" bench/pillow_sizes.py "$big" "$work/big-sizes-pillow.ico"
"$converter" --bmp "$big" -o "$work/big-ours.bmp"
# Pillow warns of pictures of more than 89 megapixels, which this is.
echo "bigpng-32 psnr $("$python" -W ignore bench/psnr.py "$big" "$work/big-ours.bmp")" >>"$work/results"
(cd bench && "$python" -W ignore psnr_sizes.py "$big" "tervana-convert=$work/big-sizes-ours.ico") >"$work/psnr-big"

# The last icons made are those of square.jpg.
(cd bench && "$python" psnr_sizes.py "$work/square.jpg" "tervana-convert=$work/sizes-ours.ico" \
    "imagemagick=$work/sizes-magick.ico" "pillow=$work/sizes-pillow.ico") >"$work/psnr-sizes"

echo
echo "Median of $runs runs; peak MB is the median of each run's peak resident memory."
echo "tervana: the Open command through the real window (scripted dialog);"
echo "tervana-convert: the command-line converter, Open and Save to an icon."
echo "Targets: ours faster than both peers; peak memory <= the leaner peer's on the JPEG,"
echo "within 1.25x of it on the others; PSNR >= 50 dB against the exact area average."
echo
awk '
    $2 == "psnr" { psnr[$1] = $3; next }
    $1 == "batch" || $1 == "list" || $1 ~ /^(sizes|newer|windows|bigpng)-/ || $2 == "vipsthumbnail" { next }
    { sec[$1, $2] = $3; kb[$1, $2] = $4; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
    function verdict(ok) { return ok ? "ok" : "MISS" }
    function timeRatio(name, ours, peer,    t) {
        if (sec[name, peer] <= 0) return "n/a"
        t = sec[name, ours] / sec[name, peer]
        return sprintf("%.2fx %s", t, verdict(t < 1))
    }
    END {
        fmt = "%-10s %-16s %9s %8s  %-13s %-13s %-20s %s\n"
        printf fmt, "input", "tool", "median s", "peak MB", "time/magick", "time/pillow", "mem/leaner peer", "PSNR dB"
        for (i = 1; i <= n; i++) {
            name = order[i]
            leaner = kb[name, "imagemagick"] <= kb[name, "pillow"] ? "imagemagick" : "pillow"
            limit = name ~ /\.jpg$/ ? 1.00 : 1.25
            split("tervana tervana-convert imagemagick pillow", tools, " ")
            for (k = 1; k <= 4; k++) {
                tool = tools[k]
                ours = tool ~ /^tervana/
                m = kb[name, tool] / kb[name, leaner]
                printf fmt, k == 1 ? name : "", tool, sprintf("%.2f", sec[name, tool]), sprintf("%.1f", kb[name, tool] / 1024),
                       ours ? timeRatio(name, tool, "imagemagick") : "", ours ? timeRatio(name, tool, "pillow") : "",
                       ours ? sprintf("%.2fx %s (<=%.2f)", m, verdict(m <= limit), limit) : (tool == leaner ? "(leaner peer)" : ""),
                       tool == "tervana" ? sprintf("%.2f %s", psnr[name], verdict(psnr[name] >= 50)) : ""
            }
        }
    }' "$work/results"

echo
echo "The conversion core (tervana-convert) against Pillow, $(nproc) processors:"
awk '
    { sec[$1, $2] = $3; kb[$1, $2] = $4; cpu[$1, $2] = $5 }
    function row(what, name, ours, timeLimit) {
        t = sec[name, ours] / sec[name, "pillow"]; m = kb[name, ours] / kb[name, "pillow"]
        printf "%-34s %6.2f s %7.1f MB | pillow %6.2f s %7.1f MB | magick %6.2f s %7.1f MB | time %.2fx %s (<=%.2f)  memory %.2fx %s (<=1.00)\n",
               what, sec[name, ours], kb[name, ours] / 1024, sec[name, "pillow"], kb[name, "pillow"] / 1024,
               sec[name, "imagemagick"], kb[name, "imagemagick"] / 1024,
               t, t <= timeLimit ? "ok" : "MISS", timeLimit, m, m <= 1 ? "ok" : "MISS"
    }
    END {
        row("300 photos, mixed JPEG/GIF/BMP, -d", "batch", "tervana-convert", 0.45)
        row("one 6000 x 4000 JPEG", "photo.jpg", "tervana-convert", 0.7)
        printf "vipsthumbnail: the batch %.2f s %.1f MB (ours %.2fx its time), the 6000 x 4000 JPEG %.3f s %.1f MB (ours %.2fx)\n",
               sec["batch", "vipsthumbnail"], kb["batch", "vipsthumbnail"] / 1024, sec["batch", "tervana-convert"] / sec["batch", "vipsthumbnail"],
               sec["photo.jpg", "vipsthumbnail"], kb["photo.jpg", "vipsthumbnail"] / 1024,
               sec["photo.jpg", "tervana-convert"] / sec["photo.jpg", "vipsthumbnail"]
        j = sec["batch", "tervana-convert"] / (cpu["batch", "one-job"] / 2)
        printf "the batch with -j 1: %.2f s, %.2f s of processor time; with two jobs %.2f s, %.2fx that time / 2 (target <= 1.15 %s)\n",
               sec["batch", "one-job"], cpu["batch", "one-job"], sec["batch", "tervana-convert"], j, j <= 1.15 ? "ok" : "MISS"
        m = kb["list", "many"] / kb["list", "300"]
        printf "peak memory, a list of 300: %.1f MB; of '"$scale"': %.1f MB (%.2fx, target <= 2.00 %s), %.1f s; each listed twice, every second refused: %.1f MB, %.1f s\n",
               kb["list", "300"] / 1024, kb["list", "many"] / 1024, m, m <= 2 ? "ok" : "MISS", sec["list", "many"],
               kb["list", "twice"] / 1024, sec["list", "twice"]
        printf "the window'\''s Open of the 6000 x 4000 JPEG: %.2f s, %.1f MB (before the core: 0.10 s, 28.2 MB)\n",
               sec["photo.jpg", "tervana"], kb["photo.jpg", "tervana"] / 1024
    }' "$work/results"

echo
echo "Icons of all seven sizes (16 to 256) in one file, against ImageMagick's icon:auto-resize and Pillow's sizes=:"
awk '
    $1 ~ /^sizes-/ { sec[$1, $2] = $3; kb[$1, $2] = $4 }
    $1 == "photo.jpg" && $2 == "tervana-convert" { one = $3 }
    END {
        fmt = "%-22s %-16s %9s %8s\n"
        printf fmt, "input", "tool", "median s", "peak MB"
        split("sizes-photo.jpg sizes-square.jpg", inputs, " ")
        split("tervana-convert imagemagick pillow", tools, " ")
        for (i = 1; i <= 2; i++)
            for (k = 1; k <= 3; k++)
                printf fmt, k == 1 ? substr(inputs[i], 7) : "", tools[k], sprintf("%.3f", sec[inputs[i], tools[k]]),
                       sprintf("%.1f", kb[inputs[i], tools[k]] / 1024)
        t = sec["sizes-photo.jpg", "tervana-convert"] / one
        printf "target: all seven sizes of the 6000 x 4000 JPEG in at most 1.5 x its 32 x 32 conversion (%.3f s): %.2fx %s\n",
               one, t, t <= 1.5 ? "ok" : "MISS"
    }' "$work/results"
echo "PSNR per size (dB) against the exact area average of square.jpg (4000 x 4000):"
printf '%-16s %6s %6s %6s %6s %6s %6s %6s\n' tool 16 24 32 48 64 128 256
awk '{ printf "%-16s %6s %6s %6s %6s %6s %6s %6s\n", $1, $2, $3, $4, $5, $6, $7, $8 }' "$work/psnr-sizes"

echo
echo "WebP and TIFF photos (3000 x 2000) into the 32 x 32 icon, and an SVG logo into icons of all seven sizes:"
awk '
    $1 ~ /^newer-/ && $2 == "psnr" { psnr[$1] = $3; next }
    $1 ~ /^newer-/ { sec[$1, $2] = $3; kb[$1, $2] = $4 }
    END {
        fmt = "%-10s %-16s %9s %8s %8s\n"
        printf fmt, "input", "tool", "median s", "peak MB", "PSNR dB"
        split("newer-photo.webp newer-photo.tiff newer-logo.svg", inputs, " ")
        split("tervana-convert imagemagick pillow", tools, " ")
        for (i = 1; i <= 3; i++)
            for (k = 1; k <= 3; k++)
                if ((inputs[i], tools[k]) in sec)
                    printf fmt, k == 1 ? substr(inputs[i], 7) : "", tools[k], sprintf("%.3f", sec[inputs[i], tools[k]]),
                           sprintf("%.1f", kb[inputs[i], tools[k]] / 1024), k == 1 && (inputs[i] in psnr) ? psnr[inputs[i]] : ""
    }' "$work/results"
echo
echo "The logo into the nine sizes Windows asks for (--sizes windows):"
awk '
    $1 == "windows-logo.svg" { sec[$2] = $3; kb[$2] = $4 }
    END {
        split("tervana-convert imagemagick rsvg+shrink", tools, " ")
        for (k = 1; k <= 3; k++)
            printf "%-16s %9.3f s %7.1f MB\n", tools[k], sec[tools[k]], kb[tools[k]] / 1024
        t = sec["tervana-convert"] / sec["imagemagick"]
        printf "target: within 2x ImageMagick'\''s time: %.2fx %s\n", t, t <= 2 ? "ok" : "MISS"
    }' "$work/results"
echo "The logo per size (dB) against the exact coverage of its shapes (librsvg at 16 x, area-averaged);"
echo "the peer renders once at 256 and shrinks. Target: >= 45 dB at every size, above the peer at 16 to 48."
printf '%-5s %9s %9s %s\n' size tervana peer verdict
awk '{ printf "%-5s %9s %9s %s\n", $1, $2, $3, ($2 >= 45 && ($1 > 48 || $2 > $3)) ? "ok" : "MISS" }' "$work/psnr-svg"

echo
echo "A 12000 x 9000 PNG into the 32 x 32 icon and into icons of all seven sizes. Targets: faster than"
echo "both peers, peak memory <= 64 MB, PSNR >= 55 dB against the exact area average (every size)."
awk '
    $1 ~ /^bigpng-/ && $2 == "psnr" { psnr[$1] = $3; next }
    $1 ~ /^bigpng-/ { sec[$1, $2] = $3; kb[$1, $2] = $4 }
    FILENAME ~ /psnr-big$/ { worst = $2; for (i = 3; i <= NF; i++) if ($i < worst) worst = $i; psnr["bigpng-sizes"] = worst }
    function verdict(ok) { return ok ? "ok" : "MISS" }
    END {
        fmt = "%-7s %-16s %9s %8s  %-13s %-13s %-12s %s\n"
        printf fmt, "job", "tool", "median s", "peak MB", "time/magick", "time/pillow", "memory", "PSNR dB"
        split("bigpng-32 bigpng-sizes", jobs, " ")
        split("tervana-convert imagemagick pillow", tools, " ")
        for (i = 1; i <= 2; i++) {
            job = jobs[i]; ours = sec[job, "tervana-convert"]
            for (k = 1; k <= 3; k++) {
                tool = tools[k]; mine = k == 1
                printf fmt, k == 1 ? substr(job, 8) : "", tool, sprintf("%.2f", sec[job, tool]), sprintf("%.1f", kb[job, tool] / 1024),
                       mine ? sprintf("%.2fx %s", ours / sec[job, "imagemagick"], verdict(ours < sec[job, "imagemagick"])) : "",
                       mine ? sprintf("%.2fx %s", ours / sec[job, "pillow"], verdict(ours < sec[job, "pillow"])) : "",
                       mine ? verdict(kb[job, tool] <= 64 * 1024) : "",
                       mine ? sprintf("%s %s", psnr[job], verdict(psnr[job] >= 55)) : ""
            }
        }
    }' "$work/results" "$work/psnr-big"
echo "PSNR per size (dB) of the seven sizes, 16 to 256:"
cat "$work/psnr-big"

echo
BENCH_RUNS=$runs bench/cursors.sh "$converter" "$work/cursors"

echo
BENCH_RUNS=$runs bench/appicons.sh "$converter" "$work/appicons"

echo
BENCH_RUNS=$runs bench/svgsizes.sh "$converter" "$work/svgsizes"

echo
BENCH_RUNS=$runs bench/listing.sh "$converter" "$work/listing"
