#!/usr/bin/env bash
# End-to-end test of the desktop program: starts the real qvr under its own Xvfb display with
# openbox and trayer, a generated disc image as its drive and SDL's disk audio driver, and
# checks that it plays the disc at once, shows the tray icon and the lyrics line with the first
# track's title at the top edge, that a second start ends at once, and that "終了" in the tray
# menu ends it with every settings key written, and that SIGTERM ends it the same way.
# Usage: desktop_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3
for tool in Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/qvr-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [[ -f "$work/qvr.log" ]] && sed 's/^/  qvr: /' "$work/qvr.log"; exit 1; }

# Waits up to $1 seconds (in tenths) for the command after it to succeed.
wait_for() {
  local tenths=$(($1 * 10)); shift
  for ((i = 0; i < tenths; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# A window's left, top, width and height on the screen.
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                           /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

# A program folder of its own: the player, its settings file, its database.
mkdir -p "$work/program" "$work/run" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
printf '[Other]\r\nDrive=%s\r\n[Control Pad]\r\nVisible=1\r\nLeft=300\r\nTop=600\r\n' "$cue" > "$work/program/Qvr.ini"

# A display of our own: the first free number from 90 on.
display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=":$display"
wait_for 10 xdpyinfo || fail "Xvfb did not start"
openbox >"$work/openbox.log" 2>&1 & pids+=($!)
wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
# The tray: started again when it gives up early (it can, while the window manager settles).
for attempt in 1 2 3; do
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --transparent false \
    --tint 0x303030 >"$work/trayer.log" 2>&1 & trayer_pid=$!
  pids+=($trayer_pid)
  wait_for 5 xdotool search --name '^panel$' && break
  kill $trayer_pid 2>/dev/null
done
xdotool search --name '^panel$' >/dev/null || { cat "$work/trayer.log"; fail "trayer did not start"; }

export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
# Under the sanitizers: leaks inside the system's libraries are not QVR's.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
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
audible() { [[ -n "$(tr -d '\0' <"$work/audio.raw" | head -c 16)" ]]; }
wait_for 15 audible || fail "no sound was played"

# The tray icon is embedded in the tray's panel: a window of qvr inside it.
panel=$(xdotool search --name '^panel$' | head -1)
[[ -n "$panel" ]] || fail "no tray panel"
tray_icon() { xwininfo -tree -id "$panel" | grep '("qvr" "qvr")'; }
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
icon=$(tray_icon | awk '{print $1; exit}')
read -r X Y WIDTH HEIGHT < <(window_geometry "$icon")
echo "tray icon at $X,$Y ${WIDTH}x$HEIGHT"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.7
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
