#!/usr/bin/env python3
"""A stand-in for LRCLIB on 127.0.0.1, for the timed lyrics' end-to-end test: "get" answers with
LRCLIB's documented entry for the first two tracks of the test disc (by artist, title and album;
the length within 2 seconds, as LRCLIB matches it) and with its 404 "TrackNotFound" for anything
else; "search" finds nothing. Each request is logged with its User-Agent once its answer is sent.
Usage: lyrics_server.py PORT_FILE LOG_FILE   (writes the port it listens on)"""
import http.server
import json
import os
import sys
import urllib.parse

port_file, log_file = sys.argv[1:3]
ARTIST, ALBUM = "テスト楽団", "試験盤"
# Track titles as the test disc's record has them, with their timed lyrics. The second track's
# last line has no Shift-JIS form (Hangul): the LRC file keeps it in UTF-8.
SYNCED = {
    "最初の曲 & 二番": "[00:06.00] 最初の時間付きの行\n[00:09.00] 二番目の行\n",
    "二曲目": "[00:01.50] 二曲目の歌\n[00:04.00] 조용한 밤\n",
}


def entry(number, title, synced):
    plain = "\n".join(line.split("]", 1)[1].strip() for line in synced.splitlines())
    return {"id": 1000 + number, "trackName": title, "artistName": ARTIST, "albumName": ALBUM,
            "duration": 30.0, "instrumental": False, "plainLyrics": plain, "syncedLyrics": synced}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/api/get":
            title = query.get("track_name", "")
            found = (title in SYNCED and query.get("artist_name") == ARTIST and query.get("album_name") == ALBUM
                     and abs(int(query.get("duration", "0")) - 30) <= 2)
            if found:
                number = list(SYNCED).index(title) + 1
                self.reply(200, entry(number, title, SYNCED[title]))
            else:
                self.reply(404, {"code": 404, "name": "TrackNotFound", "message": "Failed to find specified track"})
        elif url.path == "/api/search":
            self.reply(200, [])
        else:
            self.reply(404, {"code": 404, "name": "NotFound", "message": "Not found"})
        with open(log_file, "a", encoding="utf-8") as log:
            log.write(f"{url.path}\t{query.get('track_name', '')}\t{self.headers.get('User-Agent', '')}\n")

    def reply(self, status, answer):
        body = json.dumps(answer, ensure_ascii=False).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
