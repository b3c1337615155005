#!/usr/bin/env bash
# Builds Tervana with AddressSanitizer and UBSan (scripts/sanitizer-build.sh)
# and runs the unit tests once, three at a time (on two cores: each waits on
# the programs it starts now and then), the longest first.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/sanitizer-build.sh
source scripts/sanitizer-build.sh
configure_sanitizer_build build-asan
cmake --build build-asan --parallel
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Left to the normal build: the real window, Windows' loader and the
# browser, which run no code of ours the other tests do not; the shell tests
# of what the converter does to the files around it (the safety of sets,
# the package of a theme, the installed tree, the documented examples),
# and the matrix of every kind with every option (which reads command
# lines, and converts as the others do), whose code paths the unit tests
# run here already.
ctest --test-dir build-asan --output-on-failure --parallel 3 \
    --exclude-regex "e2e_real_window|wine_icon_loader|web_set_in_browser|converter_set_safety|app_icons_deb|install_tree|documented_examples|tst_outputkinds"
