#!/usr/bin/env python3
"""Measures when a window's title (the lyrics line) changes to a text, against the audio SDL's disk
audio driver records, for the timed lyrics' end-to-end test.

line_timing.py WINDOW AUDIO TEXT BUFFER_BYTES READY_FILE TIMEOUT
  Writes READY_FILE once it listens, then waits up to TIMEOUT seconds for WINDOW's title to
  become TEXT. Prints "LOW HIGH": the bounds, in sample frames of the recording, of the audio
  heard at that moment, counted from the first non-zero byte of AUDIO (the marker: the audio
  before it is silence). Exit 1 with a reason when it cannot tell.

How it is exact without depending on how fast this script is scheduled:
- The moment of the change is the X server's own time stamp on the PropertyNotify event of the
  window's _NET_WM_NAME (xev prints it): the server's millisecond clock, CLOCK_MONOTONIC.
- The driver writes one device buffer (BUFFER_BYTES) at a time and then waits for that buffer's
  length: the buffer written at time w is heard from w to w + its length. The time of each write
  is the file's modification time, stamped by the kernel at the write (to its clock tick), not
  when this script looks; the script only has to look once between two writes (every 1 ms).
- So the audio heard at the change is the bytes before the last write before the change, plus the
  time since that write at 44100 frames a second (at most one buffer). When the script missed
  writes around the change (a starved machine), it gives the bounds those writes allow instead.
"""
import os
import re
import subprocess
import sys
import threading
import time

FRAME_BYTES = 4
RATE = 44100


def now_ns(clock):
    return time.clock_gettime_ns(clock)


def main():
    window, audio, text, buffer_text, ready_file, timeout_text = sys.argv[1:7]
    buffer_bytes, timeout = int(buffer_text), float(timeout_text)
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    events = subprocess.Popen(["xev", "-id", window, "-event", "property"], stdout=subprocess.PIPE,
                              text=True, errors="replace", env=environment)
    found = {}

    def watch():
        # xev prints an event over two lines; the atom and the time are on the second.
        for line in events.stdout:
            match = re.search(r"\(_NET_WM_NAME\), time (\d+)", line)
            if not match:
                continue
            name = subprocess.run(["xprop", "-id", window, "_NET_WM_NAME"], capture_output=True, text=True,
                                  errors="replace", env=environment).stdout
            if f'"{text}"' in name:
                found["seen"] = now_ns(time.CLOCK_MONOTONIC)
                found["time"] = int(match.group(1))  # last: the other thread waits for it
                return

    threading.Thread(target=watch, daemon=True).start()
    time.sleep(0.5)  # xev has selected the window's property events
    with open(ready_file, "w") as ready:
        ready.write("ready\n")

    # Every size the file takes, with the kernel's time of the write that made it.
    writes = []
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            status = os.stat(audio)
        except FileNotFoundError:
            status = None
        if status and (not writes or status.st_size != writes[-1][0]):
            writes.append((status.st_size, status.st_mtime_ns))
        if "time" in found and "real" not in found:
            # The server's 32-bit millisecond time on this machine's monotonic and real clocks.
            monotonic_ms = now_ns(time.CLOCK_MONOTONIC) // 1000000
            changed_ms = monotonic_ms - ((monotonic_ms - found["time"]) % (1 << 32))
            if not 0 <= found["seen"] // 1000000 - changed_ms < 10000:
                return fail(f"the X server's time {found['time']} is not on the monotonic clock ({monotonic_ms} ms)")
            offset = now_ns(time.CLOCK_REALTIME) - now_ns(time.CLOCK_MONOTONIC)
            found["real"] = changed_ms * 1000000 + offset
        # Done once a whole buffer written after the change is known.
        if "real" in found and writes and writes[-1][0] % buffer_bytes == 0 and writes[-1][1] > found["real"]:
            break
        time.sleep(0.001)
    events.kill()
    if "time" not in found:
        return fail(f"the title did not become {text!r} within {timeout:.0f} s")
    if "real" not in found or not writes or writes[-1][1] <= found["real"]:
        return fail("the recording did not go on after the change")

    # The marker may come after the change (a line shown early): the recording goes on to it.
    while True:
        data = open(audio, "rb").read()
        marker = len(data) - len(data.lstrip(b"\0"))
        if marker < len(data):
            break
        if time.monotonic() > deadline:
            return fail("the recording holds no sound")
        time.sleep(0.05)
    marker -= marker % FRAME_BYTES
    # Whole buffers only: a buffer may reach the file in two writes.
    whole = [(size, stamp) for size, stamp in writes if size % buffer_bytes == 0]
    before = [w for w in whole if w[1] <= found["real"]]
    after = [w for w in whole if w[1] > found["real"]]
    if not before or not after:
        return fail(f"no whole buffer written around the change (sizes {[w[0] for w in writes[-8:]]})")
    (size_before, written_at), size_after = before[-1], after[0][0]
    since_ns = found["real"] - written_at
    heard = size_before - buffer_bytes + min(buffer_bytes, since_ns * RATE // 1000000000 * FRAME_BYTES)
    # Writes missed between the two known ones: the last before the change may be any of them.
    latest = heard if size_after - size_before == buffer_bytes else size_after - buffer_bytes
    print((heard - marker) // FRAME_BYTES, (latest - marker) // FRAME_BYTES)
    return 0


def fail(reason):
    print(reason, file=sys.stderr)
    return 1


sys.exit(main())
