#!/usr/bin/env bash
# End-to-end test of the range change: the real qvr under its own Xvfb plays a generated two-track
# disc image through SDL's disk audio driver at the real pace with repeat-one on, and the
# recording must hold the first track twice in a row with not one sample of silence between:
# the repeat was handed to the player before the track ended, so it follows at the next sample.
# Usage: gapless_test.sh QVR   (exit 77: skipped, no Xvfb here)
set -uo pipefail
qvr_binary=$1
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb xdpyinfo od cmp

# Two tracks of 3 s (225 sectors of 2352 bytes) of noise without a zero byte, so that any
# silence the output adds shows as zeros.
mkdir -p "$work/program/DB" "$work/run" && chmod 700 "$work/run"  # an empty database
cp "$qvr_binary" "$work/program/qvr"
track_bytes=$((225 * 2352))
head -c $((2 * track_bytes)) /dev/urandom | tr '\0' '\1' >"$work/disc.bin"
head -c $track_bytes "$work/disc.bin" >"$work/track1.bin"
printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n' >"$work/disc.cue"
printf '[Other]\r\nDrive=%s\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n[Repeat]\r\nPlayMode=1\r\nOneUnlock=2\r\n' \
  "$work/disc.cue" >"$work/program/Qvr.ini"

display=$((120 + RANDOM % 80))  # away from the other e2e tests, which start at 90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=":$display"
wait_for 10 xdpyinfo || fail "Xvfb did not start"

export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
unset SDL_DISKAUDIODELAY  # one buffer's length: the real pace
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)

# Track 1, then track 1 again: 6 s of sound once the first sample was written.
audible() { [[ -s "$work/audio.raw" ]] && [[ -n "$(tr -d '\0' <"$work/audio.raw" | head -c 4)" ]]; }
wait_for 30 audible || fail "no sound was played"
long_enough() { (($(stat -c %s "$work/audio.raw") > 2 * track_bytes + 4 * 44100 * 2)); }
wait_for 30 long_enough || fail "the recording stopped short: $(stat -c %s "$work/audio.raw") bytes"
kill -TERM $qvr_pid
wait $qvr_pid

# The silence SDL writes before the first sample, then the track twice, sample for sample.
skip=$(od -An -tu1 -v -w1 "$work/audio.raw" | awk '$1 != 0 {print NR - 1; exit}')
echo "silence before the first sample: $skip bytes"
cat "$work/track1.bin" "$work/track1.bin" >"$work/expected.bin"
tail -c +$((skip + 1)) "$work/audio.raw" | head -c $((2 * track_bytes)) >"$work/played.bin"
cmp "$work/played.bin" "$work/expected.bin" || fail "the repeat did not follow the track at the next sample"
echo "PASS"
