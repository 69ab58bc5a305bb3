# shellcheck shell=bash
# Sourced by the benchmark scripts that run the real program against the simulator (and by
# tools/screenshot.sh): the pieces they all need.

# Writes the 136-byte settings record to FILE: COM1, K1K, Celsius, battery 105..130 V,
# 0..300 A, 0..40 kW, motor 0..120 V, 0..600 A, km, 0.0124 km/h per RPM, 0..120 km/h,
# 0..400 W.h/km, the default slots (battery model in slot 10), 32 bits, windowed; LAYOUT 0 is
# 3 x 3 cells and 1 is 3 x 4, SCREEN 0, 1, 2 is 640 x 480, 800 x 600, 1024 x 768.
# Usage: kv_write_settings FILE LAYOUT SCREEN
kv_write_settings() {
    perl -e 'print pack("l<14 f< l<5 l<11 l<2 C4",
        1, 0, 0, 105, 130, 0, 300, 0, 40, 0, 120, 0, 600, 0,
        0.0124, 0, 120, 0, 400, $ARGV[0],
        0, 1, 3, 8, 4, 5, 2, 11, 7, 9, 13,
        $ARGV[1], 1, 0, 0, 0, 0)' "$2" "$3" >"$1"
}

# Runs the command every 0.1 s until it succeeds (0) or SECONDS have passed (1).
# Usage: kv_wait_until SECONDS COMMAND...
kv_wait_until() {
    local limit=$(($1 * 10))
    shift
    for _ in $(seq 1 "$limit"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Prints the id of the dashboard window of the program PID once it has one (at most 30 s), or
# fails. Usage: window=$(kv_window_of PID)
kv_window_of() {
    local id=""
    for _ in $(seq 1 150); do
        id=$(xdotool search --pid "$1" --name 'KestroView 0.4' 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

# Succeeds once WINDOW shows anything but black: its first frame is up, and keys reach it.
kv_drawn() { [ "$(import -window "$1" -format '%[max]' info: 2>/dev/null)" != 0 ]; }

# Presses KEY in WINDOW, held a moment as a hand holds it: the dashboard reads key states once
# per frame, so a press and release that both arrive between two frames are never seen.
# Usage: kv_press WINDOW KEY
kv_press() { xdotool windowfocus --sync "$1" keydown "$2" sleep 0.3 keyup "$2"; }

kv_now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The frames the preloaded swap counter has counted in FILE.
kv_frames() { od -An -t u8 -N8 "$1" | tr -d ' '; }

# Starts the link of the program PID, beside a simulator that writes FOLDER/sim.txt: waits for
# the program's first frame (keys that arrive while it is still starting are not seen), holds
# S, and waits until the simulator streams; says why and fails otherwise.
# Usage: kv_start_link PID FOLDER
kv_start_link() {
    local window
    window=$(kv_window_of "$1") || { echo "no window" >&2; cat "$2/err.txt" >&2; return 1; }
    kv_wait_until 30 kv_drawn "$window" || { echo "no frame" >&2; return 1; }
    kv_press "$window" s
    kv_wait_until 30 grep -qx streaming "$2/sim.txt" || {
        echo "the link did not start" >&2
        cat "$2/sim.txt" "$2/err.txt" >&2
        return 1
    }
}

# The capture log the program PID has open; nothing when it has none.
kv_capture_log() { readlink /proc/"$1"/fd/* 2>/dev/null | grep 'kestro_original_.*\.log$' | head -n1 || true; }

# The trip log of the start that wrote the capture log LOG.
kv_trip_log() { echo "$(dirname "$1")/kestro_trip_$(basename "${1#*kestro_original_}" .log).csv"; }

# The median of the numbers on standard input, one a line.
kv_median() {
    sort -g | awk '{ v[NR] = $1 }
        END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
