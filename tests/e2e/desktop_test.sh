#!/usr/bin/env bash
# End-to-end test of the desktop program: starts the real qvr under its own Xvfb display with
# openbox and trayer, a generated disc image as its drive and SDL's disk audio driver, and
# checks that it plays the disc at once, shows the tray icon and the lyrics line with the first
# track's title at the top edge, that a second start ends at once, and that "終了" in the tray
# menu ends it with every settings key written, and that SIGTERM ends it the same way.
# Usage: desktop_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo

# A program folder of its own: the player, its settings file, its database.
mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
printf '[Other]\r\nDrive=%s\r\n[Control Pad]\r\nVisible=1\r\nLeft=300\r\nTop=600\r\n' "$cue" > "$work/program/Qvr.ini"

start_desktop
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

# The lyrics line: the first track's title at the top edge, across the screen, one line high.
title='[最初の曲 & 二番]'
wait_for 20 xdotool search --name "^\\$title\$" || fail "no lyrics line with the first track's title"
# The pad's caption shows the same title; the lyrics line is the window at the top edge.
found=""
for window in $(xdotool search --name "^\\$title\$"); do
  read -r x y width height < <(window_geometry "$window")
  echo "window with the title: $x,$y ${width}x$height"
  [[ "$x,$y,$width" == "0,0,1024" ]] && ((height >= 14 && height <= 24)) && found=$window
done
[[ -n "$found" ]] || fail "no lyrics line one line high across the top edge of the screen"

# Playing: the disk audio driver receives the disc's samples.
wait_for 15 audible_after "$work/audio.raw" || fail "no sound was played"

# The tray icon is embedded in the tray's panel: a window of qvr inside it.
wait_for 10 tray_icon || fail "no icon in the tray"

# A second start ends at once and shows nothing.
windows_before=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
timeout 10 "$work/program/qvr" >/dev/null 2>&1
status=$?
[[ $status -eq 0 ]] || fail "the second start ended with $status"
windows_after=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
((windows_after == windows_before)) || fail "the second start left windows behind"
kill -0 $qvr_pid 2>/dev/null || fail "the first program ended"

# A picture of the screen while it plays.
shot=${QVR_E2E_SHOT:-$work/screen.png}
"$shot_tool" "$shot" && echo "screenshot: $shot"

# "終了" from the tray menu: a right click on the tray icon opens the menu; Up selects its last
# item, Return chooses it.
open_tray_menu
[[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "${QVR_E2E_SHOT%.png}-menu.png"
xdotool key Up
sleep 0.2
xdotool key Return
for ((i = 0; i < 100; i++)); do kill -0 $qvr_pid 2>/dev/null || break; sleep 0.1; done
kill -0 $qvr_pid 2>/dev/null && fail "the program did not end after 終了"
wait $qvr_pid
status=$?
[[ $status -eq 0 ]] || fail "the program ended with status $status"

# Every key of the settings and of the control pad's layout was written.
ini="$work/program/Qvr.ini"
missing=()
keys=(BackGroundColor Font.Name Font.Size Font.Style Font.Color Position Visible StayOnTop
      Status DockInfo ChildrenStatus Snap Height Left Top Width
      OneUnlock AllUnlock RandomUnlock PlayMode AutoPlay AutoWall AutoDLGOpen HelpHint DataBasePath PluginPath)
for pad in Basic Control Mode Window Disc Other; do
  for suffix in Dock DockPos DockRow Left Top Height Width Visible; do keys+=("$pad$suffix"); done
done
for key in "${keys[@]}"; do grep -q "^$key=" "$ini" || missing+=("$key"); done
((${#missing[@]} == 0)) || fail "settings file lacks ${missing[*]}"
for section in Lyrics 'Control Pad' Repeat Other; do grep -qF "[$section]" "$ini" || fail "no [$section] section"; done
grep -q '^Position=1' "$ini" || fail "the lyrics line's edge was not saved"

# SIGTERM ends the program like the exit command: the settings are saved again.
sed -i '/^Snap=/d' "$ini"
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)
wait_for 20 xdotool search --name "^\\$title\$" || fail "the second run shows no title"
end_qvr
grep -q '^Snap=' "$ini" || fail "SIGTERM ended the program without saving the settings"
echo "PASS"
