# shellcheck shell=bash
# Sourced by the shell tests: what a test does when a tool it needs is
# missing. It skips (exit 77, which CTest counts as skipped); under
# ./test.sh, which installs every tool the tests use and sets
# TERVANA_REQUIRE_TOOLS=1, it fails instead, so that a skip cannot hide a
# tool left out of scripts/install-deps.sh. The C++ tests have the same
# rule in testutils.h (QSKIP_MISSING).

# missing_tool WHAT [NOTE]: ends the test for want of WHAT.
missing_tool() {
    if [ "${TERVANA_REQUIRE_TOOLS:-0}" = 1 ]; then
        echo "FAIL: not installed: $1, and TERVANA_REQUIRE_TOOLS=1 requires it${2:+ ($2)}" >&2
        exit 1
    fi
    echo "SKIP: not installed: $1${2:+ ($2)}"
    exit 77
}
