#!/usr/bin/env bash
# Configures and builds Tervana into build/: everything, or only the
# targets named (scripts/build.sh tervana tervana-convert).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build build --parallel "${targets[@]}"
