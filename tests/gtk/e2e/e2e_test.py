"""The Linux program end to end, from outside as a user drives it: X input with xdotool, the fields
read through the accessibility tree (AT-SPI), a loopback web server whose pages play a video, or
the media of the formats sites serve (made at the start with ffmpeg), and report their
currentTime twice a second, screenshots of the screen. e2e_wayland.py runs these cases under
Wayland.

    /usr/bin/python3 e2e_test.py [--keep] PROGRAM [ARTIFACT_FOLDER]

Needs DISPLAY (an X server without a window manager) and a session bus; run-e2e provides both.
Exit status 0 when every check passed, 1 otherwise. On failure, the screenshots and the program's
output are kept in ARTIFACT_FOLDER (with --keep, also when every check passed).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402

ADDRESS = "Adresse"
INTERVAL = "Wiederholung starten nach Min:Sekunden:"
CURRENT = "Aktuelles Intervall"
COUNTDOWN = "Neustart in:"
SET_BUTTON = "Wert setzen"
MEDIA_PAGE = "/media.html"
PAGE_PATHS = ["/index.html", "/second.html", MEDIA_PAGE]
# The media page's elements: (id, element, source); "mse" is fed by the page's own script.
MEDIA = [("mp4", "video", "/clip.mp4"),        # H.264/AAC
         ("m4a", "audio", "/tone.m4a"),        # AAC
         ("mp3", "audio", "/tone.mp3"),
         ("webm", "video", "/clip-vp9.webm"),  # VP9/Opus
         ("mse", "video", "mse")]              # H.264/AAC in fragmented MP4 segments
PLAYED_SECONDS = 2.0   # how far each medium plays within one 5 s interval, at least
RESTART_SECONDS = 1.5  # where it stands at its first report after a reload, at most
SOUND_LEVEL = 0.02     # the loudest sample of its tone (ffmpeg's sine: 0.125), at least
RELOAD_SECONDS = 5.0
RELOAD_SLACK = 1.0


class CheckFailed(Exception):
    pass


def check(condition, message, *details):
    if not condition:
        raise CheckFailed(message + "".join("\n    " + str(d) for d in details))


def eventually(checking, timeout):
    """Runs checking (which raises CheckFailed) until it passes; past timeout its failure
    stands. Returns what it returned."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            return checking()
        except CheckFailed:
            if time.monotonic() >= deadline:
                raise
        time.sleep(0.1)


# ---- the accessibility tree ----

def accessible_app(pid, timeout=15.0):
    def found():
        desktop = Atspi.get_desktop(0)
        for app in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count())):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except gi.repository.GLib.Error:
                pass
        check(False, "the program (pid %d) did not appear in the accessibility tree" % pid)
    return eventually(found, timeout)


def find_accessible(root, name, roles=None):
    """Breadth-first through the program's own widgets (not into the web page's tree)."""
    queue = [root]
    while queue:
        node = queue.pop(0)
        try:
            role = node.get_role()
            if node.get_name() == name and (roles is None or role in roles):
                return node
            if role == Atspi.Role.DOCUMENT_WEB:
                continue
            queue.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
        except gi.repository.GLib.Error:
            continue
    return None


def field(app, name):
    found = find_accessible(app, name, (Atspi.Role.TEXT, Atspi.Role.ENTRY,
                                        Atspi.Role.PASSWORD_TEXT))
    check(found is not None, "no text field named %r in the accessibility tree" % name)
    return found


def text_of(accessible):
    return Atspi.Text.get_text(accessible, 0, -1)


