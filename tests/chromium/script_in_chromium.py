"""The page script that the Windows web view adds to every page, run in headless Chromium (the
engine of that family that runs here) against the loopback radio (tests/gtk/e2e/radio.py).

A prelude stands in for the web view's channel: window.chrome.webview.postMessage hands the texts
the script posts to a binding of the DevTools protocol (anything but a text arrives as a text the
rule's reader refuses). Every message, with its arrival time, the page's load and a tick every
second go live into media_replay (the core's rule, as the program feeds it), and what the rule
decides is checked against each case of TABLE. In the same browser, a page checks that synthetic
events post nothing and that the page behaves as without the script.

    /usr/bin/python3 script_in_chromium.py MEDIA_REPLAY [ARTIFACT_FOLDER]

Each case's lines for media_replay and its answers are written to ARTIFACT_FOLDER (a re-run
offline: media_replay < CASE.lines). Chromium is driven over its DevTools protocol on a
pipe (fds 3 and 4, NUL-separated JSON); needs no screen. Every Chromium process is ended at the
end, whatever happens.
"""
import fcntl
import http.server
import json
import os
import queue
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gtk", "e2e"))
import harness as h  # noqa: E402
import radio  # noqa: E402

HARD_LIMIT = 200          # seconds for the whole run; ctest's limit is above it
STALL = 15.0              # the rule's time without progress before a playing player has failed
FIRST_RETRY_MS = 5000     # the rule's first pause before the page is brought back
QUICK_RETRY_MS = 4000     # the rule's pause for a page that failed before it was ever heard
BINDING = "reprisaChannel"

# window.chrome.webview as the web view gives it to a page, as far as the script uses it: texts
# go to the host as they are; the host takes nothing else (here: a text its reader refuses).
PRELUDE = """(function () {
  var forward = window.%s;
  window.chrome = window.chrome || {};
  window.chrome.webview = {postMessage: function (message) {
    forward(typeof message === 'string' ? message : 'not a text: ' + typeof message);
  }};
})();
""" % BINDING


class Failure(Exception):
    pass


def check(condition, message, *details):
    if not condition:
        raise Failure("\n    ".join([message] + [str(d) for d in details]))


# ---- Chromium over its DevTools pipe ----

