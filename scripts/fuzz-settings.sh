# shellcheck shell=bash
# Sourced by scripts/fuzz.sh and scripts/fuzz-explore.sh: how the fuzz
# target is built and run, the same for both, so that an input found while
# exploring replays the same way in the test command.

# shellcheck source=scripts/sanitizer-build.sh
source scripts/sanitizer-build.sh

# Builds the fuzz target in the sanitizer build FOLDER, configured with the
# options given; sets fuzz_target, and fuzz_work, the folder for what a
# fuzzing run finds and writes (FOLDER/fuzzing/).
build_fuzz_target() { # FOLDER [CMAKE OPTION...]
    configure_sanitizer_build "$@"
    cmake --build "$1" --parallel --target fuzz_picture
    # shellcheck disable=SC2034 # for the scripts that source this one
    fuzz_target=$1/fuzz/fuzz_picture
    fuzz_work=$1/fuzzing
    mkdir -p "$fuzz_work"
}

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# An input takes the same path on every run: memory handed out always holds
# the same bytes, and Qt's hash tables are not seeded at random.
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:max_malloc_fill_size=1073741824
export QT_HASH_SEED=0
# shellcheck disable=SC2034 # for the scripts that source this one
fuzz_limits=(-max_len=65536 -timeout=30 -malloc_limit_mb=2048)

# Marks the start of a run, for report_fuzz_failure.
start_fuzz_run() {
    touch "$fuzz_work"/run-started
}

# Says which input failed in the run last started, or that the run failed
# without one to blame.
report_fuzz_failure() { # LOG
    tail -n 60 "$1" >&2
    local found
    found=$(find "$fuzz_work" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
        -newer "$fuzz_work"/run-started)
    if [ -n "$found" ]; then
        echo "FAIL: fuzzing found an input that fails: $found" >&2
    else
        echo "FAIL: the fuzz target failed without an input to blame; see $1" >&2
    fi
}
