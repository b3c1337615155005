#!/usr/bin/env bash
# Configures and builds Tervana into build/: everything, or only the
# targets named (scripts/build.sh tervana tervana-convert). It is built as
# Debian builds its packages: -O2 with debugging information and Debian's
# compiler and linker flags (stack protector, fortified functions,
# read-only relocations bound at start), so that the tests run the very
# programs scripts/package.sh packs. Each library's files are compiled
# eight at a time as one (a unity build), which parses Qt's headers once
# for the eight and halves the build; a plain "cmake -B DIR" build compiles
# every file alone, which is how a file that lacks an include of its own is
# found.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build build --parallel "${targets[@]}"
