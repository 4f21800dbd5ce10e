# Helpers the end-to-end scripts share (sourced, not run): a work folder removed at exit, the
# processes to end, waiting with a limit, window geometry, and a desktop of its own (Xvfb on the
# first free display from 90 on, openbox, trayer) on which the real qvr runs.
# Before sourcing: nothing. After: $work, fail, wait_for, window_geometry, start_display (Xvfb
# and openbox), start_desktop (with trayer, the player's runtime folder and SDL's disk audio in
# $work/audio.raw), tray_icon, click_tray, open_tray_menu, open_jacket_viewer, audible_after,
# end_qvr, pids+=(...).

# Skips (exit 77) unless every tool named is installed.
require_tools() {
  for tool in "$@"; do command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }; done
}

work=$(mktemp -d /tmp/qvr-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
# Fails the test, showing every log of the work folder.
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [[ -s "$log" ]] && sed "s|^|  $(basename "$log"): |" "$log"; done
  exit 1
}

# Waits up to $1 seconds for the command after it to succeed (tried every tenth of a second;
# the time the command itself takes counts).
wait_for() {
  local deadline=$(($(date +%s%N) + $1 * 1000000000)); shift
  while true; do
    "$@" >/dev/null 2>&1 && return 0
    (($(date +%s%N) < deadline)) || return 1
    sleep 0.1
  done
}

# A window's left, top, width and height on the screen.
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                           /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

# Starts Xvfb on the first free display number from 90 on, and openbox on it; exports DISPLAY.
start_display() {
  local display=90
  # Tests running side by side take their numbers one after the other.
  exec 9>/tmp/.qvr-e2e-display.lock
  flock 9
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & pids+=($!)
  export DISPLAY=":$display"
  wait_for 10 xdpyinfo || fail "Xvfb did not start"
  flock -u 9
  # xprop succeeds without the property too: the window manager runs once it names its window.
  # Started again when it could not reach the display (it happens under heavy load).
  wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
  local attempt wm
  for attempt in 1 2 3; do
    openbox >"$work/openbox.log" 2>&1 & wm=$!
    pids+=($wm)
    wait_for 10 wm_running && return 0
    kill $wm 2>/dev/null
  done
  fail "openbox did not start"
}

