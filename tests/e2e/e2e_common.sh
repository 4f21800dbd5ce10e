# Shared pieces of the end-to-end scripts (sourced): a work folder cleaned up at exit, waiting
# with a limit, window geometry, and a display of our own with a window manager.
# The sourcing script sets `work` (from new_work_folder) and appends what it starts to `pids`.

pids=()
new_work_folder() {
  work=$(mktemp -d /tmp/qvr-e2e-XXXXXX)
  trap e2e_cleanup EXIT
}
e2e_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [[ -n "${QVR_E2E_KEEP:-}" ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
fail() { echo "FAIL: $*"; [[ -f "$work/qvr.log" ]] && sed 's/^/  qvr: /' "$work/qvr.log"; exit 1; }

# Skips the test (exit 77) when one of the named tools is missing.
require_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

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

# Starts Xvfb on the first free display number from 90 on, and openbox on it; exports DISPLAY.
start_display() {
  local display=90
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  export DISPLAY=":$display"
  wait_for 10 xdpyinfo || fail "Xvfb did not start"
  openbox >"$work/openbox.log" 2>&1 & pids+=($!)
  wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
}
