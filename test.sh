#!/usr/bin/env bash
# Installs what is missing, builds Tervana and runs every test, headless:
# the project's scripts checked (shellcheck, pipelines), the unit tests
# under AddressSanitizer and UBSan, the fuzzing corpus replayed and a fixed
# fuzzing run, then the whole suite on the normal build (unit and window
# tests, the converter and hostile-input tests, the real window in Xvfb),
# and last the Debian package, installed into a folder of its own. At the
# end it prints each step's time.
set -euo pipefail
cd "$(dirname "$0")"
# shellcheck source=scripts/steps.sh
source scripts/steps.sh
# Every tool the tests use is installed by the first step: a test that finds
# one missing fails instead of skipping (tests/testutils.h, tests/missingtool.sh).
export TERVANA_REQUIRE_TOOLS=1
step "packages" scripts/install-deps.sh test
step "script checks" scripts/check-scripts.sh
step "build" scripts/build.sh
step "sanitizer build and unit tests" scripts/sanitize.sh
step "fuzzing" scripts/fuzz.sh "${TERVANA_FUZZ_RUNS:-10000}" "${TERVANA_FUZZ_SECONDS:-240}"
export QT_QPA_PLATFORM=offscreen
step "tests" ctest --test-dir build --output-on-failure --parallel 3
# The Debian package as a user gets it, installed apart from the system.
step "package" scripts/installed-test.sh
