#!/usr/bin/env python3
"""A stand-in for MusicBrainz and the Cover Art Archive on 127.0.0.1, for the online lookup's
end-to-end test: every disc ID lookup answers with one Japanese release of three tracks (ws/2
JSON as documented), the release's front cover is the picture file given, an LRCLIB search finds
nothing (its "get" is 404 like anything else).
Usage: lookup_server.py PORT_FILE LOG_FILE COVER_FILE   (writes the port it listens on)"""
import http.server
import json
import sys

port_file, log_file, cover_file = sys.argv[1:4]
RELEASE = "0b5c9e54-1f3e-4a51-9c1e-5f7a0f0e2e2e"


def release_json():
    tracks = [{"position": n, "number": str(n), "title": f"見つけた曲 {n}",
               "recording": {"id": f"r{n}", "title": f"見つけた曲 {n}", "relations": [
                   {"type": "performance", "target-type": "work", "work": {"title": "w", "relations": [
                       {"type": "composer", "target-type": "artist", "artist": {"name": "作曲家"}}]}}]}}
              for n in (1, 2, 3)]
    return {"id": "any", "sectors": 0, "releases": [{
        "id": RELEASE, "title": "検索で見つけた盤", "country": "JP", "date": "2004-05-06",
        "text-representation": {"language": "jpn", "script": "Jpan"},
        "artist-credit": [{"name": "オンライン楽団", "joinphrase": ""}],
        "label-info": [{"label": {"name": "試験レコード"}}],
        "release-group": {"primary-type": "Single"},
        "cover-art-archive": {"front": True, "artwork": True, "count": 1},
        "media": [{"position": 1, "format": "CD", "discs": [], "tracks": tracks}]}]}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log_file, "a", encoding="utf-8") as log:
            log.write(f"{self.path}\t{self.headers.get('User-Agent', '')}\n")
        if self.path.startswith("/ws/2/discid/"):
            self.reply(200, "application/json", json.dumps(release_json()).encode())
        elif self.path.startswith("/api/search?"):
            self.reply(200, "application/json", b"[]")
        elif self.path == f"/release/{RELEASE}/front-1200":
            with open(cover_file, "rb") as cover:
                self.reply(200, "image/png", cover.read())
        else:
            self.reply(404, "application/json", b'{"error": "Not Found"}')

    def reply(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
import os
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
