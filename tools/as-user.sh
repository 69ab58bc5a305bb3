# Sourced by tools/test.sh and tools/demo.sh once packages are installed, when they run as root:
# builds and runs go on as an ordinary user, as people run the program, so that permissions,
# exclusive ports and file ownership are met as they meet them.
#
# The user is $SUDO_USER when that names a real user, else "kestroview-test", made if missing.
# When that user may not work in this tree (a clone under /root, say), the tree is copied to a
# folder the user owns (refreshed on every run, its build kept), and build/ here is made a link
# to the copy's build, so the results stay where they are looked for.

kv_test_account=kestroview-test

# The user the run goes on as.
kv_pick_user() {
    if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] && id -u "$SUDO_USER" >/dev/null 2>&1; then
        echo "$SUDO_USER"
        return
    fi
    if ! id -u "$kv_test_account" >/dev/null 2>&1; then
        useradd --create-home --shell /bin/bash --comment "KestroView test runs" \
            "$kv_test_account" >&2
    fi
    echo "$kv_test_account"
}

# True when user may build and run in the tree at $1 as it stands.
kv_user_may_work_in() {
    local user=$1 tree=$2
    # shellcheck disable=SC2016
    runuser -u "$user" -- sh -c 'test -w "$1" && test -x "$1" && test -r "$1/CMakeLists.txt" &&
        { [ ! -e "$1/build" ] || [ -w "$1/build" ]; }' sh "$tree" 2>/dev/null
}

# Puts the files of the tree at $1 into the folder $2 owned by user $3: every file but build/,
# mtimes kept, so an unchanged source is not compiled again.
kv_copy_tree() {
    local tree=$1 copy=$2 user=$3
    runuser -u "$user" -- mkdir -p "$copy"
    runuser -u "$user" -- find "$copy" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
    if git -C "$tree" -c safe.directory='*' rev-parse --git-dir >/dev/null 2>&1; then
        # build here may be the link to the copy's build, which no ignore rule for folders hides.
        git -C "$tree" -c safe.directory='*' ls-files -z --cached --others --exclude-standard |
            grep -zv '^build\(/\|$\)' | (cd "$tree" && tar --null --no-recursion -T - -cf -) |
            runuser -u "$user" -- tar -xf - -C "$copy"
    else
        tar -C "$tree" --exclude=./build -cf - . | runuser -u "$user" -- tar -xf - -C "$copy"
    fi
}

# Runs the command (a path inside this tree, then its arguments) as the user, in this tree or
# in the user's copy of it. Returns the command's status.
run_as_user() {
    local user tree=$PWD work home owner
    user=$(kv_pick_user)
    home=$(getent passwd "$user" | cut -d: -f6)
    # Xvfb wants the system's socket folder, which a booted machine makes and a bare one lacks.
    if [ ! -d /tmp/.X11-unix ]; then
        mkdir -m 1777 /tmp/.X11-unix
    fi
    # Files an earlier run as root left in the user's own build tree are the user's.
    owner=$(stat -c %U "$tree")
    if [ "$owner" = "$user" ] && [ -d "$tree/build" ] && [ ! -L "$tree/build" ]; then
        find "$tree/build" ! -user "$user" -exec chown -h "$user:" {} +
    fi
    work=$tree
    if ! kv_user_may_work_in "$user" "$tree"; then
        work="$home/kestroview-$(echo "$tree" | md5sum | cut -c1-8)"
        echo "== $user may not work in $tree: running in a copy, $work"
        kv_copy_tree "$tree" "$work" "$user"
        runuser -u "$user" -- mkdir -p "$work/build"
        if [ ! -e "$tree/build" ] || [ -L "$tree/build" ]; then
            ln -sfn "$work/build" "$tree/build"
        fi
    fi
    echo "== running as $user"
    # Root's session and caches are not the user's.
    local environment=(-u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS -u MESA_SHADER_CACHE_DIR)
    if [ -d "/run/user/$(id -u "$user")" ]; then
        environment+=("XDG_RUNTIME_DIR=/run/user/$(id -u "$user")")
    fi
    if [ "$user" = "$kv_test_account" ]; then
        environment+=(KV_TEST_USER_OWN=1) # files it makes in shared folders are the run's own
    fi
    local status=0
    (cd "$work" && runuser -u "$user" -- env "${environment[@]}" "$@") || status=$?
    return $status
}
