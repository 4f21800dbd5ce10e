#!/usr/bin/env bash
# CPU of the real qvr beside mpv, each a whole process on its own desktop (Xvfb, openbox, trayer):
#   playing  a generated 60 s disc image of three tracks (qvr through SDL's disk audio driver;
#            mpv with --ao=null and with --ao=sdl on the same disk driver)
#   idle     with no drive (qvr's "Drive" setting empty on a computer without a CD drive; mpv --idle)
# SDL's disk driver writes to /dev/null for both; a private session bus runs for both. Each
# process has begun playing (or is idle) and runs SETTLE seconds more, then its CPU time is taken
# over SECONDS from the kernel's run time of each of its threads (/proc/PID/task/*/schedstat,
# nanoseconds). With --strace that window is also counted by `strace -c -f`. Also: milliseconds
# from qvr's start to the first audible byte it wrote, and how often start-up opened the
# settings file.
# Usage: cpu_benchmark.sh QVR [--seconds N] [--settle N] [--runs N] [--strace]
# (QVR: the built qvr; qvr-plugin-host beside it is copied too). Run by hand, not by ctest.
set -uo pipefail
qvr_binary=$1
shift
seconds=20 settle=4 runs=3 with_strace=
while (($#)); do
  case $1 in
    --seconds) seconds=$2; shift ;;
    --settle) settle=$2; shift ;;
    --runs) runs=$2; shift ;;
    --strace) with_strace=1 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
source "$(dirname "$0")/../tests/e2e/e2e_common.sh"
require_tools Xvfb openbox trayer xdotool xdpyinfo mpv python3 awk
[[ -z $with_strace ]] || require_tools strace

