#!/usr/bin/env bash
# The Windows build, checked under Wine: builds the dependencies (once, cached under build/),
# cross-builds the tree with the `windows` preset, makes a fresh Wine prefix with Liberation Sans
# as the two Arial faces, and runs, on a private Xvfb:
#   - the Windows test programs (ctest --preset windows);
#   - the program against the Linux simulator, COM1 mapped to the simulator's terminal in Wine's
#     registry: start (S), every line in the capture log byte for byte, stop (S);
#   - the error box for a COM port that has no device;
#   - the setup dialog driven by keys to "Start", and its 136-byte file read back;
#   - the installer, when makensis is there: installed silently (/S) and its program started.
# Usage: tools/windows-check.sh   (KV_KEEP_WINE=1 keeps the prefix in build/windows-check)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$(date +%s)

if [ -z "${KV_IN_XVFB:-}" ]; then
    for tool in x86_64-w64-mingw32-g++-posix wine wineserver makensis dpkg-source Xvfb xdotool; do
        if ! command -v "$tool" >/dev/null; then
            tools/windows-setup.sh
            break
        fi
    done
    # The rest runs as an ordinary user, as tools/test.sh does: Wine and the program too.
    if [ "$(id -u)" -eq 0 ]; then
        # shellcheck source=tools/as-user.sh
        . tools/as-user.sh
        run_as_user tools/windows-check.sh "$@"
        exit $?
    fi
    tools/windows-deps.sh
    cmake --preset windows >/dev/null
    cmake --build --preset windows
    if [ ! -x build/default/tools/simulator/kestroview-sim ]; then
        cmake --preset default >/dev/null
        cmake --build build/default -j2 --target kestroview-sim
    fi
    echo "windows-check: built in $(($(date +%s) - start)) s"
    KV_IN_XVFB=$start exec tools/with-xvfb.sh "$0" "$@"
fi
start=$KV_IN_XVFB

