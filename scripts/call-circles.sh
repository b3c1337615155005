#!/usr/bin/env bash
# Builds build-calls/, every product file compiled alone, quickly
# (scripts/quick-objects.cmake), and prints every circle of calls between
# the product's files (scripts/call-circles.py) that is not among the known
# ones (scripts/call-circles.known); fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-calls -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O0 -g0" -DCMAKE_UNITY_BUILD=OFF \
    -DCMAKE_PROJECT_INCLUDE="$PWD/scripts/quick-objects.cmake" >/dev/null
cmake --build build-calls --parallel --target tervana tervana-convert tervana-svg-render
exec scripts/call-circles.py --known scripts/call-circles.known build-calls