class Browser:
    """Headless Chromium with its DevTools protocol on fds 3 (commands in) and 4 (answers and
    events out); its events, with their arrival times, in self.events."""

    def __init__(self, folder):
        binary = "/usr/lib/chromium/chromium"
        if not os.access(binary, os.X_OK):
            binary = shutil.which("chromium")
        check(binary, "no chromium (scripts/bootstrap installs Debian's package)")
        self.folder = folder
        # Its profile, crash reports and caches in the run's folder; no screen, whatever is set.
        env = dict(os.environ, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                   XDG_CACHE_HOME=os.path.join(folder, "cache"))
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        argv = [binary, "--headless", "--no-sandbox", "--remote-debugging-pipe",
                "--user-data-dir=" + os.path.join(folder, "profile"),
                "--autoplay-policy=no-user-gesture-required",
                # No sound card is needed: the media clock runs on a silent output.
                "--mute-audio",
                "--disable-breakpad",
                # Only the loopback servers are reached.
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--no-first-run", "--no-default-browser-check",
                "--disable-domain-reliability", "--disable-client-side-phishing-detection",
                "--disable-features=Translate,MediaRouter,OptimizationHints",
                "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
                "--disable-backgrounding-occluded-windows", "about:blank"]
        commands_r, commands_w = os.pipe()
        answers_r, answers_w = os.pipe()
        # The child's ends out of the way of 3 and 4 (closed on exec), then put there.
        ends = [fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10) for fd in (commands_r, answers_w)]
        os.close(commands_r)
        os.close(answers_w)
        self.log = open(os.path.join(folder, "chromium.log"), "wb")
        # The log's descriptor may be 3 or 4: it is copied to 1 and 2 before they are taken.
        self.pid = os.posix_spawn(binary, argv, env, setpgroup=0, file_actions=[
            (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
            (os.POSIX_SPAWN_DUP2, self.log.fileno(), 1), (os.POSIX_SPAWN_DUP2, self.log.fileno(), 2),
            (os.POSIX_SPAWN_DUP2, ends[0], 3), (os.POSIX_SPAWN_DUP2, ends[1], 4)])
        for fd in ends:
            os.close(fd)
        self.commands = os.fdopen(commands_w, "wb", buffering=0)
        self.answers = os.fdopen(answers_r, "rb", buffering=0)
        self.events = queue.Queue()
        self.lock = threading.Lock()
        self.pending, self.last_id = {}, 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        buffered = b""
        while True:
            data = self.answers.read(65536)
            if not data:
                self.events.put((time.monotonic(), None))
                with self.lock:
                    for waiter in self.pending.values():
                        waiter.put({"error": "the browser closed its pipe"})
                return
            buffered += data
            *messages, buffered = buffered.split(b"\0")
            for raw in messages:
                try:
                    message = json.loads(raw)
                except ValueError:
                    message = {"method": "not the protocol", "params": {"text": str(raw[:200])}}
                if "id" in message:
                    with self.lock:
                        waiter = self.pending.pop(message["id"], None)
                    if waiter:
                        waiter.put(message)
                else:
                    self.events.put((time.monotonic(), message))

    def call(self, method, params=None, session=None, timeout=15.0):
        waiter = queue.Queue()
        with self.lock:
            self.last_id += 1
            self.pending[self.last_id] = waiter
            message = {"id": self.last_id, "method": method, "params": params or {}}
            if session:
                message["sessionId"] = session
            self.commands.write(json.dumps(message).encode() + b"\0")
        try:
            answer = waiter.get(timeout=timeout)
        except queue.Empty:
            raise Failure("%s had no answer within %.0f s" % (method, timeout)) from None
        if "error" in answer:
            raise Failure("%s failed: %s" % (method, answer["error"]))
        return answer["result"]

    def close(self):
        """Asks the browser to close, then ends whatever of it is left: its process group and
        every process that names the run's own folder (the browser's helpers)."""
        try:
            self.call("Browser.close", timeout=5.0)
        except (Failure, OSError):
            pass
        try:
            self.commands.close()
        except OSError:
            pass
        deadline = time.monotonic() + 5.0
        while time.monotonic() < deadline and os.waitpid(self.pid, os.WNOHANG) == (0, 0):
            time.sleep(0.05)
        for pid in [self.pid] + self.helpers():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            os.waitpid(self.pid, 0)
        except ChildProcessError:
            pass
        self.log.close()

    def helpers(self):
        mine = []
        for entry in os.listdir("/proc"):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if entry.isdigit() and self.folder.encode() in f.read():
                        mine.append(int(entry))
            except OSError:
                pass
        return mine


# ---- the core's rule, live ----

class Replay:
    """media_replay fed live; its answers as (ms, words) in self.said."""

    def __init__(self, tool):
        self.process = subprocess.Popen([tool], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)
        self.lines, self.said = [], []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            ms, _, words = line.strip().partition(" ")
            self.said.append((int(ms), words))

    def feed(self, ms, what):
        line = "%d %s" % (ms, what)
        self.lines.append(line)
        self.process.stdin.write(line + "\n")

    def finish(self):
        """Everything the rule said, once it has read every line."""
        self.process.stdin.close()
        code = self.process.wait(10)
        self.reader.join(5)
        check(code == 0, "media_replay ended with %d" % code)
        return self.said

    def refused(self):
        """The lines of messages that the rule's reader refused."""
        times = {ms for ms, words in self.said if words == "refused"}
        return [line for line in self.lines if int(line.split(" ", 1)[0]) in times
                and line.split(" ", 1)[1] not in ("tick", "load")]

    def decisions(self):
        return [(ms, words) for ms, words in self.said if words != "refused"]


# ---- pages of the test's own (the radio's stream, from another origin) ----

DETACHED_PAGE = """<!doctype html><meta charset="utf-8"><title>detached</title>
<script>window.player = new Audio("{stream}"); window.player.play();</script>
"""

# Synthetic events on two new players (one in the document, one not), then a real player that
# plays and is paused, synthetic events on it, and a player whose source is missing: its error,
# the last message, marks the end. The script's messages must be those of the real players only;
# what the page sees of its players must not change.
CHECKS_PAGE = """<!doctype html><meta charset="utf-8"><title>checks</title><body>
<script>
// What the page does with the channel later does not stop the script.
window.chrome.webview.postMessage = function () {{}};
window.checks = (async () => {{
  const types = ["playing", "timeupdate", "pause", "ended", "error", "waiting", "stalled",
                 "emptied", "abort", "volumechange", "ratechange", "play", "loadeddata"];
  const seen = {{}};
  const count = (name) => () => {{ seen[name] = (seen[name] || 0) + 1; }};
  document.addEventListener("playing", count("document"), true);
  const attached = document.body.appendChild(document.createElement("audio"));
  attached.addEventListener("playing", count("attached"));
  const detached = new Audio();
  detached.addEventListener("playing", count("detached"));
  for (const el of [attached, detached])
    for (const type of types) el.dispatchEvent(new Event(type));

  const song = document.body.appendChild(document.createElement("audio"));
  song.addEventListener("playing", count("song"));
  song.src = "{song}";
  const played = song.play();
  const promise = played instanceof Promise;
  await played;
  await new Promise(resolve => song.addEventListener("timeupdate", () => {{
    if (song.currentTime > 0.5) resolve();
  }}));
  const paused = new Promise(resolve => song.addEventListener("pause", resolve, {{once: true}}));
  song.pause();
  await paused;
  for (const type of types) song.dispatchEvent(new Event(type));

  const broken = document.body.appendChild(document.createElement("audio"));
  const failed = new Promise(resolve => broken.addEventListener("error", resolve, {{once: true}}));
  broken.src = "/missing.mp3";
  await failed;
  const rejected = await new Audio("/missing.mp3").play().then(() => "resolved", e => e.name);
  return {{promise, seen, rejected, paused: song.paused, error: broken.error && broken.error.code,
          src: song.src === "{song}", audio: new Audio() instanceof HTMLAudioElement}};
}})();
</script>
"""


class Pages:
    """A loopback server for the test's own pages."""

    def __init__(self, pages):
        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                page = pages.get(self.path.split("?")[0])
                if page is None:
                    h.send(self, 404, "text/plain", b"not found")
                else:
                    h.send(self, 200, "text/html; charset=utf-8", page().encode())

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.httpd.server_address[1], path)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# ---- one case: a tab of its own, a replay of its own ----

