"""The silences a listener of reprisa meets when a radio stream fails; see bench/silence_linux.sh,
which provides the screen and the session bus.

    /usr/bin/python3 bench/silence_linux.py PROGRAM MINUTES SEED

The program plays the loopback radio's page (tests/gtk/e2e/radio.py: a live MP3 stream sent at
its bit rate) with an interval of 23:59, given as a user gives it. Faults come on a random
schedule seeded by SEED, at least 30 s apart and one every 2 minutes on average, each of a kind
drawn at random. For each fault: the seconds until the page reported its music playing again.
At the end: the longest silence and the seconds of silence per hour.
"""
import os
import random
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gtk",
                                "e2e"))
import e2e_test as e  # noqa: E402
import harness as h  # noqa: E402
import radio  # noqa: E402

PAGE = "/radio.html"
MEAN_GAP, MIN_GAP = 120.0, 30.0
GOAL = 30.0  # seconds: no silence longer


def kill_web_process(r, process):
    for pid in h.web_processes(process.pid):
        os.kill(pid, 9)


def page_503(r, _):
    # A 503 alone is heard only at the next load: the stream goes with it, as when a station's
    # server restarts.
    r.page_down(20)
    r.drop()


FAULTS = [
    ("stream connection closed", lambda r, _: r.drop()),
    ("stream stalled", lambda r, _: r.stall()),
    ("stream refused for 20 s", lambda r, _: r.refuse(20)),
    ("page 503 for 20 s", page_503),
    ("web process killed", kill_web_process),
]


def type_into(app, name, text):
    e.click(e.field(app, name))
    h.xdotool("key", "--clearmodifiers", "ctrl+a")
    h.xdotool("type", "--delay", "5", text)


def outcome(r, fault, until):
    """What a listener heard after a fault, until the next one."""
    before = [playing for when, playing, _ in r.heard(fault - 2.0) if when < fault]
    already = "" if any(before) else " (silent already)"
    back = r.back(fault, until)
    if back is not None:
        return "music back after %6.1f s%s" % (back - fault, already)
    # Music that came back within a gap shorter than a silence was never silent.
    around = [(when, playing, state) for when, playing, state in r.heard(fault - 10.0)
              if when <= until]
    if any(playing for _, playing, _ in around) and \
            not any(b > fault for a, b in radio.silences(around, until)):
        return "no silence (no gap over %.1f s)" % radio.GAP
    return "music NOT back within %.0f s%s" % (until - fault, already)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 1
    program, minutes, seed = os.path.abspath(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    tmp = tempfile.mkdtemp(prefix="reprisa-silence-")
    env = h.scratch_env(tmp)
    r = radio.Radio(tmp)
    display = h.Display()
    process = None
    rng = random.Random(seed)
    try:
        log = open(os.path.join(tmp, "program.log"), "w")
        process, window, _ = h.start_program(display, [program], env, h.main_caption(program),
                                             30.0, log, tmp)
        app = e.accessible_app(process.pid)
        h.xdotool("windowfocus", "--sync", window)
        type_into(app, e.INTERVAL, "23:59")
        e.click(e.find_accessible(app, e.SET_BUTTON, (e.Atspi.Role.PUSH_BUTTON,)))
        type_into(app, e.ADDRESS, r.url(PAGE))
        h.xdotool("key", "Return")
        start = r.wait_playing(time.monotonic() - 1, 30.0)
        if start is None:
            raise RuntimeError("the radio page did not play within 30 s of Enter")
        end = start + 60 * minutes
        print("silence: %d min, a fault every %.0f s on average (seed %d), interval 23:59, %s"
              % (minutes, MEAN_GAP, seed, program), flush=True)

        faults = []  # (time, kind)
        while True:
            due = (faults[-1][0] if faults else start) + MIN_GAP + \
                rng.expovariate(1.0 / (MEAN_GAP - MIN_GAP))
            kind, inject = FAULTS[rng.randrange(len(FAULTS))]
            time.sleep(max(0.0, min(due, end) - time.monotonic()))
            if faults:
                report(r, len(faults), *faults[-1], min(due, end), start)
            if due >= end:
                break
            if process.poll() is not None:
                raise RuntimeError("the program ended (exit code %s)" % process.returncode)
            inject(r, process)
            faults.append((time.monotonic(), kind))
        display.request_close(window)
        process.wait(15)
    finally:
        if process is not None and process.poll() is None:
            h.stop(process)
        r.close()
        display.close()
        shutil.rmtree(tmp, ignore_errors=True)

    spans = radio.silences(r.heard(start), end)
    lengths = [min(b, end) - a for a, b in spans]
    longest = max(lengths, default=0.0)
    print("silence %d min, %d faults: longest silence %.1f s (goal: none longer than %.0f s: %s), "
          "%.0f s of silence per hour in %d silences"
          % (minutes, len(faults), longest, GOAL, "met" if longest <= GOAL else "NOT met",
             sum(lengths) * 3600 / (end - start), len(spans)), flush=True)
    return 0


def report(r, number, fault, kind, until, start):
    text = outcome(r, fault, until)
    m, s = divmod(fault - start, 60)
    print("fault %3d at %3d:%02d  %-26s %s" % (number, m, s, kind, text), flush=True)


if __name__ == "__main__":
    sys.exit(main())
