#!/usr/bin/env bash
# End-to-end test of timed lyrics from LRCLIB: the real qvr under its own Xvfb with a generated
# three-track disc image registered in its database, and a local stand-in for LRCLIB
# (lyrics_server.py) that has timed lyrics for tracks 1 and 2 only. The registration dialog,
# opened from the pop-up menu, fetches them with 歌詞をオンラインで取得 (reached with the keyboard);
# nothing is stored before 更新, which names the disc's LRC file in the "Lyrics" folder in the
# record and writes it. Then 再生: the lyrics line shows track 1's first timed line at its time
# tag, to within 100 ms of the recorded audio.
#
# The measure: track 1 of the image is silence up to the line's time tag (6.00 s) and sound from
# there, so the first non-zero byte SDL's disk audio driver records is the tag's moment in the
# recording. line_timing.py takes the moment the lyrics line's title changes from the X server's
# time stamp on the property change and the audio heard at that moment from the kernel's time
# stamps on the recording's writes (see there), so neither depends on how quickly this test is
# scheduled on a loaded machine.
# Usage: lyrics_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB   (exit 77: skipped)
# QVR_E2E_SHOT=prefix keeps a picture of the dialog with the fetched lyrics file.
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb_binary=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo xev python3

# A program folder of its own with the disc image as its drive and the disc registered.
mkdir -p "$work/program" "$work/run" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cp "$qvrdb_binary" "$work/program/qvrdb"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
# Track 1 starts the image file (INDEX 01 00:00:00): its first 6 s (450 sectors) become silence.
dd if=/dev/zero of="$work/disc/e2e.bin" bs=2352 count=450 conv=notrunc status=none || fail "could not silence track 1"

python3 "$here/lyrics_server.py" "$work/port" "$work/requests.log" &
pids+=($!)
wait_for 10 test -s "$work/port" || fail "the local server did not start"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nLyricsServer=http://127.0.0.1:%s\r\n' \
  "$cue" "$(cat "$work/port")" >"$work/program/Qvr.ini"

start_desktop
unset SDL_DISKAUDIODELAY  # one buffer's length: the real pace
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

cd "$work/program"
key=$(./qvrdb list | awk 'NR == 1 {print $1}')
[[ -n "$key" ]] || fail "qvrdb lists no disc"
lrc="$work/program/DB/Lyrics/$key.lrc"

# The lyrics line shows the registered disc's title; its pop-up menu opens the dialog
# ("データベース登録..." is five items up from its last item "終了").
wait_for 30 xdotool search --name '^\[試験盤\]' || fail "the lyrics line does not show the disc's title"
line=$(xdotool search --name '^\[試験盤\]' | head -1)
read -r x y width height < <(window_geometry "$line")
popup_menu() {
  xdotool mousemove $((x + width / 2)) $((y + height / 2)) click 3
  sleep 0.7
}
popup_menu
choose_registration

# The focus starts in ＣＤ名; nine Tabs (アーティスト名, 発売日, レーベル名, タイプ, the jacket's
# field and button, the lyrics file's field and button) reach 歌詞をオンラインで取得.
for _ in $(seq 9); do xdotool key Tab; sleep 0.2; done
xdotool key space
# Each track is asked for ("get"), the one not found searched for too; the answer to the last
# request is logged once sent, and the dialog has it a moment later.
asked_all() { [[ $(grep -c . "$work/requests.log" 2>/dev/null) -ge 4 ]]; }
wait_for 20 asked_all || fail "the lyrics were not fetched: $(cat "$work/requests.log" 2>/dev/null)"
sleep 2
cat "$work/requests.log"
expected_requests=$'/api/get\t最初の曲 & 二番\n/api/get\t二曲目\n/api/get\t三曲目\n/api/search\t三曲目'
[[ "$(cut -f1,2 "$work/requests.log")" == "$expected_requests" ]] || fail "other requests than one get per track and a search for track 3"
[[ $(grep -c $'\tQVR/' "$work/requests.log") -eq 4 ]] || fail "a request without the program's User-Agent"
xdotool mousemove 0 0  # off the dialog: the status bar shows the fetch's outcome, not a hint
sleep 0.5
[[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "${QVR_E2E_SHOT%.png}-dialog.png" && echo "screenshot: ${QVR_E2E_SHOT%.png}-dialog.png"

# Nothing is stored before 更新.
[[ -e "$lrc" ]] && fail "the lyrics file was written before 更新"
./qvrdb show "$key" | grep -q '^ *LyricsFile: .' && fail "the record names a lyrics file before 更新"
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool key alt+u
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "更新 did not close the dialog"

# The record names the disc's file in the Lyrics folder, which holds tracks 1 and 2.
./qvrdb show "$key" >"$work/show.txt" || fail "qvrdb show $key failed"
grep -qF "LyricsFile: $lrc" "$work/show.txt" || { cat "$work/show.txt"; fail "the record does not name $lrc"; }
[[ -s "$lrc" ]] || fail "$lrc was not written"
python3 - "$lrc" <<'PY' || fail "the LRC file does not hold the fetched lyrics"
import sys
lines = []
for raw in open(sys.argv[1], "rb").read().split(b"\r\n"):
    try:
        lines.append(raw.decode("utf-8"))
    except UnicodeDecodeError:
        lines.append(raw.decode("cp932"))
print("\n".join("  LRC: " + line for line in lines if line))
expected = ["[track:1]", "[00:06.00]最初の時間付きの行", "[00:09.00]二番目の行",
            "[track:2]", "[00:01.50]二曲目の歌", "[00:04.00]조용한 밤"]
sys.exit(0 if [line for line in lines if line] == expected else 1)
PY

# 再生 (the pop-up menu's first item) while the line's title is watched.
"$here/line_timing.py" "$line" "$work/audio.raw" 最初の時間付きの行 8192 "$work/ready" 40 >"$work/timing.txt" \
  2>"$work/timing.log" & timing=$!
pids+=($timing)
wait_for 10 test -s "$work/ready" || fail "the title watch did not start"
popup_menu
xdotool key Down
sleep 0.1
xdotool key Return
wait $timing || fail "the first timed line was not measured"
read -r low high <"$work/timing.txt"
echo "audio heard when the line changed: $low to $high frames ($((low * 1000 / 44100)) to $((high * 1000 / 44100)) ms) after its time tag"
((low >= -4410 && high <= 4410)) || fail "the first timed line showed $low..$high frames from its time, not within 100 ms (4410)"

end_qvr
echo "PASS"
