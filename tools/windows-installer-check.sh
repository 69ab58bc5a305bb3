#!/usr/bin/env bash
# The installer under Wine, run by tools/windows-check.sh inside its Xvfb and Wine prefix
# (DISPLAY and WINEPREFIX set): installed silently (/S), its files and Start-menu entry in place,
# the installed program started in the user's folder as the entry starts it; with KV_SCREENSHOTS
# set to a folder, it also opens the setup dialog, starts the link against the simulator and keeps
# pictures of both. A prefix that does not exist yet is made: fresh, without Arial or C:\TEMP, as
# on a new Windows, so the program must take its own fonts and write its logs in the user's folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
: "${WINEPREFIX:?run by tools/windows-check.sh}" "${DISPLAY:?run by tools/windows-check.sh}"

if [ ! -d "$WINEPREFIX" ]; then
    WINEARCH=win64 wineboot --init >/dev/null 2>&1
    wineserver -w
fi
installer=$(ls build/windows/kestroview-*-setup.exe 2>/dev/null | head -1)
if [ -z "$installer" ]; then
    echo "windows-installer-check: no installer in build/windows" >&2
    exit 1
fi
failures=0
fail() {
    echo "windows-installer-check: FAILED: $*" >&2
    failures=$((failures + 1))
}

wine "$installer" /S
wineserver -w
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/KestroView"
for file in kestroview.exe SDL2.dll uninstall.exe fonts/LiberationSans-Regular.ttf \
    fonts/LiberationSans-Bold.ttf; do
    [ -f "$installed/$file" ] || fail "not installed: $file"
done
user=$(find "$drive/users" -maxdepth 1 -mindepth 1 -type d ! -name Public | head -1)
appdata="$user/AppData/Local/KestroView"
entry=$(find "$user" -name KestroView.lnk | head -1)
[ -n "$entry" ] || fail "no Start-menu entry"
[ -d "$appdata" ] || fail "no user folder $appdata"
echo "windows-installer-check: installed ($(du -sh "$installed" | cut -f1)," \
    "installer $(du -h "$installer" | cut -f1))"

# Started as the entry starts it: in the user's folder, the setup dialog first.
source tools/windows-wine.sh
trap stop_wine_and_simulator EXIT
mkdir -p "$root/build/windows-check"
sim_folder=$(mktemp -d "$root/build/windows-check/simulator.XXXXXX")
start_simulator "$sim_folder" --rate 30 --start-at 2

(cd "$appdata" && exec wine "$installed/kestroview.exe" >"$sim_folder/program.log" 2>&1) &
dialog=$(find_window "KestroView 0.4")
if [ -z "$dialog" ]; then
    fail "the installed program showed no setup dialog"
    exit 1
fi
sleep 1
[ -z "${KV_SCREENSHOTS:-}" ] || import -window "$dialog" "$KV_SCREENSHOTS/windows-setup.png"
press "$dialog" Return
dashboard=$(find_window "KestroView 0.4" "$dialog")
if [ -z "$dashboard" ]; then
    fail "no dashboard after Start"
    exit 1
fi
sleep 1
press "$dashboard" s
sleep 6
[ -z "${KV_SCREENSHOTS:-}" ] || import -window root -crop 800x600+0+0 "$KV_SCREENSHOTS/windows-dashboard.png"
press "$dashboard" s
sleep 1
press "$dashboard" Escape
wineserver -w
[ "$(stat -c %s "$appdata/KestroView.ini" 2>/dev/null || echo 0)" = 136 ] ||
    fail "no settings file in the user's folder"
[ ! -e "$drive/TEMP" ] || fail "C:\\TEMP exists: the prefix is not a fresh one"
lines=$(cat "$appdata"/kestro_original_*.log 2>/dev/null | wc -l)
[ "$lines" -gt 0 ] || fail "the installed program logged no line"
echo "windows-installer-check: the installed program ran the link ($lines lines logged)"

wine "$installed/uninstall.exe" /S
wineserver -w
sleep 2 # the uninstaller copies itself away and removes the folder from there
wineserver -w
[ ! -e "$installed/kestroview.exe" ] || fail "the uninstaller left the program"
[ -z "$(find "$user" -name KestroView.lnk)" ] || fail "the uninstaller left the Start-menu entry"
[ "$failures" = 0 ]
