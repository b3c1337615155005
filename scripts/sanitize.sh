#!/usr/bin/env bash
# Builds Tervana with AddressSanitizer and UBSan and runs the unit tests once.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVANA_SANITIZE=ON >/dev/null
cmake --build build-asan --parallel
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure --exclude-regex "e2e_real_window|wine_icon_loader"
