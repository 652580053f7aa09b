"""What the Linux end-to-end test and the benchmarks share: a loopback web server with test pages,
a short video and the media of the formats sites serve (made at test time with ffmpeg), X helpers
(window mapping, closing, screenshots), and process helpers (the program's web process, its memory
and CPU time).

Runs on /usr/bin/python3 (the system interpreter with gi); needs xdotool, ImageMagick's import,
gst-launch-1.0 and ffmpeg on PATH, and DISPLAY set.
"""
import ctypes
import ctypes.util
import http.server
import json
import os
import select
import signal
import socket
import subprocess
import threading
import time
import urllib.parse

# The fonts the program draws with in the tests, the same on every machine (see there).
FONTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fonts.conf")


def main_caption(program):
    """The main window's caption of PROGRAM, from the version the build configured beside it
    (generated/version.env): the one place the tests and benchmarks learn the title they wait
    for."""
    env = os.path.join(os.path.dirname(os.path.abspath(program)), "generated", "version.env")
    with open(env, encoding="utf-8") as f:
        for line in f:
            if line.startswith("REPRISA_VERSION_SHORT="):
                return "Velmora Reprisa " + line.split("=", 1)[1].strip()
    raise RuntimeError("no REPRISA_VERSION_SHORT in " + env)


def scratch_env(folder):
    """The environment for a program run of the tests' own: its configuration, data, cache and
    home folders made under folder (nothing reaches the user's), the C locale (a locale whose
    time separator is '.' would refuse the "00:05" the tests type) and the fonts of FONTS_CONF
    as the desktop's (the window's exact widths follow from them)."""
    env = dict(os.environ)
    for var, sub in (("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                     ("XDG_CACHE_HOME", "cache"), ("HOME", "home")):
        env[var] = os.path.join(folder, sub)
        os.makedirs(env[var], exist_ok=True)
    env.pop("LANGUAGE", None)
    env.update(LC_ALL="C.UTF-8", LANG="C.UTF-8", FONTCONFIG_FILE=os.path.abspath(FONTS_CONF))
    gtk = os.path.join(env["XDG_CONFIG_HOME"], "gtk-3.0")
    os.makedirs(gtk, exist_ok=True)
    with open(os.path.join(gtk, "settings.ini"), "w", encoding="utf-8") as f:
        f.write("[Settings]\ngtk-font-name=DejaVu Sans 10\n")
    return env


def placement_file(env, program):
    """Where PROGRAM keeps its window placement: a key file named after the executable."""
    name = os.path.splitext(os.path.basename(program))[0]
    return os.path.join(env["XDG_CONFIG_HOME"], "reprisa", name + ".ini")


def launch(argv, env, output=subprocess.DEVNULL, cwd=None):
    """Starts a program with its standard output and errors to output."""
    return subprocess.Popen(argv, env=env, stdout=output, stderr=subprocess.STDOUT, cwd=cwd)


def start_program(display, argv, env, title, timeout, output=subprocess.DEVNULL, cwd=None):
    """Starts a program and waits for the mapping of its window named title; returns (process,
    window id, seconds from the start to the MapNotify). When no window came in time, the
    program is ended and RuntimeError raised."""
    display.watch_maps()
    started = time.monotonic()
    process = launch(argv, env, output, cwd)
    mapped = display.wait_for_map(title, timeout)
    if mapped is None:
        code = stop(process)
        raise RuntimeError("no window %r appeared within %.0f s (%s ended with %s)"
                           % (title, timeout, os.path.basename(argv[0]), code))
    return process, mapped[0], mapped[1] - started

# Colours of the test pages, as (r, g, b); the screenshot checks look for them.
PAGES = {
    "index": {"background": (31, 79, 191), "link": (47, 191, 79), "href": "/second.html"},
    "second": {"background": (191, 111, 31), "link": (47, 191, 79), "href": "/index.html"},
}
# The link box sits in the bottom right corner of the page, whatever the window's size.
LINK_WIDTH, LINK_HEIGHT = 240, 120

PAGE_TEMPLATE = """<!doctype html>
<html><head><meta charset="utf-8"><title>{name}</title>
<style>
html, body {{ margin: 0; height: 100%; overflow: hidden; background: {background}; }}
video {{ position: absolute; left: 0; top: 0; width: 320px; height: 240px; }}
#link {{ position: fixed; right: 0; bottom: 0; width: {lw}px; height: {lh}px;
         background: {link}; display: block; }}
</style></head>
<body>
<video id="clip" src="/clip.webm" autoplay loop></video>
<a id="link" href="{href}"></a>
<script>
const clip = document.getElementById("clip");
function report() {{
  fetch("/report?page={name}&load={load}&t=" + clip.currentTime + "&paused=" + clip.paused,
        {{cache: "no-store"}}).catch(() => {{}});
}}
setInterval(report, 500);
addEventListener("load", () => requestAnimationFrame(() => requestAnimationFrame(
    () => fetch("/painted?page={name}&load={load}", {{cache: "no-store"}}).catch(() => {{}}))));
</script>
</body></html>
"""

# A page without media or timers, for the benchmark's first paint and the idle CPU figure.
STATIC_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>static</title>
<style>html, body { margin: 0; height: 100%; background: rgb(31, 79, 191); }</style></head>
<body><p>Reprisa</p>
<script>
addEventListener("load", () => requestAnimationFrame(() => requestAnimationFrame(
    () => fetch("/painted?page=static", {cache: "no-store"}).catch(() => {}))));
</script></body></html>
"""


# A page of media elements that start by themselves with their sound on. Twice a second it
# reports each element's state as JSON in the query's "s": id, t (currentTime), paused, err
# (error code, 0 for none; a text when the page's own MSE feeder failed), muted, volume, audio
# (audio tracks), frames (decoded video frames), level (the loudest sample of its sound since the
# last report, 0..1; a text when the page could not listen).
MEDIA_PAGE_TEMPLATE = """<!doctype html>
<html><head><meta charset="utf-8"><title>{name}</title>
<style>html, body {{ margin: 0; background: rgb(31, 79, 191); }}
video {{ width: 160px; height: 120px; }}</style></head>
<body>
{elements}
<script>
const mseType = '{mse_type}';
const mseSegments = {segments};
const feedErrors = {{}};
async function feed(el) {{
  if (!window.MediaSource || !MediaSource.isTypeSupported(mseType)) {{
    feedErrors[el.id] = "type not supported";
    return;
  }}
  const source = new MediaSource();
  el.src = URL.createObjectURL(source);
  await new Promise(resolve => source.addEventListener("sourceopen", resolve, {{once: true}}));
  try {{
    const buffer = source.addSourceBuffer(mseType);
    for (const path of mseSegments) {{
      const data = await (await fetch(path, {{cache: "no-store"}})).arrayBuffer();
      buffer.appendBuffer(data);
      await new Promise((resolve, reject) => {{
        buffer.addEventListener("updateend", resolve, {{once: true}});
        buffer.addEventListener("error", () => reject(new Error("append failed")), {{once: true}});
      }});
    }}
    source.endOfStream();
  }} catch (e) {{
    feedErrors[el.id] = String(e && e.message || e);
  }}
}}
const media = Array.from(document.querySelectorAll("video, audio"));
for (const el of media) if (el.dataset.mse) feed(el);
// The sound each element plays, taken between the element and the loudspeaker: the loudest
// sample since the last report.
const levels = {{}};
if ({listen}) try {{
  const audio = new AudioContext();
  for (const el of media) {{
    const analyser = audio.createAnalyser();
    analyser.fftSize = 2048;
    audio.createMediaElementSource(el).connect(analyser);
    analyser.connect(audio.destination);
    const samples = new Float32Array(analyser.fftSize);
    levels[el.id] = 0;
    setInterval(() => {{
      analyser.getFloatTimeDomainData(samples);
      for (const v of samples) levels[el.id] = Math.max(levels[el.id], Math.abs(v));
    }}, 40);
  }}
}} catch (e) {{
  for (const el of media) levels[el.id] = String(e);
}}
function state(el) {{
  const quality = el.getVideoPlaybackQuality ? el.getVideoPlaybackQuality() : null;
  return {{id: el.id, t: el.currentTime, paused: el.paused,
          err: feedErrors[el.id] || (el.error ? el.error.code : 0), muted: el.muted,
          volume: el.volume, audio: el.audioTracks ? el.audioTracks.length : -1,
          frames: quality ? quality.totalVideoFrames : 0,
          level: levels[el.id]}};
}}
function report() {{
  const s = encodeURIComponent(JSON.stringify(media.map(state)));
  for (const id in levels) if (typeof levels[id] === "number") levels[id] = 0;
  fetch("/report?page={name}&load={load}&s=" + s, {{cache: "no-store"}}).catch(() => {{}});
}}
setInterval(report, 500);
addEventListener("load", () => requestAnimationFrame(() => requestAnimationFrame(
    () => fetch("/painted?page={name}&load={load}", {{cache: "no-store"}}).catch(() => {{}}))));
</script>
</body></html>
"""


def media_page(name, elements, files, loop=False, listen=True):
    """A page function for PageServer: elements are (id, "video" or "audio", address path, or
    "mse" for the stream the page feeds itself from the MSE segments in files). With listen, the
    page takes each element's sound through an analyser on its way out."""
    tags = []
    for element_id, tag, src in elements:
        source = 'data-mse="1"' if src == "mse" else 'src="%s"' % src
        tags.append('<%s id="%s" %s autoplay%s></%s>'
                    % (tag, element_id, source, " loop" if loop else "", tag))

    def page(load):
        return MEDIA_PAGE_TEMPLATE.format(
            name=name, load=load, elements="\n".join(tags), mse_type=MSE_TYPE,
            listen="true" if listen else "false",
            segments=json.dumps(["/mse/init.mp4"] + mse_segments(files)))
    return page


def media_states(report):
    """The element states of one report of a media page, by id."""
    return {e["id"]: e for e in json.loads(report.query.get("s", "[]"))}

def css(rgb):
    return "rgb(%d, %d, %d)" % rgb


def make_video(path):
    """A 12 s VP8/Opus WebM of a moving ball and a quiet tone (about 160 KB)."""
    subprocess.run(
        ["gst-launch-1.0", "-q",
         "videotestsrc", "num-buffers=180", "pattern=ball", "!",
         "video/x-raw,width=320,height=240,framerate=15/1", "!", "vp8enc", "deadline=1", "!",
         "webmmux", "name=mux", "!", "filesink", "location=" + path,
         "audiotestsrc", "num-buffers=565", "samplesperbuffer=1024", "volume=0.2", "!",
         "audio/x-raw,rate=48000", "!", "audioconvert", "!", "opusenc", "!", "mux."],
        check=True, timeout=60)
    if os.path.getsize(path) < 10000:
        raise RuntimeError("the test video came out too small: %s" % path)


# ---- media of the formats sites serve, made with ffmpeg ----

MEDIA_SECONDS = 12
_VIDEO_IN = ["-f", "lavfi", "-i", "testsrc2=size=320x240:rate=15:duration=%d" % MEDIA_SECONDS]
_TONE_IN = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=%d" % MEDIA_SECONDS]
_H264 = ["-c:v", "libx264", "-profile:v", "baseline", "-level", "3.0", "-pix_fmt", "yuv420p",
         "-preset", "veryfast", "-g", "30"]
_AAC = ["-c:a", "aac", "-b:a", "96k"]
# (file name, MIME type, ffmpeg arguments between the inputs and the output)
MEDIA_FILES = [
    ("clip.mp4", "video/mp4", _VIDEO_IN + _TONE_IN + _H264 + _AAC + ["-movflags", "+faststart"]),
    ("tone.m4a", "audio/mp4", _TONE_IN + _AAC),
    ("tone.mp3", "audio/mpeg", _TONE_IN + ["-c:a", "libmp3lame", "-b:a", "96k"]),
    ("clip-vp9.webm", "video/webm", _VIDEO_IN + _TONE_IN +
     ["-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "300k",
      "-c:a", "libopus", "-b:a", "64k"]),
]
# The stream a page's own script feeds through Media Source Extensions: H.264/AAC in fragmented
# MP4, an initialisation segment and 2 s media segments, as an HLS or DASH player fetches them.
MSE_TYPE = 'video/mp4; codecs="avc1.42E01E, mp4a.40.2"'
MSE_FOLDER = "mse"


def _ffmpeg(args, output):
    subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args, output], check=True,
                   timeout=120)


