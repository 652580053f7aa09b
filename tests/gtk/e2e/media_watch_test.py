"""The Linux program brings a page's music back by itself, heard from outside: a loopback radio
(radio.py) whose live stream drops, stalls, or plays in a cross-origin frame, in a minimised
window or in a player the page never put into its document, or is refused from the start, each
in the middle of a 10:00 interval; a song that ends, a player that its page pauses, a page that
reconnects its own player and a second player that stalls beside the radio are left alone. "The
music plays" is the page's own report of its player's time moving.

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
BACK_AFTER_REFUSED = 60.0  # the same when the stream is refused for 20 s from the page's start
LEFT_ALONE = 40.0    # seconds after a song's end or a pause without a page request
# Seconds after a fault that the page heals itself in, without a page request: more than the
# program took before it judged the page's sound as one (a failure, then the first retry's 5 s;
# for a stall 15 s without progress first).
KEPT_RECONNECTED = 15.0
KEPT_STALLED_BESIDE = 26.0


def refuse_5_s(run):
    run.radio.refuse(5)


def refuse_20_s(run):
    run.radio.refuse(20)


def stall_5_s(run):
    run.radio.stall(5)


def drop(run):
    run.radio.drop()


def stall_side(run):
    check(run.radio.stall(path=radio.SIDE) > 0, "the second player had no stream open")


# (case, page, fault or None for a player that stops by itself, when: "playing" (after 3 s of
# music) or "open" (before the page is opened), what must follow: music back within seconds, or
# no page request within seconds and the page's own player playing at its end; the window hidden)
TABLE = [
    ("dropped_and_refused", "/radio.html", refuse_5_s, "playing", ("back", BACK_WITHIN), False),
    ("stalled", "/radio.html", stall_5_s, "playing", ("back", BACK_WITHIN), False),
    ("song_ended", "/song.html", None, "playing", None, False),
    ("paused_by_page", "/paused.html", None, "playing", None, False),
    ("dropped_in_cross_origin_frame", "/framed.html", refuse_5_s, "playing",
     ("back", BACK_WITHIN), False),
    ("dropped_while_minimised", "/radio.html", refuse_5_s, "playing", ("back", BACK_WITHIN), True),
    ("detached_player_dropped", "/detached.html", refuse_5_s, "playing", ("back", BACK_WITHIN),
     False),
    ("refused_from_the_start", "/radio.html", refuse_20_s, "open", ("back", BACK_AFTER_REFUSED),
     False),
    ("page_reconnects_itself", "/reconnect.html", drop, "playing", ("kept", KEPT_RECONNECTED),
     False),
    ("second_player_stalls", "/two.html", stall_side, "playing", ("kept", KEPT_STALLED_BESIDE),
     False),
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


def heard_player(run, since):
    """radio.heard() of the page's first player only (not of a second one beside it)."""
    return [h for h in run.radio.heard(since) if h[2]["id"] == "player"]


def playing_for(run, seconds, since):
    def played():
        heard = heard_player(run, since)
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


def heard_back(run, name, faulted, within):
    back = run.radio.wait_back(faulted, within)
    check(back, "the music did not play again within %.0f s of the fault" % within,
          "page requests since: %s" % run.radio.log(radio.PAGES, faulted),
          "the player's last reports:", *last_states(run, faulted))
    run.log("%s: music back %.1f s after the fault" % (name, back - faulted))


def kept(run, name, faulted, seconds):
    """No page request for seconds after the fault, and the page's first player plays at the
    end."""
    loads = []
    while not loads and time.monotonic() < faulted + seconds:
        time.sleep(0.2)
        loads = run.radio.log(radio.PAGES, faulted)
    check(not loads, "the page was loaded again after the fault", *loads,
          "the players' last reports:", *last_states(run, faulted))
    end = time.monotonic()
    check(any(p for _, p, _ in heard_player(run, end - 2.0)),
          "the page's player did not play %.0f s after the fault" % seconds,
          *last_states(run, end - 2.0))
    others = [p for _, p, s in run.radio.heard(end - 2.0) if s["id"] != "player"]
    check(not any(others), "a second player still played: the fault did not reach it",
          *last_states(run, end - 2.0))
    run.log("%s: no page request within %.0f s of the fault, the music plays" % (name, seconds))


def make_case(name, page, fault, when, expected, hidden):
    def case(run):
        asked = time.monotonic()
        if when == "open":
            fault(run)
        run.open_address(run.radio.url(page))
        opened = e.eventually(lambda: first_report(run, asked), 20.0)
        if when == "open":
            heard_back(run, name, asked, expected[1])
            return
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
            playing_for(run, 3.0, opened)
            faulted = time.monotonic()
            fault(run)
            (heard_back if expected[0] == "back" else kept)(run, name, faulted, expected[1])
        finally:
            if hidden:
                h.xdotool("windowmap", "--sync", run.window)
    case.__name__ = "case_" + name
    return case


CASES = [case_start] + [make_case(*row) for row in TABLE]

if __name__ == "__main__":
    sys.exit(e.main(Run, CASES))
