"""What the Linux end-to-end test and the start-up benchmark share: a loopback web server with
test pages and a short video, X helpers (window mapping, closing, screenshots), and process
helpers (the program's web process, its memory and CPU time).

Runs on /usr/bin/python3 (the system interpreter with gi); needs xdotool, ImageMagick's import and
gst-launch-1.0 on PATH, and DISPLAY set.
"""
import ctypes
import ctypes.util
import http.server
import os
import select
import signal
import subprocess
import threading
import time
import urllib.parse

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


class Request:
    def __init__(self, when, path, query):
        self.when, self.path, self.query = when, path, query
        self.load = None  # for a test page: its serial number, which its reports carry

    def __repr__(self):
        return "%.2f %s %s%s" % (self.when, self.path, self.query,
                                 " load %d" % self.load if self.load else "")


class PageServer:
    """A loopback HTTP server that logs every request with its arrival time (time.monotonic())."""

    def __init__(self, video_path):
        self.video = open(video_path, "rb").read()
        self.requests = []
        self.lock = threading.Lock()
        self.loads = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                query = dict(urllib.parse.parse_qsl(url.query))
                entry = server._log(url.path, query)
                name = url.path.strip("/").removesuffix(".html")
                if name in PAGES:
                    with server.lock:
                        server.loads += 1
                        load = entry.load = server.loads
                    page = PAGES[name]
                    body = PAGE_TEMPLATE.format(
                        name=name, load=load, background=css(page["background"]),
                        link=css(page["link"]), href=page["href"], lw=LINK_WIDTH, lh=LINK_HEIGHT)
                    self._send(200, "text/html; charset=utf-8", body.encode())
                elif url.path == "/static.html":
                    self._send(200, "text/html; charset=utf-8", STATIC_PAGE.encode())
                elif url.path == "/clip.webm":
                    self._send_video()
                elif url.path in ("/report", "/painted"):
                    self._send(204, None, b"")
                else:
                    self._send(404, "text/plain", b"not found")

            def _send(self, status, ctype, body, extra=()):
                self.send_response(status)
                if ctype:
                    self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                for key, value in extra:
                    self.send_header(key, value)
                self.end_headers()
                try:
                    self.wfile.write(body)
                except (BrokenPipeError, ConnectionResetError):
                    pass

            def _send_video(self):
                data, size = server.video, len(server.video)
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
                    self._send(206, "video/webm", data[start:end + 1],
                               [("Content-Range", "bytes %d-%d/%d" % (start, end, size)),
                                ("Accept-Ranges", "bytes")])
                else:
                    self._send(200, "video/webm", data, [("Accept-Ranges", "bytes")])

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

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

# Xlib's default error handler ends the process; a window can vanish between its MapNotify and
# our question for its name, so errors are only noted.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
_x11.XSetErrorHandler.restype = ctypes.c_void_p
_ignore_x_errors = _ERROR_HANDLER(lambda display, event: 0)
_x11.XSetErrorHandler(_ignore_x_errors)

_MAP_NOTIFY, _CLIENT_MESSAGE = 19, 33
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


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

    def watch_maps(self):
        """From now on, note the top-level windows that get mapped (no window manager: they are
        children of the root window)."""
        _x11.XSelectInput(self.dpy, self.root, _SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XFlush(self.dpy)

    def wait_for_map(self, title, timeout):
        """Waits for the mapping of a top-level window named `title`; returns (window id, the
        monotonic time its MapNotify was read) or None. watch_maps() must come first."""
        deadline = time.monotonic() + timeout
        fd = _x11.XConnectionNumber(self.dpy)
        event = _XEvent()
        while True:
            while _x11.XPending(self.dpy):
                _x11.XNextEvent(self.dpy, ctypes.byref(event))
                seen = time.monotonic()
                if event.type == _MAP_NOTIFY:
                    mapped = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_XMapEvent)).contents
                    if not mapped.override_redirect and self.window_name(mapped.window) == title:
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
    """The whole screen, read from `import -window root` as a PPM."""

    def __init__(self, save_as=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              capture_output=True, check=True, timeout=30).stdout
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
