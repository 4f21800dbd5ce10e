#!/usr/bin/env bash
# End-to-end test of the online lookup: the real qvr under its own Xvfb with a generated disc
# image the database does not know, automatic lookup on, and a local stand-in for MusicBrainz and
# the Cover Art Archive (lookup_server.py). The registration dialog opens by itself and fills
# itself from the server, cover included; Alt+U (更新) stores it: `qvrdb show KEY` prints the
# found texts and the jacket, the lyrics line shows the found title, and the jacket viewer shows
# the downloaded cover at its size.
# Usage: online_test.sh QVR QVR_E2E_DISC QVR_E2E_SHOT QVRDB QVR_E2E_PICTURE   (exit 77: skipped)
# QVR_E2E_SHOT=prefix keeps pictures of the filled dialog and the jacket viewer.
set -uo pipefail
qvr_binary=$1 disc_tool=$2 shot_tool=$3 qvrdb_binary=$4 picture_tool=$5
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo python3

# A program folder with the disc image as its drive and an empty database: the disc tool
# registers the disc in a folder of its own, which is not the program's.
mkdir -p "$work/program" "$work/run" && chmod 700 "$work/run"
cp "$qvr_binary" "$work/program/qvr"
cp "$qvrdb_binary" "$work/program/qvrdb"
# libcurl (with its TLS and Kerberos libraries) is loaded on the first request, not with the
# program; the lookup below then shows that it is found when needed.
LD_TRACE_LOADED_OBJECTS=1 "$work/program/qvr" | grep libcurl && fail "qvr loads libcurl at its start"
cue=$("$disc_tool" "$work/disc" "$work/scratch-db") || fail "could not make the disc image"
QT_QPA_PLATFORM=offscreen "$picture_tool" "$work/cover.png" 300 300 || fail "could not make the cover picture"

python3 "$(dirname "$0")/lookup_server.py" "$work/port" "$work/requests.log" "$work/cover.png" &
pids+=($!)
wait_for 10 test -s "$work/port" || fail "the local server did not start"
server="http://127.0.0.1:$(cat "$work/port")"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nAutoLookup=1\r\nMusicBrainzServer=%s\r\nGnudbServer=\r\nCoverArtServer=%s\r\nLyricsServer=%s\r\n' \
  "$cue" "$server" "$server" "$server" > "$work/program/Qvr.ini"

start_desktop
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

# The unregistered disc opens the registration dialog (automatic lookup on, the dialog option
# off), which asks the server at once and saves the cover beside the database.
wait_for 30 xdotool search --name '^ＣＤデータ登録$' || fail "the registration dialog did not open"
dialog=$(xdotool search --name '^ＣＤデータ登録$' | head -1)
jacket_saved() { compgen -G "$work/program/DB/Jacket/*.png" >/dev/null; }
wait_for 20 jacket_saved || { cat "$work/requests.log"; fail "the cover was not saved in DB/Jacket"; }
grep -q '^/ws/2/discid/.*fmt=json	QVR/' "$work/requests.log" || { cat "$work/requests.log"; fail "no disc ID lookup with the program's User-Agent"; }
# The found titles are asked for their timed lyrics at once (the stand-in has none).
wait_for 20 grep -q '^/api/search?track_name=.*	QVR/' "$work/requests.log" ||
  { cat "$work/requests.log"; fail "the proposal's lyrics were not asked for"; }
xdotool mousemove 0 0  # off the dialog: the status bar shows the search's outcome, not a hint
sleep 1
shot() { [[ -n "${QVR_E2E_SHOT:-}" ]] && "$shot_tool" "${QVR_E2E_SHOT%.png}-$1.png" && echo "screenshot: ${QVR_E2E_SHOT%.png}-$1.png"; }
shot dialog
[[ -e "$work/program/DB/MasterDB.QVR" ]] && "$work/program/qvrdb" list | grep -q . && fail "something was stored before 更新"

xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool key alt+u
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "更新 did not close the dialog"

# The lyrics line shows the found title.
wait_for 30 xdotool search --name '^\[検索で見つけた盤\]' ||
  fail "the lyrics line does not show the found title: $(xdotool search --name '^\[' getwindowname 2>/dev/null | head -3)"

# The database holds what the server proposed, the cover as the jacket.
cd "$work/program"
key=$(./qvrdb list | awk 'NR == 1 {print $1}')
[[ -n "$key" ]] || fail "qvrdb lists no disc"
./qvrdb show "$key" > "$work/show.txt" || fail "qvrdb show $key failed"
cat "$work/show.txt"
for text in "DiscName: 検索で見つけた盤" "ArtistName: オンライン楽団" "LabelName: 試験レコード" "SaleDate: 2004-05-06" \
            "DiscType: 0 シングル" "JacketFile: $work/program/DB/Jacket/$key.png" "TrackName: 見つけた曲 3" "Musicby: 作曲家"; do
  grep -qF "$text" "$work/show.txt" || fail "qvrdb show does not print $text"
done

# The jacket viewer shows the downloaded cover.
open_jacket_viewer 300x300
shot jacket
xdotool search --onlyvisible --name '^QVR$' >/dev/null 2>&1 && fail "an error box appeared"
xdotool key --window "$viewer" Escape
sleep 0.5

end_qvr
echo "PASS"
