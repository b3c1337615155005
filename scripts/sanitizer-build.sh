# shellcheck shell=bash
# Sourced by scripts/sanitize.sh and scripts/fuzz-settings.sh: how a build
# with AddressSanitizer and UBSan is configured. build-asan/ is the one the
# unit tests and the fixed fuzzing run share. It is made with clang, whose
# libFuzzer the fuzz target needs, and every library carries the coverage
# feedback a fuzzing run uses, which the tests leave unused. -O1 with line
# tables only, as the sanitizers advise: their reports keep file and line,
# and the build takes half the time of -O2 with full debugging information.
# Each library's files are compiled eight at a time as one (a unity build),
# which parses Qt's headers once for the eight: the product's part of the
# build took 420 s of processor time, and takes 160 (build/ is built so too).
#   configure_sanitizer_build FOLDER [CMAKE OPTION...]
configure_sanitizer_build() {
    local folder=$1
    shift
    cmake -S . -B "$folder" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" -DCMAKE_UNITY_BUILD=ON \
        -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 -DTERVANA_FUZZ=ON "$@" >/dev/null
}
