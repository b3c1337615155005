#!/usr/bin/env bash
# Installs what is missing, builds Tervana and runs every test, headless:
# the unit tests under AddressSanitizer and UBSan, a bounded fuzzing run,
# then the whole suite on the normal build (unit and window tests, the
# converter and hostile-input tests, the real window in Xvfb), and last the
# Debian package as a user installs it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
scripts/build.sh
scripts/sanitize.sh
scripts/fuzz.sh "${TERVANA_FUZZ_SECONDS:-60}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure
# The Debian package, installed into this machine, used, and removed again.
scripts/installed-test.sh
