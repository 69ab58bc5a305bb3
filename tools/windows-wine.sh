# Helpers of the Windows checks under Wine, sourced by tools/windows-check.sh and
# tools/windows-installer-check.sh (DISPLAY and WINEPREFIX set).

# The first window titled $1 other than window $2, waited for up to 30 s; empty when none shows.
find_window() {
    local found=
    for _ in $(seq 1 150); do
        found=$(xdotool search --name "^$1\$" 2>/dev/null | grep -vx "${2:-none}" | head -1 || true)
        [ -n "$found" ] && break
        sleep 0.2
    done
    echo "$found"
}

# Key $2 to window $1, focused first (Wine takes keys only for the active window).
press() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
    xdotool key "$2"
}

# The Linux simulator in folder $1 (the rest are its options), its terminal mapped to COM1 in
# Wine's registry: a link put in dosdevices would not last, Wine makes it again at start.
simulator=
start_simulator() {
    local folder=$1
    shift
    (cd "$folder" && exec "$root/build/default/tools/simulator/kestroview-sim" "$@" \
        >"$folder/simulator.log" 2>&1) &
    simulator=$!
    for _ in $(seq 1 50); do
        [ -L "$folder/COM1" ] && break
        sleep 0.1
    done
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$folder/COM1" /f >/dev/null 2>&1
    wineserver -w
}

# The simulator goes last: when its terminal closes under a running Wine, wineserver writes
# thousands of lines.
stop_wine_and_simulator() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -n "$simulator" ]; then
        kill "$simulator" 2>/dev/null || true
        wait "$simulator" 2>/dev/null || true
        simulator=
    fi
}