work=$root/build/windows-check
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source tools/windows-wine.sh
cleanup() {
    stop_wine_and_simulator
    [ -n "${KV_KEEP_WINE:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

wineboot --init >/dev/null 2>&1
wineserver -w
fonts=$WINEPREFIX/drive_c/windows/Fonts
cp "$(fc-match -f '%{file}' 'Liberation Sans')" "$fonts/arial.ttf"
cp "$(fc-match -f '%{file}' 'Liberation Sans:bold')" "$fonts/arialbd.ttf"
echo "windows-check: Wine prefix made in $(($(date +%s) - start)) s"

failures=0
fail() {
    echo "windows-check: FAILED: $*" >&2
    failures=$((failures + 1))
}

ctest --preset windows --output-on-failure || fail "the Windows test programs"

# The program, started in folder $1 with the rest as its command line; its window's id in
# $window once it shows (empty when it never does).
program=$root/build/windows/kestroview.exe
window=
run_program() {
    local folder=$1 title=$2
    shift 2
    (cd "$folder" && exec wine "$program" "$@" >"$folder/stdout.log" 2>"$folder/stderr.log") &
    window=$(find_window "$title")
}
wait_program() {
    wineserver -w
}

# The link: the simulator replays a known capture, the dashboard logs it.
link=$work/link
mkdir -p "$link" "$WINEPREFIX/drive_c/TEMP"
for i in $(seq 1 40); do
    printf '%x %x 0 0 %x 44 3a 40 0 M C F\n' $((100 + i)) $((i % 60)) $((i % 150))
done >"$link/replay.txt"
start_simulator "$link" --replay replay.txt --rate 50
run_program "$link" "KestroView 0.4" nosetup
if [ -z "$window" ]; then
    fail "the dashboard window did not show"
else
    sleep 1
    press "$window" s
    sleep 3
    press "$window" s
    sleep 1
    press "$window" Escape
fi
wait_program
logs=("$WINEPREFIX"/drive_c/TEMP/kestro_original_*.log)
if [ ! -f "${logs[0]}" ]; then
    fail "no capture log in C:\\TEMP"
elif cmp -s "${logs[0]}" "$link/replay.txt"; then
    echo "windows-check: link: $(wc -l <"$link/replay.txt") lines logged byte for byte"
else
    fail "the capture log differs from the lines sent"
fi
# The trip log beside it: one CR LF a row (text mode made every row end in CR CR LF).
trips=("$WINEPREFIX"/drive_c/TEMP/kestro_trip_*.csv)
if [ ! -f "${trips[0]}" ]; then
    fail "no trip log in C:\\TEMP"
elif [ "$(grep -c $'\r\r$' "${trips[0]}")" != 0 ] ||
    [ "$(grep -c $'\r$' "${trips[0]}")" != "$(wc -l <"${trips[0]}")" ] ||
    [ "$(wc -l <"${trips[0]}")" != 41 ]; then
    fail "the trip log's rows do not end in one CR LF each, or not 40 rows and a header"
else
    echo "windows-check: trip log: a header and 40 rows, each ended by one CR LF"
fi
if grep -q . "$link/stderr.log"; then
    fail "the link showed an error: $(cat "$link/stderr.log")"
fi
stop_wine_and_simulator

# The setup dialog: "Start" by its key writes the 136-byte settings file, then the dashboard opens.
dialog=$work/dialog
mkdir -p "$dialog"
run_program "$dialog" "KestroView 0.4"
if [ -z "$window" ]; then
    fail "the setup dialog did not show"
else
    sleep 1
    import -window root "$work/setup-dialog.png" 2>/dev/null || true
    press "$window" Return
    dashboard=$(find_window "KestroView 0.4" "$window")
    [ -n "$dashboard" ] || fail "no dashboard after the setup dialog's Start"
    [ -z "$dashboard" ] || press "$dashboard" Escape
fi
wait_program
ini=$dialog/KestroView.ini
# COM1, 800 x 600 (1 at byte 124), windowed (0 at byte 132): the defaults, read back.
if [ "$(stat -c %s "$ini" 2>/dev/null || echo 0)" != 136 ]; then
    fail "the setup dialog wrote no 136-byte settings file"
elif [ "$(od -An -tu4 -j0 -N4 "$ini" | tr -d ' ')" != 1 ] ||
    [ "$(od -An -tu4 -j124 -N4 "$ini" | tr -d ' ')" != 1 ] ||
    [ "$(od -An -tu1 -j132 -N1 "$ini" | tr -d ' ')" != 0 ]; then
    fail "the settings file does not hold the dialog's values"
else
    echo "windows-check: setup dialog: Start wrote the 136-byte settings file"
fi

# A COM port without a device (COM9, set in a copy of that file): the error box, "Error".
missing=$work/missing
mkdir -p "$missing"
if [ -f "$ini" ]; then
    cp "$ini" "$missing/KestroView.ini"
    printf '\x09' | dd of="$missing/KestroView.ini" bs=1 seek=0 conv=notrunc 2>/dev/null
fi
run_program "$missing" "KestroView 0.4" nosetup
if [ -z "$window" ]; then
    fail "the dashboard window did not show (missing port)"
else
    sleep 1
    press "$window" s
    box=$(find_window Error)
    if [ -z "$box" ]; then
        fail "no error box for a COM port without a device"
    else
        import -window root "$work/error-box.png" 2>/dev/null || true
        press "$box" Return
    fi
    sleep 1
    press "$window" Escape
fi
wait_program
if grep -q 'KestroView: Error: The selected COM port could not be opened' "$missing/stderr.log"; then
    echo "windows-check: missing port: the error box said so"
else
    fail "the missing port's message: $(cat "$missing/stderr.log" 2>/dev/null)"
fi

# The installer, in a prefix of its own made fresh.
stop_wine_and_simulator
WINEPREFIX=$work/install-prefix tools/windows-installer-check.sh || fail "the installer"

echo "windows-check: $failures failed, $(($(date +%s) - start)) s in all"
[ "$failures" = 0 ]
