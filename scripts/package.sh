#!/usr/bin/env bash
# Makes the Debian package of Tervana and checks it: a release build in
# build-package/ with Debian's hardening flags, `cpack -G DEB`, then
# desktop-file-validate, appstreamcli and lintian on what it holds.
# Prints the package's path; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

# Debian's compiler and linker flags (stack protector, fortified functions,
# read-only relocations bound at start), as a package build would use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

rm -rf build-package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-package --parallel
(cd build-package && cpack -G DEB >/dev/null)
package=$(ls build-package/tervana_*.deb)

# What the package installs, unpacked, for the desktop checkers.
tree=build-package/unpacked
dpkg-deb -x "$package" "$tree"
desktop-file-validate "$tree"/usr/share/applications/*.desktop
appstreamcli validate --pedantic --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --pedantic --no-net "$tree"

# lintian fails on errors; warnings and notes are printed for review. Its
# scratch files go into the build folder, not the system's /tmp.
mkdir -p build-package/lintian-tmp
TMPDIR=$PWD/build-package/lintian-tmp lintian --fail-on error --display-info "$package"
rm -rf build-package/lintian-tmp
echo "$package"