class Tab:
    def __init__(self, run, name):
        self.run, self.browser, self.name = run, run.browser, name
        self.target = self.browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.browser.call("Target.attachToTarget",
                                         {"targetId": self.target, "flatten": True})["sessionId"]
        for method, params in (("Runtime.enable", {}), ("Page.enable", {}),
                               ("Runtime.addBinding", {"name": BINDING}),
                               ("Page.addScriptToEvaluateOnNewDocument",
                                {"source": PRELUDE + run.script})):
            self.browser.call(method, params, self.session)
        self.replay = Replay(run.tool)
        self.messages = []   # (arrival, parsed message)
        self.exceptions = []
        self.start = self.next_tick = None

    def ms(self, when):
        return max(0, int(round((when - self.start) * 1000)))

    def open(self, url):
        self.start = time.monotonic()
        self.next_tick = self.start + 1.0
        navigated = self.browser.call("Page.navigate", {"url": url}, self.session)
        check("errorText" not in navigated, "%s did not open" % url, navigated)

    def evaluate(self, expression, await_promise=False, timeout=15.0):
        result = self.browser.call("Runtime.evaluate", {
            "expression": expression, "returnByValue": True, "awaitPromise": await_promise},
            self.session, timeout)
        check("exceptionDetails" not in result, "the page threw at %s" % expression,
              result.get("exceptionDetails"))
        return result["result"].get("value")

    def _ticks(self, until):
        while self.next_tick <= until:
            self.replay.feed(self.ms(self.next_tick), "tick")
            self.next_tick += 1.0

    def _take(self, when, event):
        if event is None or event.get("method") == "not the protocol":
            raise Failure("the browser went away", event)
        self._ticks(when)
        if event.get("sessionId") != self.session:
            return
        method, params = event["method"], event.get("params", {})
        if method == "Runtime.bindingCalled" and params.get("name") == BINDING:
            self.replay.feed(self.ms(when), params["payload"])
            try:
                self.messages.append((when, json.loads(params["payload"])))
            except ValueError:
                self.messages.append((when, params["payload"]))
        elif method == "Page.loadEventFired":
            self.replay.feed(self.ms(when), "load")
        elif method == "Runtime.exceptionThrown":
            self.exceptions.append(params["exceptionDetails"])

    def pump(self, seconds, done=lambda: False, poll=0.25):
        """Hands the browser's events and the ticks to the rule for at most seconds, or until
        done() (asked at most every poll seconds) is true; returns whether it was."""
        deadline = time.monotonic() + seconds
        asked = 0.0
        while True:
            now = time.monotonic()
            if now - asked >= poll:
                asked = now
                if done():
                    return True
            if now >= deadline:
                return False
            wait = max(0.0, min(self.next_tick, deadline, asked + poll) - now)
            try:
                when, event = self.browser.events.get(timeout=wait)
            except queue.Empty:
                self._ticks(time.monotonic())
                continue
            self._take(when, event)

    def messages_of(self, ev):
        return [m for _, m in self.messages if isinstance(m, dict) and m.get("ev") == ev]

    def playing_for(self, player, seconds, timeout=20.0):
        """Waits until the page's player has played seconds."""
        played = self.pump(timeout, lambda: (self.evaluate(
            "(p => p ? p.currentTime : -1)(%s)" % player) or 0) >= seconds)
        check(played, "%s did not play %.0f s within %.0f s" % (player, seconds, timeout),
              *self.messages[-5:])

    def close(self):
        try:
            self.browser.call("Target.closeTarget", {"targetId": self.target})
        except Failure:
            pass
        said = self.replay.finish()
        folder = self.run.artifacts
        with open(os.path.join(folder, self.name + ".lines"), "w") as f:
            f.write("\n".join(self.replay.lines) + "\n")
        with open(os.path.join(folder, self.name + ".said"), "w") as f:
            f.write("".join("%d %s\n" % s for s in said))
        return said


