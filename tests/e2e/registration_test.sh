#!/usr/bin/env bash
# End-to-end test of the disc registration dialog: the real qvr under its own Xvfb with a
# generated disc image that the database does not know. The dialog opens by itself; a disc name,
# an artist and three track titles typed in Japanese with the keyboard alone (Tab, Ctrl+Tab to
# the track page, Alt+Right to the next track, Alt+U for 更新) are stored: `qvrdb show KEY`
# prints them, and the lyrics line shows the new title at once. Then `qvrdb import` changes the
# record while the player runs: the lyrics line follows, and 更新 in the dialog opened again from
# the pop-up menu keeps the imported record.
# Usage: registration_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB   (exit 77: skipped, no Xvfb)
# QVR_E2E_SHOT=prefix keeps the pictures of both pages as prefix-disc.png and prefix-tracks.png.
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb_binary=$4
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox xdotool xwininfo xprop xdpyinfo xmodmap

# A program folder of its own with the disc image as its drive and an empty database: the disc
# tool registers the disc, and its files are removed again.
mkdir -p "$work/program" "$work/run" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cp "$qvrdb_binary" "$work/program/qvrdb"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
rm -f "$work/program/DB/"*.QVR
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\n' "$cue" > "$work/program/Qvr.ini"

start_display
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

# The unregistered disc opens the registration dialog by itself.
wait_for 30 xdotool search --name '^ＣＤデータ登録$' || fail "the registration dialog did not open"
dialog=$(xdotool search --name '^ＣＤデータ登録$' | head -1)
read -r x y width height < <(window_geometry "$dialog")
echo "dialog at $x,$y ${width}x$height"
((width >= 433 && height >= 315)) || fail "the dialog is ${width}x$height, smaller than its client area"
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
sleep 0.5

shot() { [[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "${QVR_E2E_SHOT%.png}-$1.png" && echo "screenshot: ${QVR_E2E_SHOT%.png}-$1.png"; }
# The Japanese characters get key codes of their own first; each key gets a moment to move the
# focus before the next text is typed.
map_characters '夏の記録テスト楽団一曲目二三'
type_text() { xdotool type --delay 100 -- "$1"; sleep 0.5; }
key() { xdotool key "$1"; sleep 0.8; }

# The disc page opens with the focus in ＣＤ名; Tab goes on to アーティスト名.
type_text '夏の記録'
key Tab
type_text 'テスト楽団'
shot disc
# Ctrl+Tab: the track page, the focus in 曲 名.
key ctrl+Tab
type_text '一曲目'
key alt+Right
type_text '二曲目'
key alt+Right
type_text '三曲目'
shot tracks
key alt+u
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "更新 did not close the dialog"

# The lyrics line shows the new title without a restart.
wait_for 30 xdotool search --name '^\[夏の記録\]' ||
  fail "the lyrics line does not show the new title: $(xdotool search --name '^\[' getwindowname 2>/dev/null | head -3)"
echo "lyrics line: $(xdotool getwindowname "$(xdotool search --name '^\[夏の記録\]' | head -1)")"

# The database holds what was typed.
cd "$work/program"
key=$(./qvrdb list | awk 'NR == 1 {print $1}')
[[ -n "$key" ]] || { ./qvrdb list; fail "qvrdb lists no disc"; }
./qvrdb show "$key" > "$work/show.txt" || fail "qvrdb show $key failed"
cat "$work/show.txt"
for text in 夏の記録 テスト楽団 一曲目 二曲目 三曲目; do
  grep -qF "$text" "$work/show.txt" || fail "qvrdb show does not print $text"
done

# Another writer: `qvrdb import` changes the record of the disc in the drive while the player
# runs. The player follows (the lyrics line shows the imported title), and opening the dialog
# and pressing 更新 without an edit leaves the imported record, not the one loaded before.
./qvrdb export > "$work/export.json" || fail "qvrdb export failed"
python3 - "$work/export.json" "$work/import.json" <<'PY' || fail "could not edit the export"
import json, sys
text = open(sys.argv[1], encoding="utf-8").read()
for old, new in (("夏の記録", "秋の輸入"), ("一曲目", "輸入一曲目"), ("テスト楽団", "輸入楽団")):
    if old not in text:
        sys.exit("no " + old + " in the export")
    text = text.replace(old, new)
json.loads(text)
open(sys.argv[2], "w", encoding="utf-8").write(text)
PY
./qvrdb import "$work/import.json" || fail "qvrdb import failed"
wait_for 10 xdotool search --name '^\[秋の輸入\]' ||
  fail "the lyrics line does not follow the import: $(xdotool search --name '^\[' getwindowname 2>/dev/null | head -3)"
line=$(xdotool search --name '^\[秋の輸入\]' | head -1)
read -r x y width height < <(window_geometry "$line")
# The pop-up menu opens where the right button is released over the lyrics line.
xdotool mousemove $((x + width / 2)) $((y + height / 2)) click 3
sleep 0.7
choose_registration
key alt+u
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "更新 did not close the dialog"
./qvrdb show "$key" > "$work/show-after.txt" || fail "qvrdb show $key failed"
cat "$work/show-after.txt"
for text in 秋の輸入 輸入楽団 輸入一曲目 二曲目; do
  grep -qF "$text" "$work/show-after.txt" || fail "更新 lost the imported $text"
done
grep -qF 夏の記録 "$work/show-after.txt" && fail "更新 wrote the old record back"

# The program ends normally.
end_qvr
echo "PASS"
