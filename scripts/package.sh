#!/usr/bin/env bash
# Makes the Debian package of Tervana and checks it: the build of
# scripts/build.sh (Debian's flags, -O2 with debugging information, as
# Debian builds its packages; the package's programs are stripped), packed
# by `cpack -G DEB` into build/package/, then desktop-file-validate,
# appstreamcli and lintian on what it holds. The tests of ./test.sh run the
# very programs it packs.
# Prints the package's path; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
scripts/build.sh

folder=build/package
rm -rf "$folder"
(cd build && cpack -G DEB -B "$PWD/package" >/dev/null)
package=$(ls "$folder"/tervana_*.deb)

# What the package installs, unpacked, for the desktop checkers.
tree=$folder/unpacked
dpkg-deb -x "$package" "$tree"
desktop-file-validate "$tree"/usr/share/applications/*.desktop
appstreamcli validate --pedantic --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --pedantic --no-net "$tree"

# lintian fails on errors; warnings and notes are printed for review. Its
# scratch files go into the build folder, not the system's /tmp.
mkdir -p "$folder/lintian-tmp"
TMPDIR=$PWD/$folder/lintian-tmp lintian --fail-on error --display-info "$package"
rm -rf "$folder/lintian-tmp"
echo "$package"
