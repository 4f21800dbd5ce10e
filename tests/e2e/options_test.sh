#!/usr/bin/env bash
# End-to-end test of the options dialog: the real qvr under its own Xvfb plays a generated
# image; "環境設定..." from the tray menu opens the dialog, its "その他" page takes another
# generated image as the CD drive through the file dialog, Ok: the new disc's title shows and its
# sound arrives at SDL's disk audio output at once. After "終了" and a new start the choice was
# kept. Leaves pictures of the four pages when QVR_E2E_SHOT is given (a .png path prefix).
# Usage: options_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3
for tool in Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$(dirname "$0")/e2e_common.sh"

mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
first=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the first disc image"
other=$("$disc_tool" "$work/other" "$work/program/DB" other) || fail "could not make the other disc image"
printf '[Other]\r\nDrive=%s\r\n' "$first" > "$work/program/Qvr.ini"
start_desktop

"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)
wait_for 20 xdotool search --name '^\[最初の曲 & 二番\]$' || fail "the first disc does not play"
wait_for 10 tray_icon || fail "no icon in the tray"

# "環境設定..." is the third item from the bottom of the tray menu.
open_tray_menu
xdotool key Up Up Up Return
wait_for 10 xdotool search --name '^環境設定$' || fail "the options dialog did not open"
dialog=$(xdotool search --name '^環境設定$' | head -1)
xdotool windowactivate --sync "$dialog" 2>/dev/null
sleep 0.5
shot() { [[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "${QVR_E2E_SHOT%.png}-$1.png"; }
shot lyrics
# Ctrl+PageDown goes to the next page; the image button of the last page is Alt+I.
for page in pad repeat other; do
  xdotool key ctrl+Next
  sleep 0.3
  shot "$page"
done
xdotool key alt+i
wait_for 10 xdotool search --name '^CDイメージを選択$' || fail "no file dialog for the image"
sleep 0.5
xdotool type --delay 5 "$other"
xdotool key Return
sleep 0.5
shot chosen
xdotool key alt+o
wait_for 10 bash -c "! xdotool search --name '^環境設定$'" || fail "Ok did not close the dialog"

# The other disc plays at once: its title, and its first sound at the start of the output.
wait_for 15 xdotool search --name '^\[別の盤の一曲目\]$' || fail "the other disc's title does not show"
starts_with_other() {
  python3 - "$work/audio.raw" "${other%.cue}.bin" <<'PY'
import sys
played = open(sys.argv[1], 'rb').read().lstrip(b'\0')
track1 = open(sys.argv[2], 'rb').read()[150 * 2352:]  # after the stored 2-second pregap
size = 64 * 1024
sys.exit(0 if len(played) >= size and played[:size] == track1[:size] else 1)
PY
}
wait_for 15 starts_with_other || fail "the other disc's sound did not reach the audio output"

# "終了", then a new start: the choice was kept.
open_tray_menu
xdotool key Up Return
for ((i = 0; i < 100; i++)); do kill -0 $qvr_pid 2>/dev/null || break; sleep 0.1; done
kill -0 $qvr_pid 2>/dev/null && fail "the program did not end after 終了"
wait $qvr_pid || fail "the program ended with status $?"
# The file is Shift-JIS: the fences around the path are the bytes A2 and A3.
LC_ALL=C grep -qa "^Drive=$(printf '\xA2')$other$(printf '\xA3')" "$work/program/Qvr.ini" ||
  fail "the settings file does not keep the drive: $(grep -a '^Drive=' "$work/program/Qvr.ini")"
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)
wait_for 20 xdotool search --name '^\[別の盤の一曲目\]$' || fail "after a new start the other disc does not play"
kill -TERM $qvr_pid
wait $qvr_pid
echo "PASS"
