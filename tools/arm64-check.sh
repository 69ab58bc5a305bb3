#!/usr/bin/env bash
# The arm64 cross-check: assembles the arm64 sysroot, cross-builds (cmake --preset arm64), and
# runs the test suite's arm64 programs under qemu with binfmt_misc and a private (amd64) Xvfb
# (ctest --preset arm64: the bulk runs left out). The Debian package is made and checked by the
# suite's install tests. Prints the time of every step at the end.
#
# Needs root (or sudo) only for what the machine lacks: the cross compiler and qemu packages, and
# qemu's registration with binfmt_misc. Started as root (as CI does), it does those, then builds
# and tests as an ordinary user (tools/as-user.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh arm64

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
# The programs a test starts (the dashboard, the simulator) are arm64 programs too: the kernel
# hands them to qemu, which finds their libraries through QEMU_LD_PREFIX (the test preset's).
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" || true
fi
if ! head -n1 "$binfmt/qemu-aarch64" 2>/dev/null | grep -qx enabled; then
    "${sudo[@]}" update-binfmts --enable qemu-aarch64 || true
fi
if ! head -n1 "$binfmt/qemu-aarch64" 2>/dev/null | grep -qx enabled; then
    echo "arm64-check: qemu-aarch64 could not be registered with binfmt_misc ($binfmt), so" \
        "the tests could not start the arm64 programs; nothing was built or run" >&2
    exit 1
fi

# The rest runs as an ordinary user, as tools/test.sh does.
if [ "$(id -u)" -eq 0 ]; then
    # shellcheck source=tools/as-user.sh
    . tools/as-user.sh
    run_as_user tools/arm64-check.sh "$@"
    exit $?
fi

times=()
# shellcheck source=tools/step-times.sh
. tools/step-times.sh
report() {
    echo "== arm64 times"
    printf '%s\n' "${times[@]}"
}
trap report EXIT

step "arm64 sysroot" tools/arm64-sysroot.sh
step "arm64 configure" cmake --preset arm64
step "arm64 build" cmake --build --preset arm64
step "arm64 ctest" tools/with-xvfb.sh ctest --preset arm64
