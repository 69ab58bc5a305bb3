#!/usr/bin/env bash
# Proves the README's test command on a fresh Debian 12: a bare bookworm root (debootstrap) with
# nothing of ours installed, a clone of the branch, and `tools/test.sh` exactly as the README
# has it, as CI runs it (root, no display, CI=true) or, with --user, typed by an ordinary user
# who has sudo. Afterwards it checks that the run left nothing behind (/dev/null still a device,
# no logs in /var/tmp, nothing in /tmp, no programs running), then unmounts and removes the root.
#
# Usage: sudo tools/fresh-root-check.sh FOLDER [--user] [--branch NAME] [--keep]
#                                        [--archive URI] [--security-archive URI] [-- ARGS]
#   FOLDER    where the root is made (not inside a repository); the debootstrap result is kept
#             there as bookworm.tar, so a later check starts from the same bare system sooner
#   --user    run the command as the ordinary user "alice" (sudo without password)
#   --branch  the branch to clone (default: the one checked out here)
#   --keep    leave the root in place (unmounted) for a look afterwards
#   --archive, --security-archive   the Debian archives of bookworm and bookworm-security
#             (default: those of this machine's apt sources, see tools/apt-archives.sh)
#   ARGS      passed to tools/test.sh (e.g. --long)
# Needs debootstrap and a network for Debian's package archive.
set -euo pipefail
source_repo=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -lt 1 ] || [ "$(id -u)" -ne 0 ]; then
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
folder=$(realpath -m "$1")
shift
as_user=0
keep=0
branch=$(git -C "$source_repo" rev-parse --abbrev-ref HEAD)
test_args=()
mirror=
security=
while [ $# -gt 0 ]; do
    case "$1" in
    --user) as_user=1 ;;
    --archive | --security-archive)
        if [ $# -lt 2 ] || [ -z "$2" ]; then
            echo "fresh-root-check: $1 needs the archive's URI" >&2
            exit 2
        fi
        if [ "$1" = --archive ]; then mirror=$2; else security=$2; fi
        shift
        ;;
    --keep) keep=1 ;;
    --branch)
        branch=$2
        shift
        ;;
    --)
        shift
        test_args=("$@")
        break
        ;;
    *)
        echo "fresh-root-check: unknown argument $1" >&2
        exit 2
        ;;
    esac
    shift
done
root="$folder/root"
if [ -z "$mirror" ]; then
    archives=$("$source_repo/tools/apt-archives.sh" bookworm)
    mirror=$(sed -n 1p <<<"$archives")
    security=${security:-$(sed -n 2p <<<"$archives")}
fi

unmount_all() {
    local mounted
    # Deepest first; never remove anything while something is mounted below the root.
    for mounted in $(findmnt -rn -o TARGET | grep -F "$root/" | sort -r); do
        umount "$mounted" || umount -l "$mounted"
    done
}

# Programs still running inside the root are the run's own: listed, then ended by their id.
end_leftover_programs() {
    local pid found=0
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then
            echo "STILL RUNNING in the root: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
            kill -KILL "$pid" 2>/dev/null || true
            found=1
        fi
    done
    return $found
}

cleanup() {
    end_leftover_programs >/dev/null || true
    unmount_all
    if [ $keep -eq 0 ] && [ -d "$root" ]; then
        if findmnt -rn -o TARGET | grep -qF "$root"; then
            echo "fresh-root-check: something is still mounted under $root; not removed" >&2
        else
            rm -rf --one-file-system "$root"
        fi
    fi
}

mkdir -p "$folder"
exec 9>"$folder/.lock"
if ! flock -n 9; then
    echo "fresh-root-check: another check is using $folder" >&2
    exit 1
fi
if findmnt -rn -o TARGET | grep -qF "$root"; then
    echo "fresh-root-check: $root has mounts from an earlier check; unmount them first" >&2
    exit 1
fi
rm -rf --one-file-system "$root"
trap cleanup EXIT

echo "== bare bookworm in $root"
if [ -f "$folder/bookworm.tar" ]; then
    mkdir -p "$root"
    tar -C "$root" -xpf "$folder/bookworm.tar"
else
    debootstrap bookworm "$root" "$mirror" >"$folder/debootstrap.log"
    tar -C "$root" -cpf "$folder/bookworm.tar" .
fi
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
EOF
if [ -n "$security" ]; then
    echo "deb $security bookworm-security main" >>"$root/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

# A /dev of its own, so that the check sees what the run did to it and nothing else can.
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in "null c 1 3" "zero c 1 5" "full c 1 7" "random c 1 8" "urandom c 1 9" "tty c 5 0"; do
    set -- $node
    mknod -m 666 "$root/dev/$1" "$2" "$3" "$4"
done
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"

run_in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 "$@" </dev/null
}

command="tools/test.sh${test_args[*]:+ ${test_args[*]}}"
if [ $as_user -eq 1 ]; then
    echo "== an ordinary user with sudo: alice"
    run_in_root bash -c 'apt-get update -qq && apt-get install -y -qq sudo >/dev/null'
    run_in_root useradd --create-home --shell /bin/bash alice
    echo 'alice ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/alice"
    git clone -q --branch "$branch" "$source_repo" "$root/home/alice/kestroview"
    run_in_root chown -R alice: /home/alice/kestroview
    echo "== $command, as alice in ~/kestroview"
    begin=$(date +%s)
    status=0
    run_in_root runuser -u alice -- env HOME=/home/alice bash -c \
        "cd ~/kestroview && $command" || status=$?
else
    git clone -q --branch "$branch" "$source_repo" "$root/root/kestroview"
    echo "== $command, as root (as CI) in /root/kestroview"
    begin=$(date +%s)
    status=0
    run_in_root HOME=/root CI=true bash -c "cd /root/kestroview && $command" || status=$?
fi
took=$(($(date +%s) - begin))

echo "== what the run left"
left=0
if [ ! -c "$root/dev/null" ]; then
    echo "/dev/null is no longer a device: $(ls -l "$root/dev/null")"
    left=1
fi
if [ -n "$(find "$root/var/tmp" -mindepth 1 -name '*kestro_*' -print -quit)" ]; then
    echo "logs in /var/tmp:"
    find "$root/var/tmp" -mindepth 1 -name '*kestro_*'
    left=1
fi
# The X server's socket folder is the system's, made once as a booted machine has it.
if [ -n "$(find "$root/tmp" -mindepth 1 ! -path "$root/tmp/.X11-unix" -print -quit)" ]; then
    echo "files in /tmp:"
    find "$root/tmp" -mindepth 1 ! -path "$root/tmp/.X11-unix"
    left=1
fi
end_leftover_programs || left=1
[ $left -eq 1 ] || echo "nothing"

echo "== $command: exit $status after $took s ($((took / 60)) min $((took % 60)) s)"
[ $status -eq 0 ] && [ $left -eq 0 ]
