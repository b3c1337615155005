#!/usr/bin/env bash
# Installs what is missing, builds Tervana and runs every test, headless:
# the project's scripts checked (shellcheck, pipelines), the unit tests
# under AddressSanitizer and UBSan, the fuzzing corpus replayed and a fixed
# fuzzing run, then the whole suite on the normal build (unit and window
# tests, the converter and hostile-input tests, the real window in Xvfb),
# and last the Debian package, installed into a folder of its own.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
scripts/check-scripts.sh
scripts/build.sh
scripts/sanitize.sh
scripts/fuzz.sh "${TERVANA_FUZZ_RUNS:-10000}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure
# The Debian package as a user gets it, installed apart from the system.
scripts/installed-test.sh
