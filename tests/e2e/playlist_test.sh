#!/usr/bin/env bash
# End-to-end test of the play list dialog: qvr under its own Xvfb with a disc image of three
# short tracks and SDL's disk audio driver. The dialog is opened from the tray menu; the order
# 3, 1, 2 is built with the track menu (select all, delete, then add tracks 3, 1 and 2 from the
# add button's drop-down) and the dialog closed; play from the tray icon then sends track 3 and
# then tracks 1-2 to the audio output, sample for sample.
# Usage: playlist_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo od cmp mkfifo

# Three tracks of 4 s (300 sectors of 2352 bytes).
frames=300 sector=2352
mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB" $frames) || fail "could not make the disc image"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n' "$cue" > "$work/program/Qvr.ini"

start_desktop
record_audio
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

wait_for 20 xdotool search --name '試験盤' || fail "the disc was not recognised"
wait_for 10 tray_icon || fail "no icon in the tray"

open_play_list_dialog
shot=${QVR_E2E_SHOT:-$work/playlist.png}
"$shot_tool" "$shot" && echo "screenshot: $shot"

key() { xdotool key "$@"; sleep 0.4; }
# Every row selected and deleted, then tracks 3, 1 and 2 from the add button's track menu (its
# items: delete, a separator, tracks 1 to 3; Up from the top wraps to the last item, so the
# steps are the same whether or not the menu opens with its first item selected).
key alt+e; key a
key alt+d
key alt+a; key Up; key Return
key alt+a; key Up; key Up; key Up; key Return
key alt+a; key Up; key Up; key Return
"$shot_tool" "${shot%.png}-built.png"
key alt+f; key c
wait_for 5 bash -c "! xdotool search --name '^プレイリスト \\.\\.\\. '" || fail "the dialog did not close"

# Play from the tray icon: track 3, then tracks 1-2 as one range, then the order has run out.
click_tray 1
expected_bytes=$((3 * frames * sector))
played() { [[ $(od -An -v -tx1 -w4 "$work/audio.raw" | grep -vc '^ 00 00 00 00$') -ge $((expected_bytes / 4)) ]]; }
wait_for 40 played || fail "the play order was not played to its end ($(stat -c %s "$work/audio.raw" 2>/dev/null) bytes)"
sleep 2
kill -TERM $qvr_pid
wait $qvr_pid
stop_reader

# What was played, its silence between the ranges left out (the disc's samples are never all
# zero), against the image: track 3 to the lead-out, then tracks 1 and 2.
bin="${cue%.cue}.bin"
{ dd if="$bin" bs=$sector skip=$((2 * frames)) count=$frames status=none
  dd if="$bin" bs=$sector count=$((2 * frames)) status=none; } | od -An -v -tx1 -w4 >"$work/expected.hex"
od -An -v -tx1 -w4 "$work/audio.raw" | grep -v '^ 00 00 00 00$' >"$work/played.hex"
cmp "$work/expected.hex" "$work/played.hex" ||
  fail "the output is not track 3 then tracks 1-2 ($(wc -l <"$work/played.hex") frames played, $(wc -l <"$work/expected.hex") expected)"
echo "PASS"
