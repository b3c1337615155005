#!/usr/bin/env bash
# Installs what is missing, builds Tervana and runs every test, headless.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure
