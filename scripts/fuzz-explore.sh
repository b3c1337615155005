#!/usr/bin/env bash
# Open-ended fuzzing, not part of the test command: fuzzes from fuzz/corpus/
# and what earlier explorations found (build-fuzz/fuzzing/explored/) for as
# long as asked, with a new random seed each time. Its build, build-fuzz/,
# also traces comparisons, which guide the fuzzer past the magic numbers of
# formats. An input that fails is written to build-fuzz/fuzzing/ (crash-*,
# timeout-*, oom-*); copy it into fuzz/corpus/ with the fix, so that
# scripts/fuzz.sh replays it from then on.
#   scripts/fuzz-explore.sh [SECONDS]     (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/fuzz-settings.sh
source scripts/fuzz-settings.sh
seconds=${1:-600}
build_fuzz_target build-fuzz -DTERVANA_FUZZ_COMPARISONS=ON -DBUILD_TESTING=OFF
mkdir -p "$fuzz_work/explored"
exec "$fuzz_target" "${fuzz_limits[@]}" -rss_limit_mb=4096 -max_total_time="$seconds" \
    -artifact_prefix="$fuzz_work/" -print_final_stats=1 "$fuzz_work/explored" fuzz/corpus
