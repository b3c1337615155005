#!/usr/bin/env bash
# Builds the fuzz target with clang, AddressSanitizer and UBSan into
# build-fuzz/ and prints its path. Used by scripts/fuzz.sh and
# scripts/fuzz-explore.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTERVANA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --parallel --target fuzz_picture >&2
echo build-fuzz/fuzz/fuzz_picture
