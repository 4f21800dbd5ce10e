#!/usr/bin/env bash
# End-to-end test of the jacket viewer and the automatic wallpaper: the real qvr under its own
# Xvfb, on a GNOME-like session whose settings live in a keyfile of this test (GSettings'
# keyfile backend), with a disc whose record names a PNG jacket. The wallpaper becomes the
# jacket at once, the menu's "ジャケット表示..." opens the viewer at the picture's size, and no
# error box appears.
# Usage: jacket_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB QVR_E2E_PICTURE   (77: skipped)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb=$4 picture_tool=$5
for tool in Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/qvr-e2e-jacket-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [[ -f "$work/qvr.log" ]] && sed 's/^/  qvr: /' "$work/qvr.log"; exit 1; }
wait_for() {
  local tenths=$(($1 * 10)); shift
  for ((i = 0; i < tenths; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                           /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

# The program folder, the disc, and its record naming a 320 x 240 PNG jacket.
mkdir -p "$work/program" "$work/run" "$work/config" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
jacket="$work/jacket.png"
QT_QPA_PLATFORM=offscreen "$picture_tool" "$jacket" 320 240 || fail "could not make the jacket picture"
"$qvrdb" --db "$work/program/DB" export >"$work/db.json" || fail "export failed"
sed -i "s|\"JacketFile\": \"\"|\"JacketFile\": \"$jacket\"|" "$work/db.json"
"$qvrdb" --db "$work/program/DB" import "$work/db.json" >/dev/null || fail "import failed"
"$qvrdb" --db "$work/program/DB" export | grep -q "\"JacketFile\": \"$jacket\"" || fail "the jacket was not stored"
printf '[Other]\r\nDrive=%s\r\nAutoWall=1\r\nAutoPlay=0\r\n' "$cue" > "$work/program/Qvr.ini"

display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=":$display"
wait_for 10 xdpyinfo || fail "Xvfb did not start"
openbox >"$work/openbox.log" 2>&1 & pids+=($!)
wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
for attempt in 1 2 3; do
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --transparent false \
    --tint 0x303030 >"$work/trayer.log" 2>&1 & trayer_pid=$!
  pids+=($trayer_pid)
  wait_for 5 xdotool search --name '^panel$' && break
  kill $trayer_pid 2>/dev/null
done
xdotool search --name '^panel$' >/dev/null || fail "trayer did not start"

# A GNOME session as far as the wallpaper is concerned: GSettings keeps its values in a keyfile.
export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

wait_for 20 xdotool search --name '^試験盤' || wait_for 20 xdotool search --name '^\[' ||
  fail "the player shows no window with the disc"

# The wallpaper is the jacket, in both the light and the dark picture keys.
keyfile="$work/config/glib-2.0/settings/keyfile"
has_wallpaper() { grep -q "^picture-uri='file://$jacket'" "$keyfile" && grep -q "^picture-uri-dark='file://$jacket'" "$keyfile"; }
wait_for 10 has_wallpaper || { cat "$keyfile" 2>/dev/null; fail "the wallpaper is not the jacket"; }

# "ジャケット表示..." from the tray menu: from its last item "終了", six items up (the disabled
# plug-in item is skipped).
panel=$(xdotool search --name '^panel$' | head -1)
tray_icon() { xwininfo -tree -id "$panel" | grep '("qvr" "qvr")'; }
wait_for 10 tray_icon || fail "no icon in the tray"
icon=$(tray_icon | awk '{print $1; exit}')
read -r X Y WIDTH HEIGHT < <(window_geometry "$icon")
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.7
for _ in 1 2 3 4 5 6; do xdotool key Up; sleep 0.1; done
xdotool key Return
wait_for 10 xdotool search --name '^ジャケット$' || fail "the jacket viewer did not open"
viewer=$(xdotool search --name '^ジャケット$' | head -1)
sleep 0.5
read -r x y width height < <(window_geometry "$viewer")
echo "jacket viewer: $x,$y ${width}x$height"
[[ "${width}x$height" == "320x240" ]] || fail "the viewer's client area is ${width}x$height, not the picture's 320x240"
shot=${QVR_E2E_SHOT:-$work/jacket.png.shot.png}
"$shot_tool" "$shot" && echo "screenshot: $shot"

# No error box came up at any point (the program's boxes carry its caption).
xdotool search --onlyvisible --name '^QVR' >/dev/null 2>&1 && fail "an error box appeared"

# Esc closes the viewer; the program goes on.
xdotool key --window "$viewer" Escape
for ((i = 0; i < 50; i++)); do xdotool search --onlyvisible --name '^ジャケット$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^ジャケット$' >/dev/null 2>&1 && fail "Esc did not close the viewer"
kill -0 $qvr_pid 2>/dev/null || fail "the program ended"
kill -TERM $qvr_pid
wait $qvr_pid
echo "PASS"
