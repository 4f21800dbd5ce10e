# Shared helpers of the end-to-end scripts (sourced): a work folder removed at exit, processes
# ended at exit, waiting, window geometry, and a display of its own with a window manager.
# The sourcing script sets `work` through e2e_begin and adds the pids it starts to `pids`.

e2e_begin() {
  work=$(mktemp -d /tmp/qvr-e2e-XXXXXX)
  pids=()
  trap e2e_cleanup EXIT
}

e2e_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}

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

# Xvfb (1024x768) on the first free display number from 90 on, with openbox.
start_display() {
  local display=90
  exec 9>/tmp/.qvr-e2e-display.lock
  flock 9
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & pids+=($!)
  export DISPLAY=":$display"
  wait_for 10 xdpyinfo || fail "Xvfb did not start"
  flock -u 9
  openbox >"$work/openbox.log" 2>&1 & pids+=($!)
  wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
}

# Whether the disk audio file has received non-silent samples after byte $2 (default 0).
audible_after() { [[ -n "$(tail -c +$((${2:-0} + 1)) "$1" 2>/dev/null | tr -d '\0' | head -c 16)" ]]; }