def click(accessible):
    box = accessible.get_extents(Atspi.CoordType.SCREEN)
    check(box.width > 0 and box.height > 0, "%r has no place on the screen" % accessible.get_name())
    h.xdotool("mousemove", "--sync", box.x + box.width // 2, box.y + box.height // 2)
    h.xdotool("click", "1")


def wait_text(accessible, pattern, timeout):
    def shown():
        text = text_of(accessible)
        check(re.fullmatch(pattern, text),
              "field %r shows %r, expected /%s/" % (accessible.get_name(), text, pattern))
        return text
    return eventually(shown, timeout)


# ---- the run ----

class Run:
    """One run of the cases against the program on an X server (no window manager)."""

    def __init__(self, program, artifacts):
        self.program = program
        self.title = h.main_caption(program)
        self.artifacts = artifacts
        self.tmp = tempfile.mkdtemp(prefix="reprisa-e2e-")
        self.env = h.scratch_env(self.tmp)
        self.env["NO_AT_BRIDGE"] = "0"
        self.set_up_display()
        video = os.path.join(self.tmp, "clip.webm")
        h.make_video(video)
        files = h.make_media(self.tmp)
        self.server = h.PageServer(video, files, {MEDIA_PAGE: h.media_page("media", MEDIA, files)})
        self.process = None
        self.window = None
        self.starts = 0
        self.shots = 0

    def set_up_display(self):
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env["GDK_BACKEND"] = "x11"
        self.display = h.Display()

    def log(self, message):
        print("[%6.1f s] %s" % (time.monotonic() - START, message), flush=True)

    def start(self):
        self.starts += 1
        self.output = open(os.path.join(self.tmp, "program-%d.log" % self.starts), "w")
        try:
            self.process, self.window, _ = h.start_program(
                self.display, [self.program], self.env, self.title, 20.0, self.output, self.tmp)
        except RuntimeError as failure:
            raise CheckFailed(str(failure))
        self.app = accessible_app(self.process.pid)
        self.log("started, window %#x, pid %d" % (self.window, self.process.pid))

    def request_close(self):
        """As a window manager's close box does."""
        self.display.request_close(self.window)

    def close(self):
        """Closes the window as the user does; returns the exit code."""
        self.request_close()
        try:
            code = self.process.wait(15)
        except subprocess.TimeoutExpired:
            code = h.stop(self.process)
            raise CheckFailed("the program did not end within 15 s of closing its window "
                              "(ended by signal: %s)" % code)
        finally:
            self.output.close()
        return code

    # ---- input: the X server's, as a user's mouse and keyboard give it ----

    def press(self, accessible):
        """Clicks a button, menu or menu item."""
        click(accessible)

    def choose(self, menu, item):
        """Opens a menu and clicks one of its items."""
        click(menu)
        click(wait_showing(self.app, item, (Atspi.Role.MENU_ITEM,)))

    def enter_text(self, accessible, text):
        """Replaces a field's text by typing."""
        h.xdotool("windowfocus", "--sync", self.window)
        click(accessible)
        h.xdotool("key", "--clearmodifiers", "ctrl+a")
        h.xdotool("type", "--delay", "5", text)

    def open_address(self, url):
        """Types an address into the address field and presses Enter."""
        self.enter_text(field(self.app, ADDRESS), url)
        h.xdotool("key", "Return")

    def check_page(self, name):
        page_colour_check(self, name)

    def screenshot(self):
        self.shots += 1
        return h.Screenshot(os.path.join(self.tmp, "screen-%02d.png" % self.shots))

    def page_requests(self, since=0.0):
        return self.server.log(PAGE_PATHS, since)

    def reports(self, load):
        return [r for r in self.server.log(["/report"]) if r.query.get("load") == str(load)]

    def close_display(self):
        self.display.close()

    def finish(self, failed):
        if self.process is not None and self.process.poll() is None:
            h.stop(self.process)
        self.server.close()
        self.close_display()
        if failed and self.artifacts:
            os.makedirs(self.artifacts, exist_ok=True)
            for name in os.listdir(self.tmp):
                if name.endswith((".png", ".log", ".ini")):
                    shutil.copy(os.path.join(self.tmp, name), self.artifacts)
            ini = h.placement_file(self.env, self.program)
            if os.path.exists(ini):
                shutil.copy(ini, self.artifacts)
            print("screenshots and program output kept in %s" % self.artifacts)
        shutil.rmtree(self.tmp, ignore_errors=True)


def page_colour_check(run, name):
    """The page is rendered in the browser area: its background and its link box, in their
    colours, at their places near the window's bottom right corner; the top strip with the
    program's own controls is not painted in the page's colour."""
    x, y, width, height = h.window_geometry(run.window)
    shot = run.screenshot()
    page = h.PAGES[name]
    places = [
        ("page background", x + width - h.LINK_WIDTH - 60, y + height - 20, page["background"]),
        ("link box", x + width - h.LINK_WIDTH // 2, y + height - h.LINK_HEIGHT // 2, page["link"]),
    ]
    for what, px, py, colour in places:
        seen = shot.pixel(px, py)
        check(h.close_to(seen, colour), "%s of %s: expected %s at %d,%d, the screen shows %s"
              % (what, name, colour, px, py, seen))
    top = shot.pixel(x + width // 2, y + 5)
    check(not h.close_to(top, page["background"]),
          "the top of the window is painted in the page's colour %s: the page covers the "
          "program's own controls" % (top,))


def case_start(run):
    """A first start: nothing is loaded, the fields show their first texts."""
    run.start()
    x, y, width, height = h.window_geometry(run.window)
    check(width == 846 and height >= 554, "the first window is %dx%d, expected 846 wide and at "
          "least 554 high" % (width, height))
    screen_width, screen_height = run.display.size
    centred = ((screen_width - width) // 2, (screen_height - height) // 2)
    check(abs(x - centred[0]) <= 1 and abs(y - centred[1]) <= 1,
          "the first window is at %d,%d, not centred at %d,%d" % (x, y, *centred))
    check_first_texts(run)


def check_first_texts(run):
    """The fields as a first start shows them, and no page asked for."""
    check(text_of(field(run.app, INTERVAL)) == "03:00", "the interval field does not start at 03:00")
    check(text_of(field(run.app, CURRENT)) == "03:00", "the current interval is not 03:00 at start")
    wait_text(field(run.app, COUNTDOWN), r"0(3:00|2:5\d)", 3.0)
    check(not run.page_requests(), "a page was requested before an address was opened",
          run.page_requests())


def case_open_address(run):
    """Typing an address and pressing Enter loads it, exactly once."""
    typed = time.monotonic()
    run.open_address(run.server.url("/index.html"))
    first = run.server.wait_for(PAGE_PATHS, since=typed, timeout=5.0)
    check(first and first[0].path == "/index.html",
          "Enter in the address field did not load the page within 5 s", run.server.log())
    run.server.wait_for(["/painted"], since=typed, timeout=10.0)
    loads = run.server.wait_for(PAGE_PATHS, count=2, since=typed, timeout=1.5)  # a second one?
    check(len(loads) == 1, "Enter loaded the page %d times, expected once" % len(loads), *loads)
    run.log("address opened: one request for /index.html")


def case_rendered(run):
    """A screenshot shows the page in its colours at known places."""
    check(run.server.wait_for(["/painted"], timeout=5.0), "the page never reported its first paint")
    run.check_page("index")
    run.log("screenshot: page colours at their places")


def case_interval_reloads(run):
    """After setting 00:05 the page comes again every 5 s, at least three times, and each time
    the video starts again from the beginning."""
    run.enter_text(field(run.app, INTERVAL), "00:05")
    run.press(find_accessible(run.app, SET_BUTTON, (Atspi.Role.PUSH_BUTTON,)))
    clicked = time.monotonic()
    wait_text(field(run.app, CURRENT), "00:05", 2.0)
    countdown = field(run.app, COUNTDOWN)
    wait_text(countdown, "00:0[0-4]", 1.5)

    # The countdown read through the accessibility tree while three reloads come.
    seen = []
    deadline = clicked + 3 * RELOAD_SECONDS + 2 * RELOAD_SLACK
    while time.monotonic() < deadline and len(run.page_requests(clicked)) < 3:
        seen.append(text_of(countdown))
        time.sleep(0.25)
    reloads = run.server.wait_for(PAGE_PATHS, count=3, since=clicked, timeout=1.0)
    check(len(reloads) == 3, "%d reloads within %.0f s of setting 00:05, expected 3"
          % (len(reloads), deadline - clicked), *run.page_requests())
    bad = [t for t in seen if not re.fullmatch("00:0[0-4]", t)]
    check(not bad, "the countdown showed texts outside 00:00..00:04 with interval 00:05", bad)
    check(len(set(seen)) >= 4, "the countdown did not count down: it showed only %s" % sorted(set(seen)))

    times = [clicked] + [r.when for r in reloads]
    gaps = [b - a for a, b in zip(times, times[1:])]
    check(all(abs(g - RELOAD_SECONDS) <= RELOAD_SLACK for g in gaps),
          "reloads came after %s s, expected %.0f +- %.0f s" % (["%.2f" % g for g in gaps],
                                                              RELOAD_SECONDS, RELOAD_SLACK))
    check(all(r.path == "/index.html" for r in reloads), "a reload asked for another page", reloads)

    # Each reload restarted the video: the load before it had played past 3 s, the new load's
    # first report (twice a second) is below 1.5 s.
    loads = [r.load for r in reloads]
    for load in loads:
        before = [float(r.query["t"]) for r in run.reports(load - 1)]
        after = eventually(lambda: [float(r.query["t"]) for r in run.reports(load)] or check(
            False, "no report of load %d within 3 s" % load), 3.0)
        check(before and max(before) >= 3.0,
              "before reload %d the video had not played past 3 s: %s" % (load, before))
        check(after[0] < 1.5,
              "after reload %d the video's first reported time is %s, expected below 1.5 s"
              % (load, after[:3]))
    run.log("interval 00:05: reloads after %s s, countdown showed %s"
            % (", ".join("%.2f" % g for g in gaps), " ".join(sorted(set(seen), reverse=True))))


def media_reports(run, load):
    return [h.media_states(r) for r in run.reports(load)]


def check_played(run, load, what):
    """Every medium of the media page's load `load` played: no error, its sound on and audible,
    its video decoded, its time past PLAYED_SECONDS."""
    reports = media_reports(run, load)
    check(reports, "the media page (load %d) sent no report %s" % (load, what))
    for element_id, tag, source in MEDIA:
        states = [r[element_id] for r in reports if element_id in r]
        name = "%s (%s %s)" % (element_id, tag, source)
        check(states, "%s: never reported %s" % (name, what))
        errors = [s["err"] for s in states if s["err"]]
        check(not errors, "%s failed %s: error %s (4: the format is not supported; is "
              "gstreamer1.0-libav installed?)" % (name, what, errors[-1:]))
        last = states[-1]
        check(not last["muted"] and last["volume"] == 1,
              "%s plays muted or quiet %s: muted %s, volume %s" % (name, what, last["muted"],
                                                                   last["volume"]))
        check(last["audio"] >= 1, "%s has no audio track %s" % (name, what))
        levels = [s["level"] for s in states]
        check(all(isinstance(v, (int, float)) for v in levels),
              "the page could not listen to %s: %s" % (name, levels[-1]))
        check(max(levels) >= SOUND_LEVEL, "%s played no sound %s: loudest samples %s"
              % (name, what, levels))
        if tag == "video":
            check(last["frames"] > 0, "%s decoded no video frame %s" % (name, what))
        played = max(s["t"] for s in states)
        check(played >= PLAYED_SECONDS, "%s did not play past %.1f s %s: %s"
              % (name, PLAYED_SECONDS, what, [round(s["t"], 2) for s in states]))


def case_media(run):
    """H.264/AAC video, AAC and MP3 audio, VP9/Opus video and an MSE stream of fragmented MP4
    segments all play on one page with their sound, and each starts again from the beginning at
    every reload."""
    opened = time.monotonic()
    run.open_address(run.server.url(MEDIA_PAGE))
    first = run.server.wait_for([MEDIA_PAGE], since=opened, timeout=5.0)
    check(first, "the media page was not requested", run.page_requests(opened))
    loads = run.server.wait_for(PAGE_PATHS, count=4, since=opened,
                                timeout=3 * RELOAD_SECONDS + 2 * RELOAD_SLACK + 1.0)
    check(len(loads) == 4 and all(r.path == MEDIA_PAGE for r in loads),
          "expected the media page and three reloads of it", *run.page_requests(opened))
    # The first load may have started just before a tick: from the second on, each had a whole
    # interval to play.
    ticks = [r.load for r in loads]
    for before, after in zip(ticks[1:], ticks[2:]):
        check_played(run, before, "before reload %d" % after)
        first_report = eventually(lambda: media_reports(run, after) or check(
            False, "the media page sent no report after reload %d" % after), 3.0)
        late = {i: round(s["t"], 2) for i, s in first_report[0].items()
                if s["t"] >= RESTART_SECONDS}
        check(not late, "after reload %d these media did not start again from the beginning: %s"
              % (after, late))
    # The last load plays too (until a next tick would come).
    eventually(lambda: check_played(run, ticks[-1], "after the last reload"),
               loads[-1].when + RELOAD_SECONDS - 0.3 - time.monotonic())
    run.log("media: %s played with sound and started again at reloads %s"
            % (", ".join(m[0] for m in MEDIA), ticks[1:]))


def click_link(run):
    x, y, width, height = h.window_geometry(run.window)
    h.xdotool("mousemove", "--sync", x + width - h.LINK_WIDTH // 2, y + height - h.LINK_HEIGHT // 2)
    h.xdotool("click", "1")


def case_follow_link(run):
    """After following a link, the next reload asks for the linked page."""
    # Click well inside a reload interval, so the click's own load is not the tick's.
    earlier = run.page_requests()
    since = earlier[-1].when + 0.5 if earlier else 0.0
    tick = run.server.wait_for(PAGE_PATHS, since=since, timeout=RELOAD_SECONDS + 2)
    check(tick, "the reloads stopped", run.page_requests())
    time.sleep(1.0)
    clicked = time.monotonic()
    click_link(run)
    followed = run.server.wait_for(PAGE_PATHS, since=clicked, timeout=3.0)
    check(followed and followed[0].path == "/second.html",
          "clicking the link did not load /second.html", run.page_requests(clicked))
    nxt = run.server.wait_for(PAGE_PATHS, count=2, since=clicked,
                              timeout=RELOAD_SECONDS + RELOAD_SLACK)
    check(len(nxt) == 2, "no reload came after following the link", run.page_requests(clicked))
    check(nxt[1].path == "/second.html", "after following the link the reload asked for %s, "
          "not the linked page /second.html" % nxt[1].path)
    gap = nxt[1].when - tick[0].when
    check(abs(gap - RELOAD_SECONDS) <= RELOAD_SLACK,
          "following the link moved the reload: it came %.2f s after the previous one" % gap)
    run.server.wait_for(["/painted"], since=nxt[1].when, timeout=5.0)
    run.log("link followed: the reload asked for /second.html")


def case_web_process_killed(run):
    """The web process killed from outside: the next tick brings the page back."""
    last = run.page_requests()[-1]  # the page it shows (after a followed link: the second)
    check(run.server.wait_for(["/painted"], since=last.when, timeout=5.0),
          "the page %s never painted" % last.path)
    shown = last.path
    victims = h.web_processes(run.process.pid)
    check(victims, "no WebKitWebProcess below the program (pid %d)" % run.process.pid,
          [(p, h.process_name(p)) for p in h.descendants(run.process.pid)])
    killed = time.monotonic()
    for pid in victims:
        os.kill(pid, 9)
    run.log("killed web process(es) %s" % victims)
    back = run.server.wait_for(PAGE_PATHS, since=killed, timeout=RELOAD_SECONDS + RELOAD_SLACK)
    check(back, "no page request within %.0f s of the web process's end"
          % (RELOAD_SECONDS + RELOAD_SLACK), run.server.log(since=killed))
    check(back[0].path == shown, "after the crash the program loaded %s, not the page it showed "
          "(%s)" % (back[0].path, shown))
    check(run.server.wait_for(["/report"], since=back[0].when, timeout=5.0),
          "the page came back but its script never ran")
    check(run.server.wait_for(["/painted"], since=back[0].when, timeout=5.0),
          "the page came back but never painted")
    now = h.web_processes(run.process.pid)
    check(now and not set(now) & set(victims), "no new web process after the crash", now)
    run.check_page(shown.strip("/").removesuffix(".html"))
    run.log("web process back (%s): page requested %.2f s after the kill"
            % (now, back[0].when - killed))


def showing(accessible):
    try:
        states = accessible.get_state_set()
        return states.contains(Atspi.StateType.SHOWING)
    except gi.repository.GLib.Error:
        return False


def wait_showing(root, name, roles, timeout=5.0):
    def shown():
        found = find_accessible(root, name, roles)
        check(found is not None and showing(found),
              "%r did not show within %.0f s" % (name, timeout))
        return found
    return eventually(shown, timeout)


def case_about_dialog(run):
    """"Hilfe" -> "Über..." opens the dialog "Info"; while it is open the page keeps restarting
    and the countdown keeps counting; "OK" closes it."""
    run.choose(find_accessible(run.app, "Hilfe", (Atspi.Role.MENU,)), "Über...")
    opened = time.monotonic()
    dialog = wait_showing(run.app, "Info", (Atspi.Role.DIALOG, Atspi.Role.FRAME))
    countdown = field(run.app, COUNTDOWN)
    first = text_of(countdown)
    reload = run.server.wait_for(PAGE_PATHS, since=opened, timeout=RELOAD_SECONDS + RELOAD_SLACK)
    check(reload, "no reload while the About dialog was open")
    # The dialog may have opened in the tick's last second: the countdown moves on within a
    # second of the reload.
    eventually(lambda: check(text_of(countdown) != first,
                             "the countdown stood still while the About dialog was open"), 1.5)
    check(showing(dialog), "the About dialog closed by itself")
    run.press(find_accessible(dialog, "OK", (Atspi.Role.PUSH_BUTTON,)))
    eventually(lambda: check(not showing(dialog), "\"OK\" did not close the About dialog"), 3.0)
    check(run.process.poll() is None, "closing the About dialog ended the program")
    run.log("About dialog: a reload came while it was open; OK closed it")


def close_and_read(run):
    """Closes the window, which must end the program with code 0; the placement file's path and
    what it holds."""
    code = run.close()
    check(code == 0, "closing the window ended the program with exit code %s" % code)
    ini = h.placement_file(run.env, run.program)
    check(os.path.isfile(ini), "no placement file %s after closing" % ini)
    with open(ini, encoding="utf-8", errors="replace") as f:
        return ini, f.read()


def case_close_and_restart(run):
    """Closing ends the program with code 0; the next start comes back where the window was."""
    h.xdotool("windowmove", "--sync", run.window, 40, 60)
    h.xdotool("windowsize", "--sync", run.window, 1200, 760)
    before = (40, 60, 1200, 760)
    eventually(lambda: check(h.window_geometry(run.window) == before, "moving and sizing the "
                             "window did not take: %s" % (h.window_geometry(run.window),)), 3.0)
    ini, stored = close_and_read(run)
    check("[TMainForm]" in stored, "the placement file has no [TMainForm] section", stored[:300])
    run.log("closed with exit code 0; placement stored")

    restarted = time.monotonic()
    run.start()
    after = h.window_geometry(run.window)
    check(after == before, "the second start opened at %s, not where the window was closed (%s)"
          % (after, before))
    check(not run.page_requests(restarted), "the second start loaded a page by itself",
          run.page_requests(restarted))
    code = run.close()
    check(code == 0, "closing the second start ended the program with exit code %s" % code)
    run.log("second start at %s, closed with exit code 0" % (after,))


CASES = [case_start, case_open_address, case_rendered, case_interval_reloads, case_follow_link,
         case_web_process_killed, case_media, case_about_dialog, case_close_and_restart]


def main(run_class=Run, cases=CASES):
    """[--keep] PROGRAM [ARTIFACT_FOLDER], for this script and the others that run its way."""
    if len(sys.argv) < 2:
        print(sys.modules["__main__"].__doc__, file=sys.stderr)
        return 2
    keep = "--keep" in sys.argv
    args = [a for a in sys.argv[1:] if a != "--keep"]
    artifacts = os.path.abspath(args[1]) if len(args) > 1 else None
    return run_cases(run_class(os.path.abspath(args[0]), artifacts), cases, keep)


def run_cases(run, cases, keep):
    failures = []
    try:
        for case in cases:
            try:
                case(run)
                print("PASS %s" % case.__name__, flush=True)
            except CheckFailed as failure:
                failures.append(case.__name__)
                print("FAIL %s: %s" % (case.__name__, failure), flush=True)
                if run.process is None or run.process.poll() is not None:
                    if case is not cases[-1]:
                        print("the program is not running: the remaining cases are skipped")
                        failures.append("(skipped)")
                    break
            except Exception:
                failures.append(case.__name__)
                print("ERROR %s:\n%s" % (case.__name__, traceback.format_exc()), flush=True)
                break
    finally:
        run.finish(bool(failures) or keep)
    print("%d of %d cases failed, %.0f s" % (len(failures), len(cases), time.monotonic() - START)
          if failures else "all %d cases passed, %.0f s" % (len(cases), time.monotonic() - START))
    return 1 if failures else 0


START = time.monotonic()

if __name__ == "__main__":
    sys.exit(main())