# Xvfb, openbox and trayer; exports DISPLAY and what qvr needs to run on it.
start_desktop() {
  start_display
  # The tray: started again when it gives up early (it can, while the window manager settles).
  for attempt in 1 2 3; do
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --transparent false \
      --tint 0x303030 >"$work/trayer.log" 2>&1 & local trayer_pid=$!
    pids+=($trayer_pid)
    wait_for 5 xdotool search --name '^panel$' && break
    kill $trayer_pid 2>/dev/null
  done
  xdotool search --name '^panel$' >/dev/null || { cat "$work/trayer.log"; fail "trayer did not start"; }
  mkdir -p "$work/run" && chmod 700 "$work/run"
  export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
  # Under the sanitizers: leaks inside the system's libraries are not QVR's.
  export LSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# The window of qvr's icon inside the tray's panel (its id first on the line).
tray_icon() {
  local panel
  panel=$(xdotool search --name '^panel$' | head -1)
  [[ -n "$panel" ]] && xwininfo -tree -id "$panel" | grep '("qvr" "qvr")'
}

# Clicks the tray icon with mouse button $1.
click_tray() {
  local icon X Y WIDTH HEIGHT
  icon=$(tray_icon | awk '{print $1; exit}')
  read -r X Y WIDTH HEIGHT < <(window_geometry "$icon")
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click "$1"
}

# Opens the tray menu with a right click on the icon.
open_tray_menu() {
  [[ -n "$(tray_icon)" ]] || fail "no icon in the tray"
  click_tray 3
  sleep 0.7
}

# Opens "ジャケット表示..." from the tray menu (six items up from its last item "終了"; the
# disabled plug-in item is skipped) and checks that the viewer's client area is $1 (WxH).
# Sets $viewer to the viewer's window.
open_jacket_viewer() {
  wait_for 10 tray_icon || fail "no icon in the tray"
  open_tray_menu
  for _ in 1 2 3 4 5 6; do xdotool key Up; sleep 0.1; done
  xdotool key Return
  wait_for 10 xdotool search --name '^ジャケット$' || fail "the jacket viewer did not open"
  viewer=$(xdotool search --name '^ジャケット$' | head -1)
  sleep 0.5
  local x y width height
  read -r x y width height < <(window_geometry "$viewer")
  echo "jacket viewer: $x,$y ${width}x$height"
  [[ "${width}x$height" == "$1" ]] || fail "the viewer's client area is ${width}x$height, not the picture's $1"
}

# Records what qvr plays into $work/audio.raw. The disk driver starts its file anew each time the
# output opens (once per range): it writes into a pipe that a reader drains into one file, range
# after range. Sets SDL's variables for the qvr started next and ends the reader on exit.
record_audio() {
  mkfifo "$work/audio.fifo"
  (while :; do cat "$work/audio.fifo" >>"$work/audio.raw"; done) & reader=$!
  pids+=($reader)
  trap 'stop_reader; cleanup' EXIT
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.fifo"
}
# Ends the reader; a cat waiting for the next writer is let go by one empty write.
stop_reader() { kill $reader 2>/dev/null; timeout 2 bash -c ": >'$work/audio.fifo'" 2>/dev/null; }

# Opens "プレイリスト..." from the tray menu: the second enabled item while the disc is stopped
# (play, then the list; stop, pause and the track steps are disabled). Styles that stop on
# disabled items need six steps. Sets $dialog to the dialog's window and activates it.
open_play_list_dialog() {
  dialog=""
  local steps i
  for steps in 2 6; do
    open_tray_menu
    for ((i = 0; i < steps; i++)); do xdotool key Down; sleep 0.05; done
    xdotool key Return
    if wait_for 5 xdotool search --name '^プレイリスト \.\.\. '; then
      dialog=$(xdotool search --name '^プレイリスト \.\.\. ' | head -1)
      break
    fi
    xdotool key Escape
    sleep 0.3
  done
  [[ -n "$dialog" ]] || fail "the play list dialog did not open from the tray menu"
  xdotool windowactivate --sync "$dialog" 2>/dev/null
  sleep 0.5
}

# Chooses "データベース登録..." in the pop-up menu that is open (five items up from its last item
# "終了"; the disabled plug-in item is skipped) and waits for the registration dialog. Sets
# $dialog to its window and activates it.
choose_registration() {
  local i
  for i in 1 2 3 4 5; do xdotool key Up; sleep 0.1; done
  xdotool key Return
  wait_for 10 xdotool search --name '^ＣＤデータ登録$' || fail "the registration dialog did not open from the menu"
  dialog=$(xdotool search --name '^ＣＤデータ登録$' | head -1)
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  sleep 0.5
}

# Gives every character of $1 outside the keyboard map a key code of its own, once, before any is
# typed. `xdotool type` otherwise binds a spare key code to each such character in turn, and a
# program that reads its key events late (a loaded machine) finds the code already bound to the
# next character or to none, and loses a character.
map_characters() {
  local LC_ALL=C.UTF-8  # one character at a time, whatever the caller's locale
  local -a free
  mapfile -t free < <(xmodmap -pke | awk '$1 == "keycode" && $2 > 8 && NF == 3 {print $2}')
  local -A seen=()
  local expressions=() char n=0
  while IFS= read -r -n1 char; do
    [[ -z "$char" || -n "${seen[$char]:-}" ]] && continue
    seen[$char]=1
    [[ "$char" == [[:ascii:]] ]] && continue
    ((n < ${#free[@]})) || fail "no free key code left for $char"
    expressions+=(-e "keycode ${free[n]} = $(printf 'U%04X' "'$char")")
    n=$((n + 1))
  done <<<"$1"
  ((${#expressions[@]} == 0)) || xmodmap "${expressions[@]}" || fail "xmodmap could not map the characters"
  sleep 1  # the program takes the new map when its notice arrives
}

# Whether the disk audio file has received non-silent samples after byte $2 (default 0).
audible_after() { [[ -n "$(tail -c +$((${2:-0} + 1)) "$1" 2>/dev/null | tr -d '\0' | head -c 16)" ]]; }

# Ends the program $qvr_pid as the system does at logout (SIGTERM); fails unless it ends within
# 10 s with status 0.
end_qvr() {
  kill -TERM "$qvr_pid"
  for ((i = 0; i < 100; i++)); do kill -0 "$qvr_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$qvr_pid" 2>/dev/null && fail "SIGTERM did not end the program"
  wait "$qvr_pid"
  local status=$?
  [[ $status -eq 0 ]] || fail "the program ended with status $status"
}