# ---- the cases ----

RADIO_PLAYER = "document.getElementById('player')"
DETACHED_PLAYER = "window.player"


def failure_after(fault_kind, kinds, earliest, latest, retry_ms=FIRST_RETRY_MS):
    """The expectation: exactly one decision, a failure of one of kinds, between earliest and
    latest seconds after the fault, with the retry pause retry_ms."""
    def expect(tab, at, said):
        check(len(said) == 1, "expected one failure after the %s, the rule said" % fault_kind,
              *said or ["nothing"])
        ms, words = said[0]
        parts = words.split()
        check(parts[0] == "failed" and parts[1] in kinds,
              "expected a failure of %s, the rule said %r" % ("/".join(kinds), words))
        check(parts[2:] == ["retry", str(retry_ms)],
              "expected a retry after %d ms, the rule said %r" % (retry_ms, words))
        after = ms / 1000.0 - at
        check(earliest <= after <= latest, "the failure came %.1f s after the %s, expected "
              "%.0f..%.0f s" % (after, fault_kind, earliest, latest))
        return "%s %.1f s after the %s" % (words, after, fault_kind)
    expect.patience = latest
    return expect


def nothing(seconds):
    def expect(tab, at, said):
        check(not said, "the rule decided something", *said)
        return "nothing decided in %.0f s" % seconds
    expect.patience = seconds
    return expect


def drop(run):
    run.radio.drop()


def stall(run):
    run.radio.stall(5)


def paused_by_page(tab):
    """radio.py's paused page pauses its player once it played 3 s."""
    check(tab.pump(20.0, lambda: tab.evaluate(
        "(p => !!p && p.paused && p.currentTime >= 3)(%s)" % RADIO_PLAYER)),
        "the page did not pause its player", *tab.messages[-5:])


def refuse(run):
    run.radio.refuse(30)


ENDED = ("error", "stream-ended")  # a closed stream ends as one or the other, as in WebKitGTK

# (name, page, player, how the fault comes: ("playing", fault) after 3 s of music, ("before",
# fault) before the page opens, ("wait", step) for a page that stops by itself, expectation)
TABLE = [
    ("dropped", "radio:/radio.html", RADIO_PLAYER, ("playing", drop),
     failure_after("drop", ENDED, 0.0, 25.0)),
    ("stalled", "radio:/radio.html", RADIO_PLAYER, ("playing", stall),
     failure_after("stall", ("no-progress",), STALL - 5.0, STALL + 20.0)),
    ("paused_by_page", "radio:/paused.html", RADIO_PLAYER, ("wait", paused_by_page),
     nothing(STALL + 3.0)),
    ("detached_dropped", "own:/detached.html", DETACHED_PLAYER, ("playing", drop),
     failure_after("drop", ENDED, 0.0, 25.0)),
    ("down_at_open", "radio:/radio.html", RADIO_PLAYER, ("before", refuse),
     failure_after("open", ("error", "nothing-played", "no-progress"), 0.0, STALL + 8.0,
                   QUICK_RETRY_MS)),
]


def run_case(run, name, page, player, fault, expect):
    tab = Tab(run, name)
    try:
        origin, path = page.split(":", 1)
        url = run.radio.url(path) if origin == "radio" else run.pages.url(path)
        how, act = fault
        if how == "before":
            act(run)
        tab.open(url)
        if how == "playing":
            tab.playing_for(player, 3.0)
            act(run)
        elif how == "wait":
            act(tab)
        at = time.monotonic()
        tab.pump(expect.patience, lambda: tab.replay.decisions())
        # A decision that came within the time is the one judged; later ones are not waited for.
        said = [s for s in tab.replay.decisions() if s[0] <= tab.ms(at) + expect.patience * 1000]
    finally:
        tab.close()
    check(not tab.replay.refused(), "the rule's reader refused what the script posted",
          *tab.replay.refused()[:5])
    check(not tab.exceptions, "the page threw", *tab.exceptions[:3])
    check(tab.messages, "the script posted nothing")
    return expect(tab, (at - tab.start), said)


