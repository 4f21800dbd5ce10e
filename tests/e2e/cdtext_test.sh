#!/usr/bin/env bash
# End-to-end test of CD-Text: the real qvr under its own Xvfb with a generated disc image that
# the database does not know, whose cue sheet carries TITLE and PERFORMER lines in Shift-JIS
# (with code page 932 characters). The registration dialog opens by itself filled from the
# CD-Text; cancelled, nothing is stored and the playing disc shows its CD-Text track title on the
# lyrics line; in a second run 更新 (Alt+U) alone stores the titles: `qvrdb show KEY` prints them.
# Usage: cdtext_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB   (exit 77: skipped, no Xvfb)
# QVR_E2E_SHOT=file.png keeps a picture of the dialog as it opened.
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb_binary=$4
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox xdotool xwininfo xprop xdpyinfo iconv

mkdir -p "$work/program" "$work/run" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cp "$qvrdb_binary" "$work/program/qvrdb"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
rm -f "$work/program/DB/"*.QVR
# CD-Text lines for the disc and two of its three tracks, the sheet written in Shift-JIS.
sed -e 's/^FILE /TITLE "①㈱の夏"\nPERFORMER "髙橋楽団"\nFILE /' \
    -e 's/^\(  TRACK 01 AUDIO\)$/\1\n    TITLE "一曲目①"\n    SONGWRITER "作詞家"/' \
    -e 's/^\(  TRACK 02 AUDIO\)$/\1\n    TITLE "二曲目"/' "$cue" | iconv -f UTF-8 -t CP932 > "$work/cue.sjis" ||
  fail "could not write the cue sheet in Shift-JIS"
mv "$work/cue.sjis" "$cue"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=1\r\nAutoDLGOpen=1\r\n' "$cue" > "$work/program/Qvr.ini"

start_display
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
cd "$work/program"

start_qvr() {
  ./qvr >>"$work/qvr.log" 2>&1 & qvr_pid=$!
  pids+=($qvr_pid)
  # The disc plays, and the dialog opens by itself for the unregistered disc.
  wait_for 30 xdotool search --name '^ＣＤデータ登録$' || fail "the registration dialog did not open"
  dialog=$(xdotool search --name '^ＣＤデータ登録$' | head -1)
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  sleep 1
}

# First run: the dialog is cancelled. Nothing is stored, and the lyrics line shows the
# CD-Text's title of the track playing.
start_qvr
[[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "$QVR_E2E_SHOT" && echo "screenshot: $QVR_E2E_SHOT"
xdotool key Escape
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "Esc did not close the dialog"
wait_for 30 xdotool search --name '^\[一曲目①\]$' ||
  fail "the lyrics line does not show the CD-Text title: $(xdotool search --name '.' getwindowname %@ 2>/dev/null | head -8)"
[[ -z "$(./qvrdb list 2>/dev/null)" ]] || fail "the disc was stored without 更新: $(./qvrdb list)"
end_qvr

# Second run: the dialog opens filled from the CD-Text again, and 更新 (Alt+U) alone stores it.
start_qvr
xdotool key alt+u
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "更新 did not close the dialog"
key=$(./qvrdb list | awk 'NR == 1 {print $1}')
[[ -n "$key" ]] || { ./qvrdb list; fail "qvrdb lists no disc"; }
./qvrdb show "$key" > "$work/show.txt" || fail "qvrdb show $key failed"
cat "$work/show.txt"
for text in ①㈱の夏 髙橋楽団 一曲目① 作詞家 二曲目; do
  grep -qF "$text" "$work/show.txt" || fail "qvrdb show does not print $text"
done
end_qvr
echo "PASS"
