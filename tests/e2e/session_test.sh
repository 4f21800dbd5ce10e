#!/usr/bin/env bash
# End-to-end tests of the player where nothing must wait for the user or hide from them, each on
# its own Xvfb with openbox, generated disc images and SDL's disk audio driver:
#   stacking       環境設定 → その他 → another (unregistered) image → 適用 opens the registration
#                  dialog above the options dialog, with the focus (the window manager's stacking
#                  order and active window)
#   handover       three paths the player cannot use handed over while it plays (missing, a .lrc,
#                  a .bin without its .cue): each second start ends non-zero with the reason on
#                  standard error and never opens the audio output; the running player shows at
#                  most one box and keeps playing
#   exit-fifo      the settings file is a FIFO: a box at start-up says so; while it is up the
#                  player is on the session bus (MPRIS), and SIGTERM ends it within a second,
#                  status 0, the reason on standard error
#   exit-readonly  a read-only settings file and an unregistered disc: the start-up box says the
#                  file cannot be written; while the start-up registration dialog is up the player
#                  is on the session bus, and SIGTERM ends it within a second, status 0, the
#                  failed save on standard error
# Usage: session_test.sh MODE QVR QVR_E2E_DISC   (77: skipped)
set -uo pipefail
mode=$1 qvr_binary=$2 disc_tool=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_common.sh"
probe="$here/audio_probe.py"
needed=(Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo python3)
[[ $mode == exit-* ]] && needed+=(dbus-daemon dbus-send)
require_tools "${needed[@]}"
unset DBUS_SESSION_BUS_ADDRESS

mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
bin="${cue%.cue}.bin"
# The other disc is registered in a database the player does not use: to the player it is new.
other=$("$disc_tool" "$work/other" "$work/otherdb" other) || fail "could not make the other disc image"
title='[最初の曲 & 二番]'

start_player() {
  "$work/program/qvr" "$@" >"$work/qvr.log" 2>"$work/qvr.err" & qvr_pid=$!
  pids+=($qvr_pid)
}
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
# The visible windows named $1.
windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
# The place of window $1 in the window manager's stacking order (0: bottom), or -1.
stacking_place() {
  local id i=0
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
    (($(printf '%d' "$id") == $1)) && { echo $i; return; }
    i=$((i + 1))
  done
  echo -1
}
active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //; s/,.*//')"; }
# Whether the player owns its name on the session bus.
on_bus() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.ListNames | grep -q '"org.mpris.MediaPlayer2.qvr"'
}
start_bus() {
  dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/bus.address" 4>"$work/bus.pid" \
    || fail "no session bus"
  pids+=($(cat "$work/bus.pid"))
  export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus.address")
}
# Sends SIGTERM and checks that the player ends within a second with status 0.
terminate_within_a_second() {
  local started elapsed status
  started=$(date +%s%N)
  kill -TERM "$qvr_pid"
  while kill -0 "$qvr_pid" 2>/dev/null; do
    (($(date +%s%N) - started < 5000000000)) || break
    sleep 0.02
  done
  elapsed=$((($(date +%s%N) - started) / 1000000))
  kill -0 "$qvr_pid" 2>/dev/null && fail "SIGTERM did not end the program within 5 s"
  wait "$qvr_pid"
  status=$?
  echo "SIGTERM ended the program after $elapsed ms with status $status"
  ((elapsed <= 1000)) || fail "SIGTERM took $elapsed ms"
  [[ $status -eq 0 ]] || fail "the program ended with status $status"
}

case $mode in
stacking)
  printf '[Other]\r\nDrive=%s\r\n' "$cue" >"$work/program/Qvr.ini"
  start_desktop
  start_player
  wait_for 20 xdotool search --name "^\\$title\$" || fail "the first disc does not play"
  wait_for 10 tray_icon || fail "no icon in the tray"
  # "環境設定..." is the third item from the bottom of the tray menu.
  open_tray_menu
  xdotool key Up Up Up Return
  wait_for 10 windows_named '^環境設定$' || fail "the options dialog did not open"
  options=$(windows_named '^環境設定$' | head -1)
  xdotool windowactivate --sync "$options" 2>/dev/null
  sleep 0.5
  # The image button of the last page is Alt+I; 適用 is Ctrl+A.
  for _ in 1 2 3; do xdotool key ctrl+Next; sleep 0.3; done
  xdotool key alt+i
  wait_for 10 windows_named '^CDイメージを選択$' || fail "no file dialog for the image"
  sleep 0.5
  xdotool type --delay 5 "$other"
  xdotool key Return
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^CDイメージを選択$'" || fail "the file dialog stayed"
  sleep 0.5
  xdotool key ctrl+a
  wait_for 20 windows_named '^ＣＤデータ登録$' || fail "the registration dialog did not open"
  registration=$(windows_named '^ＣＤデータ登録$' | head -1)
  above() { (($(stacking_place "$registration") > $(stacking_place "$options"))); }
  wait_for 5 above ||
    fail "the registration dialog (at $(stacking_place "$registration")) is under the options dialog (at $(stacking_place "$options"))"
  wait_for 5 test "$(active_window)" -eq "$registration" || fail "the registration dialog does not have the focus"
  echo "stacking: registration dialog at $(stacking_place "$registration"), options dialog at $(stacking_place "$options")"
  # It answers: Esc cancels it, and the options dialog's Ok then closes that one.
  xdotool key Escape
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^ＣＤデータ登録$'" || fail "Esc did not close the registration dialog"
  xdotool windowactivate --sync "$options" 2>/dev/null
  xdotool key alt+o
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^環境設定$'" || fail "Ok did not close the options dialog"
  end_qvr
  ;;
