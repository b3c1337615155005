#!/usr/bin/env bash
# The linux/ folder of --app-icons packed as a Debian package's files
# (usr/share/icons/hicolor/...) installs beside the hicolor theme's own
# package without a conflict: no file of ours is one of its files, its
# index.theme above all. The hicolor package is stood in for by one built
# here from the paths the installed one lists, installed first into the same
# scratch root; nothing is fetched.
#   app_icons_deb_test.sh TERVANA_CONVERT_EXECUTABLE
set -euo pipefail
convert=$(realpath "$1")
# 77: skipped, for want of dpkg-deb or the installed hicolor theme.
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is not installed"; exit 77; }
hicolor_files=$(dpkg -L hicolor-icon-theme 2>/dev/null) || { echo "SKIP: hicolor-icon-theme is not installed"; exit 77; }

work=$(mktemp -d)
# KEEP=1 keeps the work folder, to look into a failure.
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# A package folder of `files` (paths under /), named NAME, version 1.
package() { # FOLDER NAME
    mkdir -p "$1/DEBIAN"
    printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: Test <test@example.org>\nDescription: test\n' "$2" \
        > "$1/DEBIAN/control"
    dpkg-deb --root-owner-group --build "$1" "$2.deb" >/dev/null || fail "dpkg-deb could not build $2"
}

# The stand-in: the same folders and files as the installed hicolor package,
# each file holding its path.
while IFS= read -r path; do
    [[ $path == /usr/share/icons/* ]] || continue
    if [[ -d $path ]]; then
        mkdir -p "stand-in$path"
    else
        mkdir -p "stand-in${path%/*}"
        echo "$path" > "stand-in$path"
    fi
done <<< "$hicolor_files"
[[ -f stand-in/usr/share/icons/hicolor/index.theme ]] || fail "the hicolor package lists no index.theme"
package stand-in hicolor-icon-theme

# Ours: the linux/ folder of --app-icons as usr/share/icons.
{
    printf 'P6\n64 64\n255\n'
    for ((row = 0; row < 64; row++)); do head -c $((64 * 3)) /dev/zero | tr '\0' "\\$(printf %03o $((row * 4)))"; done
} > logo.ppm
"$convert" --app-icons icons --name logo logo.ppm >/dev/null || fail "--app-icons failed"
[[ -d icons/linux/hicolor ]] || fail "--app-icons wrote no linux/hicolor"
mkdir -p ours/usr/share
cp -r icons/linux ours/usr/share/icons
package ours tervana-logo-icons
contents=$(dpkg-deb --contents tervana-logo-icons.deb)
[[ $contents == *usr/share/icons/hicolor/256x256/apps/logo.png* ]] || fail "the package lacks the 256 icon: $contents"
[[ $contents != *index.theme* ]] || fail "the package holds an index.theme: $contents"

# Both installed into a scratch root, the theme first; dpkg refuses a
# package holding a file another installed package holds.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: > "$root/var/lib/dpkg/status"
for deb in hicolor-icon-theme tervana-logo-icons; do
    PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$root" --log="$work/dpkg-actions.log" --force-not-root --force-bad-path \
        --install "$deb.deb" > "$deb.log" 2>&1 || fail "dpkg could not install $deb: $(cat "$deb.log")"
done
[[ $(cat "$root/usr/share/icons/hicolor/index.theme") == /usr/share/icons/hicolor/index.theme ]] ||
    fail "the theme's index.theme was replaced"
cmp -s "$root/usr/share/icons/hicolor/48x48/apps/logo.png" icons/linux/hicolor/48x48/apps/logo.png ||
    fail "our 48 icon was not installed"
status=$(PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$root" --status tervana-logo-icons 2>&1) || fail "not installed: $status"
[[ $status == *"Status: install ok installed"* ]] || fail "not installed: $status"
echo "the icons' package installs beside the hicolor theme's"
