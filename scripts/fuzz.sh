#!/usr/bin/env bash
# The fuzzing step of the test command, the same on every run: replays the
# corpus kept in fuzz/corpus/ (every input that ever made fuzzing fail is
# there), then fuzzes from it with a fixed seed for a fixed number of runs.
# Open-ended fuzzing, which finds new inputs, is scripts/fuzz-explore.sh.
#   scripts/fuzz.sh [RUNS]     (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/fuzz-settings.sh
source scripts/fuzz-settings.sh
runs=${1:-10000}
build_fuzz_target

echo "Replaying the corpus: $(find fuzz/corpus -type f | wc -l) inputs"
start_fuzz_run
"$fuzz_target" "${fuzz_limits[@]}" fuzz/corpus/* 2>build-fuzz/replay.log ||
    { report_fuzz_failure build-fuzz/replay.log; exit 1; }

# The same run every time also needs addresses that are not randomised
# (where the machine allows it), no comparisons of pointers feeding the
# mutations, no corpus reloaded on a timer, and no memory watch on a timer.
same_layout=()
if setarch "$(uname -m)" --addr-no-randomize true 2>/dev/null; then
    same_layout=(setarch "$(uname -m)" --addr-no-randomize)
else
    echo "Note: addresses stay randomised here, so the fuzzing run may differ a little from run to run." >&2
fi
same_path=(-use_cmp=0 -use_memmem=0 -reload=0 -rss_limit_mb=0)

# What this run finds goes to a folder of its own, emptied first, so that
# every run starts from the same corpus.
rm -rf build-fuzz/found
mkdir -p build-fuzz/found
echo "Fuzzing: $runs runs from seed 1"
start_fuzz_run
"${same_layout[@]}" "$fuzz_target" "${fuzz_limits[@]}" "${same_path[@]}" -seed=1 -runs="$runs" \
    -artifact_prefix=build-fuzz/ -print_final_stats=1 build-fuzz/found fuzz/corpus 2>build-fuzz/fuzz.log ||
    { report_fuzz_failure build-fuzz/fuzz.log; exit 1; }
grep -E '^#[0-9]+[[:space:]]+DONE' build-fuzz/fuzz.log || true
