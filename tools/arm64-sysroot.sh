#!/usr/bin/env bash
# Assembles an arm64 sysroot (Debian 12, as on a Raspberry Pi with Raspberry Pi OS bookworm) from
# Debian's arm64 packages, for the cross build (cmake --preset arm64) and for running its programs
# under qemu. The host's own packages are left alone: apt runs with a private configuration (its
# own sources, state, lists and cache under build/arm64-apt) and nothing is installed; the
# packages and everything they depend on are downloaded and unpacked into the sysroot.
#
# Usage: tools/arm64-sysroot.sh [SYSROOT] [--archive URI] [--security-archive URI]
#   SYSROOT             where to make it (default build/arm64-sysroot); a complete sysroot made
#                       from the same package list is kept and reused
#   --archive URI       the Debian archive to take bookworm from (default: the one this machine's
#                       apt sources take it from, see tools/apt-archives.sh)
#   --security-archive URI   the same for bookworm-security (default: the machine's, if any)
# Needs no root.
set -euo pipefail
cd "$(dirname "$0")/.."

sysroot=
mirror=
security=
while [ $# -gt 0 ]; do
    case "$1" in
    --archive | --security-archive)
        if [ $# -lt 2 ] || [ -z "$2" ]; then
            echo "arm64-sysroot: $1 needs the archive's URI" >&2
            exit 2
        fi
        if [ "$1" = --archive ]; then mirror=$2; else security=$2; fi
        shift
        ;;
    -*)
        echo "arm64-sysroot: unknown option $1" >&2
        exit 2
        ;;
    *) sysroot=$1 ;;
    esac
    shift
done
sysroot=$(realpath -m "${sysroot:-build/arm64-sysroot}")
if [ -z "$mirror" ]; then
    archives=$(tools/apt-archives.sh bookworm)
    mirror=$(sed -n 1p <<<"$archives")
    security=${security:-$(sed -n 2p <<<"$archives")}
fi

# What the build links and the tests load: the -dev packages bring their libraries, Mesa's
# drivers draw (llvmpipe), the fonts are those the dashboard looks up.
packages=(
    libc6-dev libstdc++-12-dev
    libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libfreetype-dev libfontconfig-dev fonts-liberation2
    libgtk-3-dev libx11-dev libgtest-dev libxlsxwriter-dev
)
# Bump when the way the sysroot is made changes, so that an old one is made again.
recipe="3 ${packages[*]}"

if [ -f "$sysroot/.kv-sysroot" ] && [ "$(cat "$sysroot/.kv-sysroot")" = "$recipe" ]; then
    echo "arm64 sysroot: $sysroot (kept)"
    exit 0
fi

apt_root=$(realpath -m build/arm64-apt)
mkdir -p "$apt_root"/{etc/apt.conf.d,etc/preferences.d,etc/sources.list.d,state/lists/partial} \
    "$apt_root"/cache/archives/partial
: >"$apt_root/state/status" # nothing installed: apt resolves every dependency
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$apt_root/etc/sources.list" <<EOF
deb [arch=arm64 signed-by=$keyring] $mirror bookworm main
deb [arch=arm64 signed-by=$keyring] $mirror bookworm-updates main
EOF
if [ -n "$security" ]; then
    echo "deb [arch=arm64 signed-by=$keyring] $security bookworm-security main" \
        >>"$apt_root/etc/sources.list"
fi

# apt reads this file instead of the host's configuration; only the host's proxies carry over.
proxies=""
for setting in Acquire::http::Proxy Acquire::https::Proxy; do
    value=$(apt-config dump --no-empty --format '%v' "$setting" 2>/dev/null || true)
    if [ -n "$value" ]; then
        proxies+="$setting \"$value\";"$'\n'
    fi
done
cat >"$apt_root/apt.conf" <<EOF
Dir::Etc "$apt_root/etc";
Dir::State "$apt_root/state";
Dir::State::status "$apt_root/state/status";
Dir::Cache "$apt_root/cache";
Dir::Log "$apt_root";
APT::Architecture "arm64";
APT::Architectures { "arm64"; };
APT::Install-Recommends "false";
APT::Sandbox::User "$(id -un)";
Debug::NoLocking "true";
Acquire::Languages "none";
$proxies
EOF
export APT_CONFIG="$apt_root/apt.conf"

echo "arm64 sysroot: reading the package lists of $mirror"
apt-get -qq update
echo "arm64 sysroot: downloading ${packages[*]} and what they depend on"
apt-get -qq -y --download-only install "${packages[@]}" >/dev/null

# Unpacked anew beside the old one, which goes only once the new one is whole. dpkg's record of
# what is there is kept as dpkg keeps it, so that dpkg-query --admindir answers which package
# holds a file and which version of a package is there.
fresh="$sysroot.new"
rm -rf "$fresh"
admin="$fresh/var/lib/dpkg"
mkdir -p "$admin/info"
echo 1 >"$admin/info/format"
count=0
for deb in "$apt_root"/cache/archives/*.deb; do
    name=$(dpkg-deb -f "$deb" Package)
    list="$admin/info/$name.list"
    if [ "$(dpkg-deb -f "$deb" Multi-Arch)" = same ]; then
        list="$admin/info/$name:$(dpkg-deb -f "$deb" Architecture).list"
    fi
    dpkg-deb -X "$deb" "$fresh" | sed -e 's|^\./|/|' -e 's|/$||' -e 's|^$|/.|' >"$list"
    { dpkg-deb -f "$deb" && echo "Status: install ok installed" && echo; } >>"$admin/status"
    count=$((count + 1))
done

# Absolute links point into the host; make them point inside the sysroot.
while IFS= read -r -d '' link; do
    target=$(readlink "$link")
    case "$target" in
    /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$fresh$target")" "$link" ;;
    esac
done < <(find "$fresh" -type l -print0)

# What the packages' install scripts would have made: the compiled settings schemas GTK reads.
if [ -d "$fresh/usr/share/glib-2.0/schemas" ] && command -v glib-compile-schemas >/dev/null; then
    glib-compile-schemas "$fresh/usr/share/glib-2.0/schemas"
fi

echo "$recipe" >"$fresh/.kv-sysroot"
rm -rf "$sysroot"
mv "$fresh" "$sysroot"
rm -f "$apt_root"/cache/archives/*.deb
echo "arm64 sysroot: $sysroot ($count packages, $(du -sh "$sysroot" | cut -f1))"