def make_media(folder):
    """Writes the media into folder; returns {address path: (MIME type, file path)}, with the MSE
    segments in order under /mse/ (init.mp4 first, then seg0.m4s, seg1.m4s, ...)."""
    files = {}
    for name, mime, args in MEDIA_FILES:
        path = os.path.join(folder, name)
        _ffmpeg(args, path)
        files["/" + name] = (mime, path)
    mse = os.path.join(folder, MSE_FOLDER)
    os.makedirs(mse, exist_ok=True)
    _ffmpeg(_VIDEO_IN + _TONE_IN + _H264 + _AAC +
            ["-f", "hls", "-hls_segment_type", "fmp4", "-hls_time", "2", "-hls_list_size", "0",
             "-hls_fmp4_init_filename", "init.mp4",
             "-hls_segment_filename", os.path.join(mse, "seg%d.m4s")],
            os.path.join(mse, "index.m3u8"))
    segments = sorted((n for n in os.listdir(mse) if n.endswith(".m4s")),
                      key=lambda n: int(n[3:-4]))
    if len(segments) < 3:
        raise RuntimeError("ffmpeg wrote %d MSE segments, expected at least 3" % len(segments))
    files["/mse/init.mp4"] = ("video/mp4", os.path.join(mse, "init.mp4"))
    for n in segments:
        files["/mse/" + n] = ("video/iso.segment", os.path.join(mse, n))
    for path, (_, file) in files.items():
        if os.path.getsize(file) < 1000:
            raise RuntimeError("the test medium %s came out too small" % file)
    return files


