#!/usr/bin/env bash
# The Debian packages the Windows build and its check need, beside those of tools/setup-deps.sh:
# the mingw-w64 cross compiler (posix threads), Wine, NSIS, dpkg-source for Debian's source
# packages, and the display tools the check drives the program with.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine
    wine64 nsis dpkg-dev xvfb xauth xdotool imagemagick fonts-liberation2 cmake)
sudo=
[ "$(id -u)" = 0 ] || sudo=sudo
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${packages[@]}"
