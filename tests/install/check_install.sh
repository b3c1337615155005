#!/usr/bin/env bash
# Installs the build into a temporary folder as the package does (prefix
# /usr under DESTDIR) and checks what a desktop finds there: the programs,
# the desktop entry, the AppStream description, the icons in their sizes,
# the manual pages, the package documents and the converter's shell
# completions (check_completion.sh). desktop-file-validate and appstreamcli
# check the entry and the description when they are installed; when one of
# them, bash-completion or zsh is missing the test exits with 77 (skipped)
# after the other checks.
#   check_install.sh BUILD_FOLDER
set -euo pipefail
# shellcheck source=tests/missingtool.sh
source "$(dirname "$0")/../missingtool.sh"
build=$1
id=org.example.tervana

work=$(mktemp -d)
manifest=$build/install_manifest.txt
# cmake --install rewrites the build folder's install manifest, which the
# user's own installation needs for uninstalling: it is put back afterwards.
if [ -e "$manifest" ]; then cp -p "$manifest" "$work/manifest"; fi
restore() {
    if [ -e "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT
# The checkers may keep caches; never in the real home folder.
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
root=$work/root/usr

for program in bin/tervana bin/tervana-convert libexec/tervana/tervana-svg-render libexec/tervana/tervana-pdf-render; do
    { [ -f "$root/$program" ] && [ -x "$root/$program" ]; } || fail "$program is not installed as a program"
done
for file in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/doc/tervana/copyright; do
    [ -s "$root/$file" ] || fail "$file is missing or empty"
done
for file in share/man/man1/tervana.1.gz share/man/man1/tervana-convert.1.gz share/doc/tervana/changelog.gz; do
    gzip -t "$root/$file" 2>/dev/null || fail "$file is missing or not gzip"
done
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is not an SVG picture"

# Each PNG icon is a PNG of the size its folder names (from its header).
for side in 16 32 48 64 128 256; do
    png=$root/share/icons/hicolor/${side}x${side}/apps/$id.png
    if [ ! -f "$png" ]; then
        fail "no ${side}x${side} icon"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    size=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' \n' ' ' |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 "x" $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
    [ "$signature" = 89504e470d0a1a0a ] || fail "the ${side}x${side} icon is not a PNG"
    [ "$size" = "${side}x${side}" ] || fail "the ${side}x${side} icon is $size"
done

# The entry starts the installed program and shows the installed icon.
desktop=$root/share/applications/$id.desktop
grep -qx 'Exec=tervana %f' "$desktop" || fail "the desktop entry does not start tervana with the file it is given"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"

# The installed converter runs, and the changelog and the description's
# newest release name the version it reports.
reported=$("$root/bin/tervana-convert" --version) || fail "the installed tervana-convert does not run"
version=${reported#tervana-convert }
changelog=$(zcat "$root/share/doc/tervana/changelog.gz") || changelog=""
[[ ${changelog%%$'\n'*} == "tervana ($version) "* ]] || fail "the changelog's newest entry is not version $version"
releases=$(grep -o '<release version="[^"]*"' "$root/share/metainfo/$id.metainfo.xml") || releases=""
[ "${releases%%$'\n'*}" = "<release version=\"$version\"" ] ||
    fail "the AppStream description's newest release is not version $version"
# It finds its SVG renderer where it is installed: the scalable icon is
# drawn into an icon.
"$root/bin/tervana-convert" --sizes 48 "$root/share/icons/hicolor/scalable/apps/$id.svg" -o "$work/drawn.ico" ||
    fail "the installed tervana-convert cannot draw the installed SVG icon"
# And its PDF renderer: the corpus's logo, a PDF document, is drawn too.
"$root/bin/tervana-convert" --sizes 48 "$(dirname "$0")/../corpus/pdf/logo.pdf" -o "$work/page.ico" ||
    fail "the installed tervana-convert cannot draw a PDF document"

missing=()
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
else
    missing+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$root/share/metainfo/$id.metainfo.xml" ||
        fail "appstreamcli rejects the AppStream description"
    # The tree as a whole: the description's launchable and icon are there.
    appstreamcli validate-tree --pedantic --no-net "$work/root" || fail "appstreamcli rejects the installed tree"
else
    missing+=(appstreamcli)
fi
completion=0
"$(dirname "$0")/check_completion.sh" "$root" || completion=$?
case $completion in
    0) ;;
    77) missing+=("bash-completion or zsh") ;;
    *) fail "the shell completions of tervana-convert are wrong" ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
if [ ${#missing[@]} -ne 0 ]; then
    missing_tool "${missing[*]}" "every other check passed"
fi
echo "The installed tree is complete and valid."