def mse_segments(files):
    return [p for p in files if p.startswith("/mse/seg")]


def send(handler, status, ctype, body, extra=()):
    """Answers a test server's request with body, never from a cache; a listener that went away
    meanwhile is no error of the server's."""
    handler.send_response(status)
    if ctype:
        handler.send_header("Content-Type", ctype)
    handler.send_header("Content-Length", str(len(body)))
    handler.send_header("Cache-Control", "no-store")
    for key, value in extra:
        handler.send_header(key, value)
    handler.end_headers()
    try:
        handler.wfile.write(body)
    except OSError:
        pass


class Request:
    def __init__(self, when, path, query):
        self.when, self.path, self.query = when, path, query
        self.load = None  # for a test page: its serial number, which its reports carry

    def __repr__(self):
        return "%.2f %s %s%s" % (self.when, self.path, self.query,
                                 " load %d" % self.load if self.load else "")


class PageServer:
    """A loopback HTTP server that logs every request with its arrival time (time.monotonic())."""

    def __init__(self, video_path, files=None, pages=None):
        """files: {address path: (MIME type, file path)} served with byte ranges; pages: {address
        path: function(load number) -> HTML}, pages whose requests are counted as loads like the
        test pages'."""
        self.video = open(video_path, "rb").read()
        self.files = {path: (mime, open(file, "rb").read())
                      for path, (mime, file) in (files or {}).items()}
        self.pages = dict(pages or {})
        self.requests = []
        self.lock = threading.Lock()
        self.loads = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def setup(self):
                super().setup()
                with server.lock:
                    server.connections.add(self.connection)

            def finish(self):
                super().finish()
                with server.lock:
                    server.connections.discard(self.connection)

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                query = dict(urllib.parse.parse_qsl(url.query))
                entry = server._log(url.path, query)
                name = url.path.strip("/").removesuffix(".html")
                if name in PAGES or url.path in server.pages:
                    with server.lock:
                        server.loads += 1
                        load = entry.load = server.loads
                    if url.path in server.pages:
                        body = server.pages[url.path](load)
                    else:
                        page = PAGES[name]
                        body = PAGE_TEMPLATE.format(
                            name=name, load=load, background=css(page["background"]),
                            link=css(page["link"]), href=page["href"], lw=LINK_WIDTH,
                            lh=LINK_HEIGHT)
                    self._send(200, "text/html; charset=utf-8", body.encode())
                elif url.path == "/static.html":
                    self._send(200, "text/html; charset=utf-8", STATIC_PAGE.encode())
                elif url.path == "/clip.webm":
                    self._send_file("video/webm", server.video)
                elif url.path in server.files:
                    self._send_file(*server.files[url.path])
                elif url.path in ("/report", "/painted"):
                    self._send(204, None, b"")
                else:
                    self._send(404, "text/plain", b"not found")

            def _send(self, status, ctype, body, extra=()):
                send(self, status, ctype, body, extra)

            def _send_file(self, mime, data):
                size = len(data)
                byte_range = self.headers.get("Range", "")
                if byte_range.startswith("bytes="):
                    first, _, last = byte_range[6:].split(",")[0].partition("-")
                    if first:
                        start, end = int(first), int(last) if last else size - 1
                    else:
                        start, end = size - int(last), size - 1
                    if start >= size:
                        self._send(416, "text/plain", b"", [("Content-Range", "bytes */%d" % size)])
                        return
                    end = min(end, size - 1)
                    self._send(206, mime, data[start:end + 1],
                               [("Content-Range", "bytes %d-%d/%d" % (start, end, size)),
                                ("Accept-Ranges", "bytes")])
                else:
                    self._send(200, mime, data, [("Accept-Ranges", "bytes")])

        self.connections = set()
        self.handler = Handler
        self.port = 0
        self._listen()

    def _listen(self):
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), self.handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def go_down(self):
        """The site goes away: connections to its port are refused, and those open are cut."""
        self.httpd.shutdown()
        self.httpd.server_close()
        with self.lock:
            for connection in list(self.connections):
                try:
                    connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def come_back(self):
        """The site is back on the same port."""
        self._listen()

    def add_pages(self, pages):
        with self.lock:
            self.pages.update(pages)

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def _log(self, path, query):
        with self.lock:
            entry = Request(time.monotonic(), path, query)
            self.requests.append(entry)
            return entry

    def log(self, paths=None, since=0.0):
        with self.lock:
            return [r for r in self.requests
                    if r.when >= since and (paths is None or r.path in paths)]

    def wait_for(self, paths, count=1, since=0.0, timeout=10.0):
        """The first `count` requests for one of `paths` after `since`; fewer when time ran out."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.log(paths, since)
            if len(found) >= count or time.monotonic() >= deadline:
                return found[:count]
            time.sleep(0.02)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# ---- X11 through Xlib (ctypes: no Python binding for X is installed here) ----

_x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_void_p)]

# Xlib's default error handler ends the process; a window can vanish between its MapNotify and
# our question for its name, so errors are only noted.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
_x11.XSetErrorHandler.restype = ctypes.c_void_p
_ignore_x_errors = _ERROR_HANDLER(lambda display, event: 0)
_x11.XSetErrorHandler(_ignore_x_errors)

_MAP_NOTIFY, _CLIENT_MESSAGE = 19, 33
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_ANY_PROPERTY_TYPE = 0


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class _XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class Display:
    """One connection to the X server of DISPLAY."""

    def __init__(self):
        self.dpy = _x11.XOpenDisplay(None)
        if not self.dpy:
            raise RuntimeError("cannot open the X display %r" % os.environ.get("DISPLAY"))
        self.root = _x11.XDefaultRootWindow(self.dpy)
        self.size = (_x11.XDisplayWidth(self.dpy, 0), _x11.XDisplayHeight(self.dpy, 0))

    def close(self):
        if self.dpy:
            _x11.XCloseDisplay(self.dpy)
            self.dpy = None

    def window_name(self, window):
        name = ctypes.c_char_p()
        if _x11.XFetchName(self.dpy, window, ctypes.byref(name)) and name.value is not None:
            value = name.value.decode("utf-8", "replace")
            _x11.XFree(name)
            return value
        return None

    def window_property(self, window, name):
        """The raw bytes (format 8) or the list of longs (format 32) of a property, or None."""
        atom = _x11.XInternAtom(self.dpy, name, 0)
        actual_type, actual_format = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        status = _x11.XGetWindowProperty(self.dpy, window, atom, 0, 1024, 0, _ANY_PROPERTY_TYPE,
                                         ctypes.byref(actual_type), ctypes.byref(actual_format),
                                         ctypes.byref(count), ctypes.byref(after),
                                         ctypes.byref(data))
        if status != 0 or not data.value:
            return None
        try:
            if actual_format.value == 8:
                return ctypes.string_at(data.value, count.value)
            if actual_format.value == 32:
                return list((ctypes.c_long * count.value).from_address(data.value))
            return None
        finally:
            _x11.XFree(data)

    def watch_maps(self):
        """From now on, note the top-level windows that get mapped (no window manager: they are
        children of the root window)."""
        _x11.XSelectInput(self.dpy, self.root, _SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XFlush(self.dpy)

    def wait_for_map(self, title, timeout):
        """Waits for the mapping of a top-level window named `title`; returns (window id, the
        monotonic time its MapNotify was read) or None. watch_maps() must come first."""
        return self.wait_for_window(lambda window: self.window_name(window) == title, timeout)

    def wait_for_window(self, match, timeout):
        """Waits for the mapping of a top-level window for which match(window id) is true; returns
        (window id, the monotonic time its MapNotify was read) or None. watch_maps() must come
        first."""
        deadline = time.monotonic() + timeout
        fd = _x11.XConnectionNumber(self.dpy)
        event = _XEvent()
        while True:
            while _x11.XPending(self.dpy):
                _x11.XNextEvent(self.dpy, ctypes.byref(event))
                seen = time.monotonic()
                if event.type == _MAP_NOTIFY:
                    mapped = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_XMapEvent)).contents
                    if not mapped.override_redirect and match(mapped.window):
                        return mapped.window, seen
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([fd], [], [], min(left, 0.1))

    def request_close(self, window):
        """What a window manager sends when the user clicks the close box: WM_DELETE_WINDOW."""
        message = _XClientMessageEvent()
        message.type = _CLIENT_MESSAGE
        message.window = window
        message.message_type = _x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        message.format = 32
        message.data[0] = _x11.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        message.data[1] = 0  # CurrentTime
        if not _x11.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(message)):
            raise RuntimeError("XSendEvent failed for window %#x" % window)
        _x11.XFlush(self.dpy)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                            timeout=20)
    if check and result.returncode != 0:
        raise RuntimeError("xdotool %s failed: %s" % (" ".join(map(str, args)),
                                                      result.stderr.strip()))
    return result.stdout


def window_geometry(window):
    """(x, y, width, height) of a window, from xdotool."""
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value)
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


class Screenshot:
    """The whole screen, read from `import -window root` as a PPM, or from a PNG file that
    another tool took."""

    def __init__(self, save_as=None, png=None):
        if png is None:
            command = ["import", "-window", "root", "-depth", "8", "ppm:-"]
        else:
            command = ["convert", "png:" + png, "-depth", "8", "ppm:-"]
        data = subprocess.run(command, capture_output=True, check=True, timeout=30).stdout
        fields, pos = [], 0
        while len(fields) < 4:  # P6, width, height, maximum value; comments are not written
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise RuntimeError("unexpected screenshot format %r" % fields)
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]
        if save_as:
            subprocess.run(["convert", "ppm:-", save_as], input=data, check=False, timeout=30)

    def find(self, colour, step=4, tolerance=10):
        """Every step-th pixel of every step-th row close to colour: (how many, their bounding
        box as (left, top, right, bottom) or None)."""
        count, box = 0, None
        for y in range(0, self.height, step):
            row = 3 * y * self.width
            for x in range(0, self.width, step):
                o = row + 3 * x
                if close_to(self.pixels[o:o + 3], colour, tolerance):
                    count += 1
                    box = (x, y, x, y) if box is None else \
                        (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
        return count, box

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise ValueError("pixel %d,%d is off the %dx%d screen" % (x, y, self.width, self.height))
        offset = 3 * (y * self.width + x)
        return tuple(self.pixels[offset:offset + 3])


def close_to(rgb, expected, tolerance=10):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, expected))


# ---- processes ----

def _stat_fields(pid):
    with open("/proc/%d/stat" % pid) as f:
        text = f.read()
    # The name in brackets may hold spaces; everything after the last ')' is space-separated.
    return text[text.rindex(")") + 2:].split()


def process_name(pid):
    try:
        with open("/proc/%d/comm" % pid) as f:
            return f.read().strip()
    except OSError:
        return None


def descendants(pid):
    """All living processes below pid (the web and network processes, and the sandbox's own)."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                parent = int(_stat_fields(int(entry))[1])
            except (OSError, ValueError, IndexError):
                continue
            children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def web_processes(pid):
    # /proc/<pid>/comm holds the first 15 bytes of the name: "WebKitWebProces".
    return [p for p in descendants(pid) if (process_name(p) or "").startswith("WebKitWebProces")]


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def _rollup_kib(pid, keys):
    total = 0
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                key, _, value = line.partition(":")
                if key in keys:
                    total += int(value.split()[0])
    except OSError:
        pass
    return total


def proportional_kib(pid):
    """Proportional set size: the process's own pages and its share of the pages it shares with
    other processes (which moves when those start or end)."""
    return _rollup_kib(pid, ("Pss",))


def private_kib(pid):
    """Unique set size: the pages only this process uses (what ending it would free)."""
    return _rollup_kib(pid, ("Private_Clean", "Private_Dirty"))


def anonymous_kib(pid):
    """Anonymous memory, resident or swapped out: the heap, unlike PSS not moved by other
    programs mapping the same libraries."""
    return _rollup_kib(pid, ("Anonymous", "Swap"))


def cpu_seconds(pid):
    fields = _stat_fields(pid)
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def stop(process, timeout=5.0):
    """Ends a program we started (SIGTERM, then SIGKILL) and returns its exit code."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode
