#!/usr/bin/env bash
# Open-ended fuzzing, not part of the test command: fuzzes from fuzz/corpus/
# and what earlier explorations found (build-fuzz/explored/) for as long as
# asked, with a new random seed each time. An input that fails is written to
# build-fuzz/ (crash-*, timeout-*, oom-*); copy it into fuzz/corpus/ with
# the fix, so that scripts/fuzz.sh replays it from then on.
#   scripts/fuzz-explore.sh [SECONDS]     (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
target=$(scripts/fuzz-build.sh)
mkdir -p build-fuzz/explored
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$target" -max_len=65536 -timeout=30 -rss_limit_mb=8192 -malloc_limit_mb=8192 -max_total_time="$seconds" \
    -artifact_prefix=build-fuzz/ -print_final_stats=1 build-fuzz/explored fuzz/corpus
