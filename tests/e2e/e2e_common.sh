# Shared steps of the end-to-end tests, sourced by their scripts: the work folder and its
# cleanup, waiting, window geometry, and a desktop of their own (Xvfb on a free display number,
# openbox, trayer) with the player's environment (its own runtime folder, SDL's disk audio).
# The sourcing script sets `pids=()` users through start_desktop and calls fail on errors.

work=$(mktemp -d /tmp/qvr-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [[ -f "$work/qvr.log" ]] && sed 's/^/  qvr: /' "$work/qvr.log"; exit 1; }

# Waits up to $1 seconds (in tenths) for the command after it to succeed.
wait_for() {
  local tenths=$(($1 * 10)); shift
  for ((i = 0; i < tenths; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# A window's left, top, width and height on the screen.
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                           /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}

# Xvfb on the first free display number from 90 on, openbox and trayer; exports DISPLAY and the
# player's environment.
start_desktop() {
  mkdir -p "$work/run" && chmod 700 "$work/run"
  local display=90
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  export DISPLAY=":$display"
  wait_for 10 xdpyinfo || fail "Xvfb did not start"
  openbox >"$work/openbox.log" 2>&1 & pids+=($!)
  wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
  local attempt trayer_pid
  for attempt in 1 2 3; do
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --transparent false \
      --tint 0x303030 >"$work/trayer.log" 2>&1 & trayer_pid=$!
    pids+=($trayer_pid)
    wait_for 5 xdotool search --name '^panel$' && break
    kill $trayer_pid 2>/dev/null
  done
  xdotool search --name '^panel$' >/dev/null || { cat "$work/trayer.log"; fail "trayer did not start"; }
  export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
  export LSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
}

# The player's icon window inside the tray panel (empty until it is there).
tray_icon() {
  local panel
  panel=$(xdotool search --name '^panel$' | head -1)
  [[ -n "$panel" ]] && xwininfo -tree -id "$panel" | grep '("qvr" "qvr")'
}

# Opens the tray menu with a right click on the icon.
open_tray_menu() {
  local icon X Y WIDTH HEIGHT
  icon=$(tray_icon | awk '{print $1; exit}')
  [[ -n "$icon" ]] || fail "no icon in the tray"
  read -r X Y WIDTH HEIGHT < <(window_geometry "$icon")
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
  sleep 0.7
}
