#!/usr/bin/env bash
# Builds the fuzz target with clang, AddressSanitizer and UBSan, seeds it
# with small pictures of every kind, and fuzzes for a bounded time.
#   scripts/fuzz.sh [SECONDS]     (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTERVANA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --parallel --target fuzz_picture

corpus=build-fuzz/corpus
mkdir -p "$corpus"
/usr/bin/python3 - "$corpus" <<'PY'
import io, os, sys
from PIL import Image
out = sys.argv[1]
picture = Image.new("RGB", (7, 5), (200, 30, 90))
picture.putpixel((3, 2), (0, 0, 0))
for name, image, fmt in [("seed.jpg", picture, "JPEG"), ("seed.gif", picture.convert("P"), "GIF"),
                         ("seed.bmp", picture, "BMP"), ("seed.png", picture, "PNG"),
                         ("seed.ico", picture.resize((16, 16)), "ICO"),
                         ("seed-gray.jpg", picture.convert("L"), "JPEG"), ("seed-1bit.bmp", picture.convert("1"), "BMP")]:
    image.save(os.path.join(out, name), fmt)
# Big enough for the reduced readers at a 1 x 1 drawing (16 pixels a side).
stripes = Image.new("P", (40, 24))
stripes.putpalette([v for i in range(256) for v in (i, 255 - i, i // 2)])
stripes.putdata([(x // 3 + y // 2) % 16 for y in range(24) for x in range(40)])
stripes.save(os.path.join(out, "seed-stripes.gif"), "GIF", interlace=False)
stripes.save(os.path.join(out, "seed-stripes-interlaced.gif"), "GIF", interlace=True)
# A JPEG the reduced reader takes at a 1 x 1 drawing (eight pixels at 1/8).
stripes.convert("RGB").resize((72, 64)).save(os.path.join(out, "seed-stripes.jpg"), "JPEG")
stripes.convert("RGB").save(os.path.join(out, "seed-stripes.bmp"), "BMP")
PY
/usr/bin/python3 tests/hostile/make_hostile_pictures.py build-fuzz/hostile >/dev/null
/usr/bin/python3 tests/hostile/make_hostile_pictures.py --cuts build-fuzz/hostile >/dev/null
find build-fuzz/hostile -type f -size -200k -exec cp {} "$corpus"/ \;

export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-fuzz/fuzz/fuzz_picture -max_total_time="$seconds" -max_len=65536 -timeout=30 -artifact_prefix=build-fuzz/ \
    -rss_limit_mb=8192 -malloc_limit_mb=8192 -print_final_stats=1 "$corpus"
