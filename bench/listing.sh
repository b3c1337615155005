#!/usr/bin/env bash
# The listing benchmark: a 64 MB macOS icon family of a million elements,
# listed by tervana-convert (--list) and by icns2png (-l), each line of
# both thrown away, timed as a whole: time, peak memory, processor time.
#   bench/listing.sh CONVERTER FOLDER   (BENCH_RUNS=N runs per figure, default 5)
# bench/run.sh runs it; on its own it needs icnsutils and a built converter.
set -euo pipefail
here=$(dirname "$0")
converter=$1 work=$2
runs=${BENCH_RUNS:-5}
export QT_QPA_PLATFORM=offscreen
# shellcheck source=bench/measure.sh
. "$here/measure.sh"

mkdir -p "$work"
: >"$work/results"
family=$work/million.icns
# A million elements of 64 bytes: run-length RGB of 128 pixels a side
# ("it32"), each 56 bytes of runs that fall short, as a hostile file holds.
/usr/bin/python3 - "$family" <<'PY'
import struct, sys
element = b"it32" + struct.pack(">I", 64) + bytes(56)
body = element * 1_000_000
with open(sys.argv[1], "wb") as out:
    out.write(b"icns" + struct.pack(">I", len(body) + 8) + body)
PY

# Each lister's lines go to the null device, and its status is left out
# (a damaged family is listed whole, then told of with exit status 1).
listing='"$@" >/dev/null; exit 0'
echo "Timing the listing of a 64 MB icon family of a million elements ($runs runs per tool)"
measure "list tervana-convert" sh -c "$listing" _ "$converter" --list "$family"
measure "list icns2png" sh -c "$listing" _ icns2png -l "$family"

awk '{ printf "%-22s %8.2f s %8.1f MB %8.2f s of processor time\n", $1 " " $2, $3, $4 / 1024, $5 }' "$work/results"
