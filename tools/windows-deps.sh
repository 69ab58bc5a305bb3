#!/usr/bin/env bash
# Builds what the Windows build links and Debian does not package for mingw-w64: SDL 2 (shared,
# video, events and timer only), FreeType (static, no optional libraries) and GoogleTest (static),
# from Debian's own source packages, into build/windows-deps (or $1). Kept there: a later run that
# finds the same versions built does nothing.
#
# The sources come from the archive the machine's apt already uses: its deb lines are read and
# turned into deb-src lines in a private apt state under build/, so the machine's own apt
# configuration is never changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix=${1:-$root/build/windows-deps}
work=$root/build/windows-deps-src
toolchain=$root/cmake/x86_64-w64-mingw32.cmake
jobs=${KV_JOBS:-2}
stamp=$prefix/.kv-windows-deps

for tool in x86_64-w64-mingw32-g++-posix dpkg-source cmake; do
    if ! command -v "$tool" >/dev/null; then
        echo "windows-deps: $tool is missing: run tools/windows-setup.sh" >&2
        exit 1
    fi
done

# deb-src lines for every deb line of the machine's sources, one-line and deb822 forms alike.
source_lines() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && uris != "") {
                    n = split(uris, u, " "); m = split(suites, s, " ")
                    for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
                        print "deb-src " signed u[i] " " s[j] " " components
                }
                types = uris = suites = components = signed = ""
            }
            /^[[:space:]]*$/ { flush(); next }
            /^#/ { next }
            /^Types:/ { sub(/^Types:[[:space:]]*/, ""); types = $0 }
            /^URIs:/ { sub(/^URIs:[[:space:]]*/, ""); uris = $0 }
            /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
            /^Components:/ { sub(/^Components:[[:space:]]*/, ""); components = $0 }
            /^Signed-By:/ { sub(/^Signed-By:[[:space:]]*/, ""); signed = "[signed-by=" $0 "] " }
            END { flush() }
        ' "$file"
    done
}

mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial"
source_lines | sort -u >"$work/apt/sources.list"
if [ ! -s "$work/apt/sources.list" ]; then
    echo "windows-deps: no deb line found in the machine's apt sources" >&2
    exit 1
fi
apt_private=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache::Archives="$work/apt/archives"
    -o Debug::NoLocking=1)
apt-get "${apt_private[@]}" -qq update

version_of() { apt-cache "${apt_private[@]}" showsrc "$1" | sed -n 's/^Version: //p' | sort -V | tail -1; }
sdl_version=$(version_of libsdl2)
freetype_version=$(version_of freetype)
gtest_version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo none)
key="sdl2 $sdl_version freetype $freetype_version googletest $gtest_version"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
    echo "windows-deps: $key already built in $prefix"
    exit 0
fi
rm -rf "$prefix" "$work/src" "$work/build"
mkdir -p "$work/src" "$work/build" "$prefix"

(cd "$work/src" && apt-get "${apt_private[@]}" -qq source "libsdl2=$sdl_version" \
    "freetype=$freetype_version" >/dev/null)
sdl_src=$(find "$work/src" -maxdepth 1 -type d -name 'libsdl2-*' | head -1)
freetype_src=$(find "$work/src" -maxdepth 1 -type d -name 'freetype-*' | head -1)

cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKV_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix")

# The dashboard takes a window, an OpenGL context, events and the timer of SDL, nothing else.
cmake -S "$sdl_src" -B "$work/build/sdl2" "${cross[@]}" -DSDL_SHARED=ON -DSDL_STATIC=OFF \
    -DSDL_AUDIO=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF \
    -DSDL_POWER=OFF -DSDL_RENDER=OFF -DSDL_VULKAN=OFF -DSDL_TEST=OFF >/dev/null
cmake --build "$work/build/sdl2" -j"$jobs" >/dev/null
cmake --install "$work/build/sdl2" >/dev/null

cmake -S "$freetype_src" -B "$work/build/freetype" "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON >/dev/null
cmake --build "$work/build/freetype" -j"$jobs" >/dev/null
cmake --install "$work/build/freetype" >/dev/null

cmake -S /usr/src/googletest -B "$work/build/googletest" "${cross[@]}" -DBUILD_GMOCK=OFF \
    -DBUILD_SHARED_LIBS=OFF >/dev/null
cmake --build "$work/build/googletest" -j"$jobs" >/dev/null
cmake --install "$work/build/googletest" >/dev/null

rm -rf "$work/src" "$work/build"
echo "$key" >"$stamp"
echo "windows-deps: built $key in $prefix"
