#!/usr/bin/env bash
# End-to-end test of the jacket viewer and the automatic wallpaper: the real qvr under its own
# Xvfb, on a GNOME-like session whose settings live in a keyfile of this test (GSettings'
# keyfile backend), with a disc whose record names a PNG jacket. The wallpaper becomes the
# jacket at once, the menu's "ジャケット表示..." opens the viewer at the picture's size, and no
# error box appears.
# Usage: jacket_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB QVR_E2E_PICTURE   (77: skipped)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb=$4 picture_tool=$5
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo

# The program folder, the disc, and its record naming a 320 x 240 PNG jacket.
mkdir -p "$work/program" "$work/config"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
jacket="$work/jacket.png"
QT_QPA_PLATFORM=offscreen "$picture_tool" "$jacket" 320 240 || fail "could not make the jacket picture"
"$qvrdb" --db "$work/program/DB" export >"$work/db.json" || fail "export failed"
sed -i "s|\"JacketFile\": \"\"|\"JacketFile\": \"$jacket\"|" "$work/db.json"
"$qvrdb" --db "$work/program/DB" import "$work/db.json" >/dev/null || fail "import failed"
"$qvrdb" --db "$work/program/DB" export | grep -q "\"JacketFile\": \"$jacket\"" || fail "the jacket was not stored"
printf '[Other]\r\nDrive=%s\r\nAutoWall=1\r\nAutoPlay=0\r\n' "$cue" > "$work/program/Qvr.ini"

start_desktop

# A GNOME session as far as the wallpaper is concerned: GSettings keeps its values in a keyfile.
export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$work/config"
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

wait_for 20 xdotool search --name '^試験盤' || wait_for 20 xdotool search --name '^\[' ||
  fail "the player shows no window with the disc"

# The wallpaper is the jacket, in both the light and the dark picture keys.
keyfile="$work/config/glib-2.0/settings/keyfile"
has_wallpaper() { grep -q "^picture-uri='file://$jacket'" "$keyfile" && grep -q "^picture-uri-dark='file://$jacket'" "$keyfile"; }
wait_for 10 has_wallpaper || { cat "$keyfile" 2>/dev/null; fail "the wallpaper is not the jacket"; }

# The jacket viewer from the tray menu shows the picture at its size.
open_jacket_viewer 320x240
shot=${QVR_E2E_SHOT:-$work/jacket.png.shot.png}
"$shot_tool" "$shot" && echo "screenshot: $shot"

# No error box came up at any point (the program's boxes carry its caption).
xdotool search --onlyvisible --name '^QVR$' >/dev/null 2>&1 && fail "an error box appeared"

# Esc closes the viewer; the program goes on.
xdotool key --window "$viewer" Escape
for ((i = 0; i < 50; i++)); do xdotool search --onlyvisible --name '^ジャケット$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^ジャケット$' >/dev/null 2>&1 && fail "Esc did not close the viewer"
kill -0 $qvr_pid 2>/dev/null || fail "the program ended"
kill -TERM $qvr_pid
wait $qvr_pid
echo "PASS"