def checks_page(run):
    """The checks page, opened once: (what it found, its tab)."""
    if run.checks is None:
        tab = Tab(run, "checks")
        try:
            tab.open(run.pages.url("/checks.html"))
            check(tab.pump(15.0, lambda: tab.evaluate("'checks' in window")),
                  "the page did not run")
            result = tab.evaluate("window.checks", await_promise=True, timeout=30.0)
            # The missing source's error is posted before the page's own listener hears it:
            # every message is in once the browser's events are read.
            tab.pump(5.0, lambda: len(tab.messages_of("error")) >= 1)
            run.checks = (result, tab)
        finally:
            tab.close()
    return run.checks


def page_unchanged(run):
    """The page sees its players as without the script, and nothing throws."""
    result, tab = checks_page(run)
    check(not tab.exceptions, "the page threw", *tab.exceptions[:3])
    check(result == {"promise": True,
                     "seen": {"document": 3, "attached": 1, "detached": 1, "song": 2},
                     "rejected": "NotSupportedError", "paused": True, "error": 4, "src": True,
                     "audio": True},
          "the page saw its players differently", result)
    check(not tab.replay.refused(), "the rule's reader refused what the script posted",
          *tab.replay.refused()[:5])
    return "play() gives its promise, the page's listeners hear what they hear without it"


def synthetic_events(run):
    """Only the real players speak: the song (1) plays and is paused, the player with the
    missing source (2) fails; after them only the last one, made outside the document (3)."""
    _, tab = checks_page(run)
    said = {}
    for _, m in tab.messages:
        if isinstance(m, dict) and m.get("ev") not in ("time", "wait", "want"):
            said.setdefault(m.get("el"), []).append(m.get("ev"))
    check(said.get(1) == ["play", "pause"] and said.get(2) == ["error"] and set(said) <= {1, 2, 3},
          "the script posted other than the real players' events", *tab.messages)
    return "%d messages, all of real events" % len(tab.messages)


# (name, check), all on the checks page.
CHECKS = [
    ("page_unchanged", page_unchanged),
    ("synthetic_events", synthetic_events),
]


class Run:
    def __init__(self, tool, artifacts):
        self.tool, self.artifacts = tool, artifacts
        os.makedirs(artifacts, exist_ok=True)
        self.script = subprocess.run([tool, "--script"], capture_output=True, text=True,
                                     check=True, timeout=10).stdout
        self.tmp = tempfile.mkdtemp(prefix="reprisa-chromium-")
        self.browser = self.radio = self.pages = self.checks = None

    def start(self):
        # The browser first: no thread of ours runs while it is spawned.
        self.browser = Browser(self.tmp)
        self.browser.call("Browser.getVersion", timeout=30.0)
        self.radio = radio.Radio(self.tmp)
        self.pages = Pages({
            "/detached.html": lambda: DETACHED_PAGE.format(
                stream=self.radio.stream_site.url(radio.STREAM)),
            "/checks.html": lambda: CHECKS_PAGE.format(song=self.radio.url(radio.SONG)),
        })

    def close(self):
        if self.browser:
            self.browser.close()
            shutil.copy(os.path.join(self.tmp, "chromium.log"), self.artifacts)
        for server in (self.radio, self.pages):
            if server:
                server.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__)
        return 2
    tool = os.path.abspath(argv[1])
    artifacts = os.path.abspath(argv[2] if len(argv) == 3 else "chromium_media_artifacts")

    def out_of_time(*_):
        raise Failure("the run took longer than %d s" % HARD_LIMIT)
    signal.signal(signal.SIGALRM, out_of_time)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    signal.alarm(HARD_LIMIT)

    run = Run(tool, artifacts)
    passed = failed = 0
    began = time.monotonic()
    try:
        run.start()
        cases = [(name, lambda check_=check_: check_(run)) for name, check_ in CHECKS]
        cases += [(row[0], lambda row=row: run_case(run, *row)) for row in TABLE]
        for name, case in cases:
            started = time.monotonic()
            try:
                said = case()
                print("PASS %s (%.1f s): %s" % (name, time.monotonic() - started, said),
                      flush=True)
                passed += 1
            except Failure as failure:
                print("FAIL %s (%.1f s): %s" % (name, time.monotonic() - started, failure),
                      flush=True)
                failed += 1
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        failed += 1
    finally:
        signal.alarm(0)
        run.close()
    print("chromium media script: %.0f s; transcripts in %s" % (time.monotonic() - began,
                                                               artifacts))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