handover)
  printf '[Other]\r\nDrive=%s\r\n' "$cue" >"$work/program/Qvr.ini"
  start_desktop
  start_player
  wait_for 20 xdotool search --name "^\\$title\$" || fail "the first disc does not play"
  wait_for 15 audible_after "$work/audio.raw" || fail "the disc was not played"
  printf '[00:00.00]一行目\n' >"$work/notes.lrc"
  mkdir -p "$work/lone" && cp "$bin" "$work/lone/lone.bin"
  # Each bad path: the second start ends non-zero, its standard error says why, and nothing of
  # it is heard (its audio output would be a file of its own).
  check_refused() {  # PATH WORDS-EXPECTED-ON-STDERR
    local status
    SDL_DISKAUDIOFILE="$work/second.raw" timeout 20 "$work/program/qvr" "$1" >/dev/null 2>"$work/second.err"
    status=$?
    [[ ! -e $work/second.raw ]] || fail "the second start with $1 opened the audio output"
    echo "qvr $1: status $status: $(cat "$work/second.err")"
    ((status != 0 && status != 124)) || fail "the second start with $1 ended with $status"
    grep -q -- "$2" "$work/second.err" || fail "the reason for $1 does not say '$2': $(cat "$work/second.err")"
  }
  check_refused "$work/missing.cue" "見つかりません"
  check_refused "$work/notes.lrc" "notes.lrc"
  check_refused "$work/lone/lone.bin" "lone.cue"
  kill -0 "$qvr_pid" 2>/dev/null || fail "a bad path ended the player"
  wait_for 10 windows_named '^QVR$' || fail "no box for the paths that cannot be opened"
  sleep 1
  boxes=$(windows_named '^QVR$' | wc -l)
  echo "boxes: $boxes"
  ((boxes <= 1)) || fail "$boxes boxes for three bad hand-overs"
  # The music goes on: new sound from the first disc.
  sleep 0.5
  before=$(size_of "$work/audio.raw")
  from_first() { [[ $(python3 "$probe" locate "$work/audio.raw" "$bin" "$before") -ge 0 ]]; }
  wait_for 10 from_first || fail "the music stopped after the bad hand-overs"
  xdotool search --name "^\\$title\$" >/dev/null || fail "the lyrics line no longer shows the first disc"
  end_qvr
  ;;
exit-fifo)
  mkfifo "$work/program/Qvr.ini"
  start_display
  start_bus
  mkdir -p "$work/run" && chmod 700 "$work/run"
  export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
  start_player "$cue"
  wait_for 20 windows_named '^QVR$' || fail "no box at start-up about the settings file"
  box=$(windows_named '^QVR$' | head -1)
  xprop -id "$box" WM_NAME >/dev/null
  wait_for 10 on_bus || fail "the player is not on the session bus while the start-up box is up"
  terminate_within_a_second
  grep -q "Qvr.ini" "$work/qvr.err" || fail "no word about the settings file on standard error"
  grep -q "通常のファイルではありません" "$work/qvr.err" || fail "the reason is not on standard error: $(cat "$work/qvr.err")"
  ;;
exit-readonly)
  printf '[Other]\r\nDrive=%s\r\n' "$other" >"$work/program/Qvr.ini"
  chmod 444 "$work/program/Qvr.ini"
  start_display
  start_bus
  mkdir -p "$work/run" && chmod 700 "$work/run"
  export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
  start_player
  wait_for 20 windows_named '^QVR$' || fail "no box at start-up about the settings file"
  xdotool key --window "$(windows_named '^QVR$' | head -1)" Return
  wait_for 20 windows_named '^ＣＤデータ登録$' || fail "the registration dialog did not open at start-up"
  wait_for 10 on_bus || fail "the player is not on the session bus while the start-up registration dialog is up"
  terminate_within_a_second
  grep -q "Qvr.ini に書き込めません" "$work/qvr.err" || fail "the failed save is not on standard error: $(cat "$work/qvr.err")"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "PASS"
