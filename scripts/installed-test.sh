#!/usr/bin/env bash
# Tervana as its users get it: builds and checks the Debian package
# (scripts/package.sh), installs it into this machine, converts a picture
# with the installed converter, opens pictures in the installed window in
# Xvfb (the end-to-end test, run in place: nothing may appear beside
# /usr/bin/tervana), then removes the package again.
#   scripts/installed-test.sh     (after scripts/build.sh, for the drag source)
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

scripts/package.sh
deb=$(ls build-package/tervana_*.deb)
[ -f "$deb" ] || { echo "FAIL: no package was made" >&2; exit 1; }
echo "Installing $deb"
$sudo apt-get install -y -qq "$(realpath "$deb")" >/dev/null
work=$(mktemp -d)
trap '$sudo apt-get remove -y -qq tervana >/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x /usr/bin/tervana ] && [ -x /usr/bin/tervana-convert ] || fail "the programs are not in /usr/bin"

/usr/bin/python3 -c "from PIL import Image; Image.new('RGB', (60, 28), (200, 60, 30)).save('$work/wide.bmp')"
/usr/bin/tervana-convert "$work/wide.bmp" -o "$work/wide.ico" || fail "the installed converter failed"
/usr/bin/python3 - "$work/wide.ico" <<'PY' || fail "the installed converter's icon is wrong"
import sys
from PIL import Image
icon = Image.open(sys.argv[1])
assert icon.size == (32, 32), icon.size
assert icon.convert("RGB").getpixel((16, 16)) == (200, 60, 30)
PY
# Asked of the package, not the disk: minimal systems leave manual pages out.
dpkg-deb -c "$deb" | grep -q "usr/share/man/man1/tervana-convert.1.gz" || fail "no man page in the package"

E2E_IN_PLACE=1 tests/e2e/e2e_test.sh /usr/bin/tervana "$work/e2e" build/tests/dragsource
echo "PASS: the package installs, its converter and window work, and it removes cleanly"
