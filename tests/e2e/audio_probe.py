#!/usr/bin/env python3
"""Finds where audio written by SDL's disk audio driver came from in a disc image's .bin file.

audio_probe.py locate OUT BIN FROM   prints the sector (bin offset / 2352) of the newest
                                      stretch of OUT after byte FROM found in BIN, or -1
audio_probe.py landing OUT BIN FROM  prints the sector where playback continued after the first
                                      jump in the image following byte FROM (a seek's landing;
                                      silence between is no jump), or -1
audio_probe.py silent OUT FROM       exit 0 when every byte after FROM is zero
"""
import sys

WINDOW = 1024
CONFIRM = 8192  # a place counts only when this much of the output agrees with the image there
SECTOR = 2352


def where(out, bin_data, at):
    window = out[at:at + WINDOW]
    if len(window) < WINDOW or not window.strip(b"\0"):
        return None
    longer = out[at:at + CONFIRM]
    if len(longer) < CONFIRM:
        return None  # too little output yet to tell the place (a growing file's end)
    found = bin_data.find(window)
    while found >= 0 and bin_data[found:found + len(longer)] != longer:
        found = bin_data.find(window, found + 1)
    return None if found < 0 else found


def main():
    command = sys.argv[1]
    if command == "silent":
        data = open(sys.argv[2], "rb").read()[int(sys.argv[3]):]
        return 0 if not data.strip(b"\0") else 1
    out = open(sys.argv[2], "rb").read()
    bin_data = open(sys.argv[3], "rb").read()
    start = int(sys.argv[4]) // 4 * 4
    if command == "locate":
        last = (len(out) - WINDOW) // 4 * 4
        for at in range(last, start - 1, -SECTOR):
            found = where(out, bin_data, at)
            if found is not None:
                print(found // SECTOR)
                return 0
        print(-1)
        return 0
    if command == "landing":
        previous = None
        # From a little before FROM: the place played just before the seek, even when the seek
        # came so soon after FROM that too little output lies between for a place of its own.
        for at in range(max(0, start - CONFIRM), len(out) - WINDOW, 4 * 147):
            found = where(out, bin_data, at)
            if found is None:
                continue
            # Silence in the output (a pause) lets the output run ahead of the image; a place
            # behind the last one, or further on than the output moved, is a jump.
            if previous is not None and (found < previous[1] or found > previous[1] + (at - previous[0])):
                print(found // SECTOR)
                return 0
            previous = (at, found)
        print(-1)
        return 0
    return 2


sys.exit(main())
