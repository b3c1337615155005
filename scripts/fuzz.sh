#!/usr/bin/env bash
# The fuzzing step of the test command, the same on every run: replays the
# corpus kept in fuzz/corpus/ (every input that ever made fuzzing fail is
# there), then fuzzes from it with a fixed seed for a fixed number of runs.
# Open-ended fuzzing, which finds new inputs, is scripts/fuzz-explore.sh.
#   scripts/fuzz.sh [RUNS]     (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000}
target=$(scripts/fuzz-build.sh)

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The fuzzing explores the same inputs on every run when nothing else
# varies: memory handed out always holds the same bytes, Qt's hash tables
# are not seeded at random, addresses are not randomised (and compared
# pointers do not feed the mutations), and the corpus is not reloaded on a
# timer.
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:max_malloc_fill_size=1073741824
export QT_HASH_SEED=0
same_layout=(setarch "$(uname -m)" --addr-no-randomize)
same_path=(-use_cmp=0 -use_memmem=0 -reload=0)
limits=(-max_len=65536 -timeout=30 -rss_limit_mb=0 -malloc_limit_mb=2048)

echo "Replaying the corpus: $(find fuzz/corpus -type f | wc -l) inputs"
"$target" "${limits[@]}" fuzz/corpus/* 2>build-fuzz/replay.log ||
    { tail -n 60 build-fuzz/replay.log >&2; echo "FAIL: an input of fuzz/corpus/ fails again" >&2; exit 1; }

# What this run finds goes to a folder of its own, emptied first, so that
# every run starts from the same corpus.
rm -rf build-fuzz/found
mkdir -p build-fuzz/found
echo "Fuzzing: $runs runs from seed 1"
"${same_layout[@]}" "$target" "${limits[@]}" "${same_path[@]}" -seed=1 -runs="$runs" \
    -artifact_prefix=build-fuzz/ -print_final_stats=1 build-fuzz/found fuzz/corpus 2>build-fuzz/fuzz.log ||
    { tail -n 60 build-fuzz/fuzz.log >&2; echo "FAIL: fuzzing found an input that fails (build-fuzz/crash-* or timeout-*)" >&2; exit 1; }
grep -E '^#[0-9]+[[:space:]]+DONE' build-fuzz/fuzz.log || true
