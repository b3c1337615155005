#!/usr/bin/env bash
# The fuzzing step of the test command, the same on every run: replays the
# corpus kept in fuzz/corpus/ (every input that ever made fuzzing fail is
# there), then fuzzes from it with a fixed seed for a fixed number of runs,
# or until its time is up, whichever comes first, and says how many runs it
# made. Open-ended fuzzing, which finds new inputs, is
# scripts/fuzz-explore.sh.
#   scripts/fuzz.sh [RUNS [SECONDS]]     (default 10000 runs, 240 s)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/fuzz-settings.sh
source scripts/fuzz-settings.sh
runs=${1:-10000}
seconds=${2:-240}
build_fuzz_target build-asan
work=$fuzz_work

echo "Replaying the corpus: $(find fuzz/corpus -type f | wc -l) inputs"
start_fuzz_run
"$fuzz_target" "${fuzz_limits[@]}" fuzz/corpus/* 2>"$work/replay.log" ||
    { report_fuzz_failure "$work/replay.log"; exit 1; }

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
rm -rf "$work/found"
mkdir -p "$work/found"
echo "Fuzzing: $runs runs from seed 1, for at most $seconds s"
start_fuzz_run
"${same_layout[@]}" "$fuzz_target" "${fuzz_limits[@]}" "${same_path[@]}" -seed=1 -runs="$runs" \
    -max_total_time="$seconds" -artifact_prefix="$work/" -print_final_stats=1 "$work/found" fuzz/corpus \
    2>"$work/fuzz.log" || { report_fuzz_failure "$work/fuzz.log"; exit 1; }

# How far the run got: libFuzzer's own count of the inputs run (the corpus
# read first among them) and its rate.
stat() { # NAME
    sed -n "s/^stat::$1:[[:space:]]*//p" "$work/fuzz.log"
}
sed -n 's/^Done /Fuzzing: done /p' "$work/fuzz.log"
echo "Fuzzing made $(stat number_of_executed_units) of the $runs runs asked, $(stat average_exec_per_sec) a second" \
    "(peak $(stat peak_rss_mb) MB)"
