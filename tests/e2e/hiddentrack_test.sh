#!/usr/bin/env bash
# End-to-end test of the hidden first track: qvr under its own Xvfb with a disc image whose
# pregap before track 1 holds 5 seconds of sound, and SDL's disk audio driver. The play list
# dialog's track menu offers "トラック 0 (隠しトラック)" before track 1; a play order of that entry
# alone, played from the tray icon, names it in the pad's caption and sends exactly the pregap's
# samples to the audio output.
# Usage: hiddentrack_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo od cmp mkfifo

pregap=375 sector=2352
mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB" hidden) || fail "could not make the disc image"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n' "$cue" > "$work/program/Qvr.ini"

start_desktop
record_audio
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

wait_for 20 xdotool search --name '試験盤' || fail "the disc was not recognised"
wait_for 10 tray_icon || fail "no icon in the tray"

open_play_list_dialog
shot=${QVR_E2E_SHOT:-$work/hiddentrack.png}

key() { xdotool key "$@"; sleep 0.4; }
# Every row deleted, then the hidden track from the add button's track menu (its items: delete,
# a separator, track 0, tracks 1 to 3; four steps up from the top wrap round to track 0).
key alt+e; key a
key alt+d
key alt+a; key Up; key Up; key Up; key Up
"$shot_tool" "$shot" && echo "screenshot: $shot"
key Return
"$shot_tool" "${shot%.png}-built.png"
key alt+f; key c
wait_for 5 bash -c "! xdotool search --name '^プレイリスト \\.\\.\\. '" || fail "the dialog did not close"

# Play from the tray icon: the hidden track alone, named while it plays, then the order has run out.
click_tray 1
wait_for 5 xdotool search --name '^\[トラック 0 \(隠しトラック\)\]$' || fail "the pad does not name the hidden track"
expected_bytes=$((pregap * sector))
played() { [[ $(od -An -v -tx1 -w4 "$work/audio.raw" | grep -vc '^ 00 00 00 00$') -ge $((expected_bytes / 4)) ]]; }
wait_for 30 played || fail "the hidden track was not played to its end ($(stat -c %s "$work/audio.raw" 2>/dev/null) bytes)"
sleep 2
kill -TERM $qvr_pid
wait $qvr_pid
stop_reader

# What was played, without the output's own silence, against the image's first sectors.
bin="${cue%.cue}.bin"
dd if="$bin" bs=$sector count=$pregap status=none | od -An -v -tx1 -w4 >"$work/expected.hex"
od -An -v -tx1 -w4 "$work/audio.raw" | grep -v '^ 00 00 00 00$' >"$work/played.hex"
cmp "$work/expected.hex" "$work/played.hex" ||
  fail "the output is not the pregap ($(wc -l <"$work/played.hex") frames played, $(wc -l <"$work/expected.hex") expected)"
echo "PASS"
