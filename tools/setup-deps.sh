#!/usr/bin/env bash
# Installs the Debian packages KestroView needs to build, run and test, when any is missing.
# Needs root (or sudo) only when something must be installed.
# Usage: tools/setup-deps.sh [arm64]   (arm64: also what the arm64 cross-check needs)
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libfreetype-dev libfontconfig-dev fonts-liberation2
    libgtk-3-dev libglib2.0-dev-bin
    googletest libgtest-dev libbenchmark-dev
    libx11-dev xvfb xdotool xauth x11-utils openbox
    clang libclang-rt-14-dev clang-format desktop-file-utils
    imagemagick chromium locales librsvg2-common
    libxlsxwriter-dev python3-openpyxl lintian mandoc appstream
)
# The arm64 cross-check: the cross compiler, and qemu to run its programs (the arm64 libraries
# come into a sysroot of the build's own, never onto this machine).
arm64_packages=(g++-aarch64-linux-gnu qemu-user-static binfmt-support)
for list in "$@"; do
    case "$list" in
    arm64) packages+=("${arm64_packages[@]}") ;;
    *)
        echo "setup-deps: no package list called $list" >&2
        exit 2
        ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "setup-deps: these packages are missing and there is no sudo to install them;" \
            "install them as root (or run this script as root)" >&2
        exit 1
    fi
    sudo=(sudo DEBIAN_FRONTEND=noninteractive)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
# dpkg's own lines go to a log; they are shown when the installation fails.
log=$(mktemp)
if ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
fi
rm -f "$log"
echo "Installed."
