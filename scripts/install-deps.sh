#!/usr/bin/env bash
# Installs the Debian packages Tervana needs that are not installed yet.
#   scripts/install-deps.sh build   what building and running needs
#   scripts/install-deps.sh test    that, plus what the tests use
#   scripts/install-deps.sh package that, plus what making and checking the
#                                   Debian package uses
#   scripts/install-deps.sh bench   that, plus the benchmark's peers
set -euo pipefail

build_packages=(cmake ninja-build g++ dpkg-dev qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libgl-dev
                libjpeg-dev libpng-dev libtiff-dev zlib1g-dev librsvg2-dev libopenjp2-7-dev libheif-dev libpoppler-glib-dev pkg-config)
test_packages=(xvfb libopenjp2-tools xdotool x11-utils imagemagick icoutils icnsutils python3-pil clang libclang-rt-14-dev
               desktop-file-utils appstream shellcheck dpkg-dev file lintian librsvg2-bin python3-numpy
               wine wine64 gcc-mingw-w64-x86-64 bash-completion zsh parallel strace libxcursor-dev
               gtk-update-icon-cache hicolor-icon-theme python3-gi gir1.2-gtk-3.0 chromium chromium-driver
               python3-selenium aapt adwaita-icon-theme x11-apps libheif-examples poppler-utils)
package_packages=(dpkg-dev file desktop-file-utils appstream lintian)
bench_packages=(imagemagick python3-pil python3-numpy time librsvg2-bin libvips-tools x11-apps icnsutils stress-ng)

wanted=("${build_packages[@]}")
case "${1:-build}" in
    build) ;;
    test) wanted+=("${test_packages[@]}") ;;
    package) wanted+=("${package_packages[@]}") ;;
    bench) wanted+=("${bench_packages[@]}") ;;
    *) echo "usage: $0 [build|test|package|bench]" >&2; exit 2 ;;
esac

installed() {
    local status
    status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
    [ "$status" = "install ok installed" ]
}

missing=()
for package in "${wanted[@]}"; do
    installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Installing them needs root: run this as root, or install sudo." >&2
        exit 1
    fi
    sudo=(sudo)
    # Without a terminal to ask for a password on, sudo must not wait for one.
    [ -t 0 ] || sudo=(sudo -n)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
