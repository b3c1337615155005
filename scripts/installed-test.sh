#!/usr/bin/env bash
# Tervana as its users get it: builds and checks the Debian package
# (scripts/package.sh), checks that this machine's package manager can
# satisfy its dependencies, installs it with dpkg into a root folder of its
# own (the machine's packages, and any Tervana the user has installed, are
# left as they are), converts a picture with the installed converter, checks
# its shell completions and opens pictures in the installed window in Xvfb
# (the end-to-end test, run in place: nothing may appear beside the
# installed tervana).
#   scripts/installed-test.sh     (after scripts/build.sh, for the drag source)
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "FAIL: $*" >&2; exit 1; }

scripts/package.sh
debs=(build/package/tervana_*.deb)
deb=$(realpath "${debs[0]}")
[ -f "$deb" ] || fail "no package was made"

# What installing it for real would do, asked without doing it.
if ! plan=$(apt-get install --simulate "$deb" 2>&1); then
    echo "$plan" >&2
    fail "the package's dependencies cannot be satisfied on this machine"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# Its dependencies are this machine's libraries, which that root does not
# list; the simulation above has checked them. dpkg logs into that root
# too, and finds its helper programs (ldconfig) also as a user whose PATH
# leaves out the system folders.
echo "Installing $deb into $root"
PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$root" --log="$work/dpkg-actions.log" --force-not-root --force-depends \
    --install "$deb" >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; fail "dpkg could not install the package"; }
bin=$root/usr/bin
{ [ -x "$bin/tervana" ] && [ -x "$bin/tervana-convert" ]; } || fail "the programs are not in /usr/bin"

# A WebP, which only the image-format plugins the package depends on read.
/usr/bin/python3 -c "import sys; from PIL import Image; Image.new('RGB', (60, 28), (200, 60, 30)).save(sys.argv[1], lossless=True)" \
    "$work/wide.webp"
timeout 60 "$bin/tervana-convert" "$work/wide.webp" -o "$work/wide.ico" || fail "the installed converter failed or hung"
/usr/bin/python3 - "$work/wide.ico" <<'PY' || fail "the installed converter's icon is wrong"
import sys
from PIL import Image
icon = Image.open(sys.argv[1])
assert icon.size == (32, 32), icon.size
assert icon.convert("RGB").getpixel((16, 16)) == (200, 60, 30)
PY
# The converter's shell completions where the package puts them, loaded by
# bash-completion and zsh (skipped when either is not installed).
completion=0
tests/install/check_completion.sh "$root/usr" || completion=$?
[ "$completion" -eq 0 ] || [ "$completion" -eq 77 ] || fail "the installed shell completions of tervana-convert are wrong"
# Asked of the package, not the disk: minimal systems leave manual pages out.
contents=$(dpkg-deb --contents "$deb")
[[ $contents == *usr/share/man/man1/tervana-convert.1.gz* ]] || fail "no man page in the package"
depends=$(dpkg-deb --field "$deb" Depends)
[[ $depends == *qt6-image-formats-plugins* ]] || fail "the package does not depend on the image-format plugins"

E2E_IN_PLACE=1 E2E_DESKTOP_ENTRY="$root/usr/share/applications/org.example.tervana.desktop" \
    timeout -k 10 300 tests/e2e/e2e_test.sh "$bin/tervana" "$work/e2e" build/tests/dragsource ||
    fail "the installed window's end-to-end test failed, or did not end within 5 minutes"
echo "PASS: the package installs, and its converter and window work as installed"
