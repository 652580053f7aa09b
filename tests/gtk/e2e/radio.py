"""A loopback radio for the media watch's end-to-end test and the silence benchmark: a live MP3
stream with no length, sent at its bit rate as radio servers send it (a burst, then paced by wall
time, looping the frames of a tone made with ffmpeg), on a port of its own, and a second stream
like it (/side.mp3) for a page's second player; the pages that play them, each reporting its
players' states to the server twice a second; and the faults a listener meets: the stream's
connections closed, the stream stalled, the stream refused, the page answering 503.

Origins: the pages at 127.0.0.1:P, the stream at 127.0.0.1:S (a station's web site and its stream
server), the player of /framed.html in a frame from 127.0.0.2:F. One log of requests for all.
"""
import bisect
import http.server
import json
import math
import os
import select
import socket
import sys
import threading
import time
import urllib.parse

import harness as h

BIT_RATE = 128000
BURST_SECONDS = 2.0  # sent at once to a new listener, as radio servers do, so that it starts
STREAM = "/live.mp3"
SIDE = "/side.mp3"  # the same stream, for a second player beside the first
SONG = "/song.mp3"
SONG_SECONDS = 6
REPORT_PERIOD = 0.5

RECONNECT = """
  const again = () => setTimeout(() => {{ el.src = el.src; el.play().catch(() => {{}}); }}, 3000);
  el.addEventListener("error", again);
  el.addEventListener("ended", again);
"""
SECOND_PLAYER = """
  const side = new Audio("{side}");
  side.id = "side";
  side.play().catch(() => {{}});
  players.push(side);
"""
GAP = 1.6        # seconds without a report that heard the music: a silence (hidden: 1 report/s)
SUSTAINED = 2.0  # seconds of music heard again: the music is back
# Pages: address path -> (player: "stream" or "song" in the document, "detached" for the stream
# played by an element the page made and never put into the document, as web players do, or
# "frame"; script run on each of its time updates; script run once at the start).
PAGES = {
    "/radio.html": ("stream", "", ""),
    "/player.html": ("stream", "", ""),  # the frame of /framed.html, from the other origin
    "/framed.html": ("frame", "", ""),
    "/song.html": ("song", "", ""),
    "/paused.html": ("stream", "if (el.currentTime >= 3) el.pause();", ""),
    "/detached.html": ("detached", "", ""),
    # The page's own player reconnects 3 s after its stream failed or ended.
    "/reconnect.html": ("stream", "", RECONNECT),
    # A second player, made as /detached.html makes its one, plays the side stream beside it.
    "/two.html": ("stream", "", SECOND_PLAYER),
}

PLAYER_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>{name}</title></head>
<body style="margin: 0; background: rgb(31, 79, 191)">
{tag}
<script>
(() => {{
  {player}
  const players = [el];
  {extra}
  let last = 0;
  function report() {{
    last = Date.now();
    const s = players.map(p => ({{id: p.id, at: last, t: p.currentTime, paused: p.paused,
                                  ended: p.ended, err: p.error ? p.error.code : 0,
                                  ready: p.readyState, finite: isFinite(p.duration),
                                  hidden: document.hidden}}));
    fetch("/report?page={name}&load={load}&s=" + encodeURIComponent(JSON.stringify(s)),
          {{cache: "no-store"}}).catch(() => {{}});
  }}
  setInterval(report, {period});
  // A hidden page's timers may be slowed down; the player's own events still come.
  for (const type of ["timeupdate", "playing", "pause", "ended", "error", "stalled"])
    el.addEventListener(type, () => {{
      if (type != "timeupdate") report();
      else {{ {then} if (Date.now() - last >= {period}) report(); }}
    }});
}})();
</script></body></html>
"""

IN_DOCUMENT = ('<audio id="player" src="{src}" autoplay></audio>',
               'const el = document.getElementById("player");')
DETACHED = ("", 'const el = new Audio("{src}"); el.id = "player"; el.play().catch(() => {{}});')

FRAME_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>{name}</title></head>
<body style="margin: 0; background: rgb(191, 111, 31)">
<iframe src="{src}" allow="autoplay" style="border: 0; width: 320px; height: 120px"></iframe>
</body></html>
"""

UNAVAILABLE = b"<!doctype html><title>503</title><p>Service Unavailable</p>"


def make_mp3(path, seconds):
    """A 440 Hz tone as bare MPEG-1 layer III frames at BIT_RATE (no tags, no header frame)."""
    h._ffmpeg(["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=%d" % seconds,
               "-c:a", "libmp3lame", "-b:a", "%dk" % (BIT_RATE // 1000), "-write_xing", "0",
               "-id3v2_version", "0"], path)
    with open(path, "rb") as f:
        return f.read()


def mp3_frames(data):
    """The frames of an MPEG-1 layer III file, each whole, so that a loop of them stays valid."""
    rates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    frames, pos = [], 0
    while pos + 4 <= len(data):
        b = data[pos:pos + 4]
        if b[0] != 0xFF or b[1] & 0xFE != 0xFA or b[2] >> 4 in (0, 15) or b[2] >> 2 & 3 == 3:
            raise RuntimeError("no MPEG-1 layer III frame at byte %d" % pos)
        size = 144 * rates[b[2] >> 4] * 1000 // (44100, 48000, 32000)[b[2] >> 2 & 3] \
            + (b[2] >> 1 & 1)
        frames.append(data[pos:pos + size])
        pos += size
    if len(frames) < 100:
        raise RuntimeError("the stream's tone has only %d frames" % len(frames))
    return frames


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        """A listener that goes away is no error."""
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)