# The disc: three tracks of 20 s (1500 sectors of 2352 bytes each) of two tones (noise would
# keep mpv probing the raw file for its format for seconds).
python3 -c '
import array, math, sys
step = [2 * math.pi * f / 44100 for f in (440, 660)]
samples = array.array("h", (int(8000 * math.sin(step[n % 2] * (n // 2))) for n in range(4500 * 588 * 2)))
open(sys.argv[1], "wb").write(samples.tobytes())
' "$work/disc.bin"
printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:20:00\n  TRACK 03 AUDIO\n    INDEX 01 00:40:00\n' >"$work/disc.cue"
mkdir -p "$work/program/DB"
cp "$qvr_binary" "$work/program/qvr"
[[ -x "$(dirname "$qvr_binary")/qvr-plugin-host" ]] && cp "$(dirname "$qvr_binary")/qvr-plugin-host" "$work/program/"

start_desktop
export SDL_DISKAUDIOFILE="$work/audio.raw"
# A session bus, as on a desktop: qvr publishes its media-player interface there.
if command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/bus.address" 4>"$work/bus.pid" &&
    pids+=($(cat "$work/bus.pid")) && export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus.address")
fi

# Nanoseconds on a processor of every thread of process $1.
cpu_ns() {
  local total=0 run _ file
  for file in /proc/"$1"/task/*/schedstat; do
    read -r run _ <"$file" 2>/dev/null && total=$((total + run))
  done
  echo $total
}

# Settings for qvr: the drive ($1, empty: the default drive) and automatic play.
settings() {
  printf '[Other]\r\nDrive=%s\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n' "$1" >"$work/program/Qvr.ini"
}

# Runs the command after the label in the background, lets it settle, then prints the label and
# the milliseconds of CPU it used over the window.
measure() {
  local label=$1; shift
  rm -f "$work/mpv.sock"
  # SDL's disk driver writes to /dev/null here, for qvr and mpv alike: the file system's cost of
  # the recording is neither player's.
  SDL_DISKAUDIOFILE=/dev/null "$@" >"$work/run.log" 2>&1 &
  local pid=$!
  # Start-up is not measured: qvr's audio thread runs, mpv answers that it plays (or is idle).
  case $label in
    "qvr playing"*) wait_for 60 audio_thread $pid || echo "$label: no sound after 60 s" ;;
    mpv*) wait_for 60 mpv_started || echo "$label: no answer after 60 s" ;;
  esac
  sleep "$settle"
  if ! kill -0 $pid 2>/dev/null; then echo "$label: ended early"; cat "$work/run.log"; return; fi
  local before after strace_pid
  if [[ -n $with_strace ]]; then
    strace -c -f -o "$work/strace.txt" -p $pid 2>/dev/null & strace_pid=$!
    sleep 0.5
  fi
  before=$(cpu_ns $pid)
  sleep "$seconds"
  after=$(cpu_ns $pid)
  if [[ -n $with_strace ]]; then
    kill -INT $strace_pid; wait $strace_pid 2>/dev/null
  fi
  kill -TERM $pid; wait $pid 2>/dev/null
  printf '%-28s %8.1f ms CPU in %s s\n' "$label" "$(awk -v a="$after" -v b="$before" 'BEGIN {print (a - b) / 1e6}')" "$seconds"
  if [[ -n $with_strace ]]; then
    # The busiest calls and the total.
    head -12 "$work/strace.txt" | grep -v total | sed 's/^/    /'
    tail -1 "$work/strace.txt" | sed 's/^/    /'
  fi
}

# Whether process $1 runs SDL's audio thread.
audio_thread() { grep -qs '^SDLAudio' /proc/"$1"/task/*/comm; }
# Whether mpv answers on its control socket that it is idle or has played half a second.
mpv_started() {
  python3 -c '
import json, socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
s.sendall(b"{\"command\": [\"get_property\", \"idle-active\"]}\n{\"command\": [\"get_property\", \"playback-time\"]}\n")
replies = s.makefile()
answers = []
while len(answers) < 2:
    reply = json.loads(replies.readline())
    if "error" in reply: answers.append(reply.get("data"))
sys.exit(0 if answers[0] or (answers[1] or 0) > 0.5 else 1)
' "$work/mpv.sock"
}
# Each replaces the background shell that runs it, so that $! is the program's own process.
qvr() { cd "$work/program" && exec ./qvr; }
mpv_options=(--no-config --no-terminal --input-ipc-server="$work/mpv.sock")
mpv_null() { exec mpv "${mpv_options[@]}" --ao=null "$work/disc.cue"; }
mpv_sdl() { exec mpv "${mpv_options[@]}" --ao=sdl "$work/disc.cue"; }
mpv_idle() { exec mpv "${mpv_options[@]}" --idle; }

echo "== playing (window of $seconds s after $settle s, $runs runs each)"
settings "$work/disc.cue"
for ((run = 1; run <= runs; run++)); do
  measure "qvr playing" qvr
  measure "mpv --ao=null playing" mpv_null
  SDL_AUDIODRIVER=disk measure "mpv --ao=sdl (disk) playing" mpv_sdl
done

echo "== idle, no drive"
settings ""
for ((run = 1; run <= runs; run++)); do
  measure "qvr idle, no drive" qvr
  measure "mpv --idle" mpv_idle
done

# From the process's start to the first audible byte in SDL's output file, and how often the
# settings file was opened on the way (strace on the whole start-up, which slows it: separate).
echo "== start-up"
settings "$work/disc.cue"
for ((run = 1; run <= runs; run++)); do
  rm -f "$work/audio.raw"
  python3 - "$work" <<'EOF'
import os, subprocess, sys, time
work = sys.argv[1]
audio = os.path.join(work, "audio.raw")
start = time.monotonic()
process = subprocess.Popen(["./qvr"], cwd=os.path.join(work, "program"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
seen = 0
first = None
while time.monotonic() - start < 20 and first is None:
    try:
        with open(audio, "rb") as f:
            f.seek(seen)
            data = f.read()
    except FileNotFoundError:
        data = b""
    for index, byte in enumerate(data):
        if byte:
            first = time.monotonic()
            break
    seen += len(data)
    time.sleep(0.001)
process.terminate()
process.wait()
print("qvr start to first audible byte: %s" % ("%.1f ms" % ((first - start) * 1000) if first else "none in 20 s"))
EOF
done
if command -v strace >/dev/null; then
  (cd "$work/program" && timeout -s TERM 5 strace -f -e trace=open,openat -o "$work/open.txt" ./qvr >/dev/null 2>&1)
  echo "settings file opened during the first 5 s: $(grep -c 'Qvr.ini"' "$work/open.txt") times"
fi
