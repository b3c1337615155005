#!/usr/bin/env bash
# Installs what is missing, builds Tervana and opens its window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build
# The programs only (and the SVG renderer they run): the tests are built by
# ./test.sh.
scripts/build.sh tervana tervana-convert
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tervana is built (build/tervana), but there is no display to open its window on." >&2
    echo "Run it from a desktop session, or give it a virtual one:" >&2
    echo "    sudo apt-get install xvfb && xvfb-run -a ./run.sh" >&2
    exit 1
fi
exec build/tervana "$@"
