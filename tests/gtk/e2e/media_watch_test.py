"""The Linux program brings a page's music back by itself, heard from outside: a loopback radio
(radio.py) whose live stream drops, stalls, or plays in a cross-origin frame or in a minimised
window, each in the middle of a 10:00 interval; a song that ends and a player that its page
pauses are left alone. "The music plays" is the page's own report of its player's time moving.

    /usr/bin/python3 media_watch_test.py [--keep] PROGRAM [ARTIFACT_FOLDER]

Needs what e2e_test.py needs (run-e2e provides the screen and the session bus).
"""
import os
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as e  # noqa: E402
import harness as h  # noqa: E402
import radio  # noqa: E402
from e2e_test import check  # noqa: E402

BACK_WITHIN = 30.0   # seconds from the fault to the music heard again
LEFT_ALONE = 40.0    # seconds after a song's end or a pause without a page request


def refuse_5_s(run):
    run.radio.refuse(5)


def stall_5_s(run):
    run.radio.stall(5)


# (case, page, fault or None for a player that stops by itself, the window hidden)
TABLE = [
    ("dropped_and_refused", "/radio.html", refuse_5_s, False),
    ("stalled", "/radio.html", stall_5_s, False),
    ("song_ended", "/song.html", None, False),
    ("paused_by_page", "/paused.html", None, False),
    ("dropped_in_cross_origin_frame", "/framed.html", refuse_5_s, False),
    ("dropped_while_minimised", "/radio.html", refuse_5_s, True),
]


class Run(e.Run):
    """The end-to-end run against the radio instead of the test pages."""

    def __init__(self, program, artifacts):  # pylint: disable=super-init-not-called
        self.program, self.artifacts = program, artifacts
        self.title = h.main_caption(program)
        self.tmp = tempfile.mkdtemp(prefix="reprisa-radio-")
        self.env = h.scratch_env(self.tmp)
        self.env["NO_AT_BRIDGE"] = "0"
        self.set_up_display()
        self.server = self.radio = radio.Radio(self.tmp)
        self.process = self.window = None
        self.starts = self.shots = 0


def case_start(run):
    """The program with an interval of 10:00."""
    run.start()
    run.enter_text(e.field(run.app, e.INTERVAL), "10:00")
    e.click(e.find_accessible(run.app, e.SET_BUTTON, (e.Atspi.Role.PUSH_BUTTON,)))
    e.wait_text(e.field(run.app, e.CURRENT), "10:00", 2.0)


def last_states(run, since):
    return [s for _, _, s in run.radio.heard(since)[-3:]]


def playing_for(run, seconds, since):
    def played():
        heard = run.radio.heard(since)
        check(heard and heard[-1][1] and heard[-1][2]["t"] >= seconds,
              "the player did not play %.0f s" % seconds, *last_states(run, since))
    e.eventually(played, seconds + 10.0)


def seen_hidden(run):
    states = last_states(run, time.monotonic() - 2.0)
    check(states and states[-1]["hidden"], "the page did not see itself hidden", *states)


def first_report(run, asked):
    """When the page opened after asked first reported: from then on the reports are its own,
    not the page before it, which played on until the new one arrived."""
    loads = {str(r.load) for r in run.radio.log(radio.PAGES, asked) if r.load}
    reports = [r for r in run.radio.log(["/report"], asked) if r.query.get("load") in loads]
    check(reports, "the page opened sent no report yet")
    return reports[0].when


def left_alone(run, page, opened):
    """The player stops by itself: then no page load for LEFT_ALONE seconds."""
    def stopped():
        heard = run.radio.heard(opened)
        check(heard and (heard[-1][2]["ended"] or heard[-1][2]["paused"]),
              "%s did not stop by itself" % page, *last_states(run, opened))
        return heard[-1][0]
    since = e.eventually(stopped, radio.SONG_SECONDS + 10.0)
    loads = []
    while not loads and time.monotonic() < since + LEFT_ALONE:
        time.sleep(0.2)
        loads = run.radio.log(radio.PAGES, since)
    check(not loads, "the page was loaded again after its player stopped", *loads)


def heard_back(run, name, fault, opened):
    playing_for(run, 3.0, opened)
    faulted = time.monotonic()
    fault(run)
    back = run.radio.wait_back(faulted, BACK_WITHIN)
    check(back, "the music did not play again within %.0f s of the fault" % BACK_WITHIN,
          "page requests since: %s" % run.radio.log(radio.PAGES, faulted),
          "the player's last reports:", *last_states(run, faulted))
    run.log("%s: music back %.1f s after the fault" % (name, back - faulted))


def make_case(name, page, fault, hidden):
    def case(run):
        asked = time.monotonic()
        run.open_address(run.radio.url(page))
        opened = e.eventually(lambda: first_report(run, asked), 20.0)
        check(run.radio.wait_playing(opened, 20.0), "%s never played" % page,
              *last_states(run, opened))
        if fault is None:
            left_alone(run, page, opened)
            return
        if hidden:
            h.xdotool("windowunmap", "--sync", run.window)
        try:
            if hidden:
                e.eventually(lambda: seen_hidden(run), 10.0)
            heard_back(run, name, fault, opened)
        finally:
            if hidden:
                h.xdotool("windowmap", "--sync", run.window)
    case.__name__ = "case_" + name
    return case


CASES = [case_start] + [make_case(*row) for row in TABLE]

if __name__ == "__main__":
    sys.exit(e.main(Run, CASES))