class _Listener:
    """One origin: a threaded HTTP server on host, kept on its port when it comes back."""

    def __init__(self, host, handler):
        self.host, self.handler, self.port, self.httpd = host, handler, 0, None
        self.up()

    def up(self):
        self.httpd = _Server((self.host, self.port), self.handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def down(self):
        self.httpd.shutdown()
        self.httpd.server_close()

    def url(self, path):
        return "http://%s:%d%s" % (self.host, self.port, path)


class _Stream:
    """One listener's connection to the stream."""

    def __init__(self, connection, path, stalled):
        self.connection, self.path, self.stalled = connection, path, stalled

    def close(self):
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Radio:
    """The radio's three origins and its request log (harness.Request entries, with time.monotonic()
    arrival times; a page's request carries its load number, which its reports carry)."""

    def __init__(self, folder):
        self.frames = mp3_frames(make_mp3(os.path.join(folder, "live.mp3"), 10))
        self.song = make_mp3(os.path.join(folder, "song.mp3"), SONG_SECONDS)
        self.lock = threading.Lock()
        self.requests, self.loads, self.streams = [], 0, set()
        self.stall_until = {}  # stream path, or None for all -> until when new ones stall
        self.page_down_until = 0.0
        self.closed = False
        self.read, self.earlier, self.heard_so_far = 0, {}, []  # what heard() has read
        handler = self._handler()
        self.site = _Listener("127.0.0.1", handler)
        self.frame_site = _Listener("127.0.0.2", handler)
        self.stream_site = _Listener("127.0.0.1", handler)

    def url(self, page):
        return self.site.url(page)

    # ---- faults ----

    def drop(self):
        """Every open connection to the stream is closed now (the server restarts, the network
        drops); new ones are served."""
        with self.lock:
            streams = list(self.streams)
        for stream in streams:
            stream.close()

    def stall(self, seconds=0.0, path=None):
        """The open stream connections stay open and get nothing more, for good; so do the ones
        opened in the next seconds (math.inf: until lift()). With path (STREAM or SIDE), only
        that stream's. Returns how many open connections it stalled."""
        with self.lock:
            self.stall_until[path] = time.monotonic() + seconds
            stalled = [s for s in self.streams if path in (None, s.path)]
            for stream in stalled:
                stream.stalled = True
            return len(stalled)

    def lift(self):
        """New stream connections get data again (the stalled ones stay silent)."""
        with self.lock:
            self.stall_until.clear()

    def refuse(self, seconds):
        """The stream's open connections are closed and its port refuses connections for
        seconds, then takes them again."""
        self.stream_site.down()
        self.drop()
        timer = threading.Timer(seconds, lambda: self.closed or self.stream_site.up())
        timer.daemon = True
        timer.start()

    def page_down(self, seconds):
        """The pages are answered with 503 for seconds (the stream is not)."""
        with self.lock:
            self.page_down_until = time.monotonic() + seconds

    # ---- what the pages reported ----

    def log(self, paths=None, since=0.0):
        with self.lock:
            return [r for r in self.requests
                    if r.when >= since and (paths is None or r.path in paths)]

    def heard(self, since=0.0):
        """[(arrival time, whether the music plays, the player's state)] from the reports: it
        plays when it is neither paused nor ended and its time moved since the page's report of
        at least 0.25 s before (by the page's clock, within 10 s) by at least half the time
        between them. A report closer than that to the page's previous ones tells nothing."""
        with self.lock:
            new, self.read = self.requests[self.read:], len(self.requests)
        for report in (r for r in new if r.path == "/report"):
            for state in json.loads(report.query.get("s", "[]")):
                reports = self.earlier.setdefault((report.query.get("load"), state["id"]), [])
                before = next((s for s in reversed(reports) if state["at"] - s["at"] >= 250),
                              None)
                reports.append(state)
                del reports[:-20]
                if len(reports) > 1 and before is None:
                    continue
                playing = before is not None and not state["paused"] and not state["ended"] \
                    and state["at"] - before["at"] <= 10000 \
                    and state["t"] - before["t"] >= 0.0005 * (state["at"] - before["at"])
                self.heard_so_far.append((report.when, playing, state))
        return self.heard_so_far[bisect.bisect_left(self.heard_so_far, (since,)):]

    def wait_playing(self, since, timeout):
        """When the music was first heard playing after since, or None."""
        return self._wait(lambda heard: next((w for w, p, _ in heard if p), None), since, timeout)

    def back(self, since, until):
        """When the music began to play again after a silence, between since and until: the
        start of a run of playing reports that lasted SUSTAINED seconds (the rest of a buffer
        played right after a fault, or a hiccup, is not music back). None when it did not."""
        for start, end in runs(self.heard(since - 10.0)):
            if since < start <= until and end - start >= SUSTAINED:
                return start
        return None

    def wait_back(self, since, timeout):
        """back() within timeout of since, waited for."""
        deadline = since + timeout + SUSTAINED + 1.0
        while True:
            when = self.back(since, since + timeout)
            if when is not None or time.monotonic() >= deadline:
                return when
            time.sleep(0.1)

    def _wait(self, found, since, timeout):
        deadline = time.monotonic() + timeout
        while True:
            when = found(self.heard(since))
            if when is not None or time.monotonic() >= deadline:
                return when
            time.sleep(0.1)

    def close(self):
        self.closed = True
        for site in (self.site, self.frame_site, self.stream_site):
            site.down()
        self.drop()

    # ---- serving ----

    def _handler(self):
        radio = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                with radio.lock:
                    entry = h.Request(time.monotonic(), url.path,
                                      dict(urllib.parse.parse_qsl(url.query)))
                    radio.requests.append(entry)
                    down = entry.when < radio.page_down_until
                    if url.path in PAGES and not down:
                        radio.loads += 1
                        entry.load = radio.loads
                if url.path in (STREAM, SIDE):
                    self._stream(url.path)
                elif url.path in PAGES and down:
                    self._send(503, "text/html", UNAVAILABLE, [("Retry-After", "20")])
                elif url.path in PAGES:
                    self._send(200, "text/html; charset=utf-8", self._page(url.path, entry.load))
                elif url.path == SONG:
                    self._send(200, "audio/mpeg", radio.song)
                elif url.path == "/report":
                    self._send(204, None, b"")
                else:
                    self._send(404, "text/plain", b"not found")

            def _page(self, path, load):
                name = path.strip("/").removesuffix(".html")
                kind, then, extra = PAGES[path]
                if kind == "frame":
                    return FRAME_PAGE.format(name=name, src=radio.frame_site.url(
                        "/player.html")).encode()
                src = SONG if kind == "song" else radio.stream_site.url(STREAM)
                tag, player = DETACHED if kind == "detached" else IN_DOCUMENT
                return PLAYER_PAGE.format(
                    name=name, load=load, then=then, period=int(REPORT_PERIOD * 1000),
                    tag=tag.format(src=src), player=player.format(src=src),
                    extra=extra.format(side=radio.stream_site.url(SIDE))).encode()

            def _send(self, status, ctype, body, extra=()):
                h.send(self, status, ctype, body, extra)

            def _stream(self, path):
                """As a radio server answers: no length, the bytes paced by wall time until the
                listener or a fault closes the connection."""
                self.close_connection = True
                with radio.lock:
                    until = max(radio.stall_until.get(None, 0.0), radio.stall_until.get(path, 0.0))
                    stream = _Stream(self.connection, path, time.monotonic() < until)
                    radio.streams.add(stream)
                try:
                    self.send_response(200)
                    self.send_header("Content-Type", "audio/mpeg")
                    self.send_header("Cache-Control", "no-cache, no-store")
                    self.send_header("Connection", "close")
                    self.end_headers()
                    start, sent, frame = time.monotonic(), 0, 0
                    while not radio.closed:
                        if stream.stalled:
                            # Held open until the listener goes away.
                            readable, _, _ = select.select([self.connection], [], [], 0.5)
                            if readable and not self.connection.recv(1, socket.MSG_PEEK):
                                break
                        else:
                            due = (BURST_SECONDS + time.monotonic() - start) * BIT_RATE / 8
                            chunk = []
                            while sent < due:
                                chunk.append(radio.frames[frame])
                                sent += len(chunk[-1])
                                frame = (frame + 1) % len(radio.frames)
                            self.wfile.write(b"".join(chunk))
                        time.sleep(0.05)
                except OSError:
                    pass
                finally:
                    with radio.lock:
                        radio.streams.discard(stream)

        return Handler


def runs(heard):
    """The spans in which the music played: [(first, last report that heard it)], a span ending
    where no report heard it for longer than GAP seconds."""
    spans = []
    for when, playing, _ in heard:
        if playing:
            if spans and when - spans[-1][1] <= GAP:
                spans[-1][1] = when
            else:
                spans.append([when, when])
    return spans


def silences(heard, end):
    """The spans without music between the first time it was heard and end: [(start, end)], each
    from the last report that heard it to the next one that heard it again (math.inf when none
    did by end)."""
    played = runs(heard)
    spans = [(a[1], b[0]) for a, b in zip(played, played[1:])]
    if played and end - played[-1][1] > GAP:
        spans.append((played[-1][1], math.inf))
    return spans
