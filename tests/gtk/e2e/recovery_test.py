"""The Linux program left alone brings its page back by itself, seen from outside: its web process
killed in the middle of a long interval, a wake from sleep told on a system bus of the test's own,
and a site that refuses connections across a reload tick and comes back.

    /usr/bin/python3 recovery_test.py [--keep] PROGRAM [ARTIFACT_FOLDER]

Needs what e2e_test.py needs (run-e2e provides the screen and the session bus) and dbus-daemon.
"""
import os
import subprocess
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as e  # noqa: E402
import harness as h  # noqa: E402
from e2e_test import check  # noqa: E402

PAGE = "/index.html"
BACK_WITHIN = 2.0  # seconds from the web process's end to the page requested and drawn


class SystemBus:
    """A bus daemon of the test's own, given to the program as its system bus, on which the test
    stands in for logind."""

    LOGIND = "org.freedesktop.login1"

    def __init__(self, folder):
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1",
             "--address=unix:path=" + os.path.join(folder, "system_bus")],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = self.daemon.stdout.readline().strip()
        check(self.address, "dbus-daemon gave no address")
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        owned = self._bus_call("RequestName", GLib.Variant("(su)", (self.LOGIND, 4)), "(u)")
        check(owned == (1,), "could not own %s on the test's bus: %s" % (self.LOGIND, owned))

    def _bus_call(self, method, args, reply):
        result = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", method, args,
                                    GLib.VariantType(reply), Gio.DBusCallFlags.NONE, 5000, None)
        return result.unpack()

    def connected(self, pid):
        """Whether the process has a connection to the bus."""
        for name in self._bus_call("ListNames", None, "(as)")[0]:
            if name.startswith(":") and name != self.bus.get_unique_name():
                try:
                    if self._bus_call("GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)),
                                      "(u)") == (pid,):
                        return True
                except GLib.Error:
                    continue
        return False

    def prepare_for_sleep(self, going):
        self.bus.emit_signal(None, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                             "PrepareForSleep", GLib.Variant("(b)", (going,)))
        self.bus.flush_sync(None)

    def close(self):
        self.bus.close_sync(None)
        h.stop(self.daemon)


class Run(e.Run):
    """The end-to-end run, with a system bus of the test's own and the locale pinned."""

    def __init__(self, program, artifacts):
        super().__init__(program, artifacts)
        self.env["LC_ALL"] = "C.UTF-8"
        self.system_bus = SystemBus(self.tmp)
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self.system_bus.address

    def set_interval(self, text):
        """Applies an interval; returns when the countdown restarted."""
        self.enter_text(e.field(self.app, e.INTERVAL), text)
        e.click(e.find_accessible(self.app, e.SET_BUTTON, (e.Atspi.Role.PUSH_BUTTON,)))
        applied = time.monotonic()
        e.wait_text(e.field(self.app, e.CURRENT), text, 2.0)
        return applied

    def wait_shown(self, since, deadline, what):
        """The page requested and drawn after `since`, both by `deadline`; returns the request."""
        request = self.server.wait_for([PAGE], since=since, timeout=deadline - time.monotonic())
        check(request, "the page was not requested %s" % what, self.server.log(since=since))
        painted = self.server.wait_for(["/painted"], since=request[0].when,
                                       timeout=deadline - time.monotonic())
        check(painted, "the page was requested but not drawn %s" % what)
        self.check_page("index")
        return request[0]

    def finish(self, failed):
        super().finish(failed)
        self.system_bus.close()


def case_start(run):
    """With an interval of 01:00, the page opened and drawn."""
    run.start()
    run.interval_set = run.set_interval("01:00")
    run.open_address(run.server.url(PAGE))
    run.wait_shown(run.interval_set, time.monotonic() + 10.0, "after Enter")


def case_web_process_killed(run):
    """The web process killed in the middle of the interval: the page is back within 2 s."""
    victims = h.web_processes(run.process.pid)
    check(victims, "no web process below the program")
    killed = time.monotonic()
    check(killed - run.interval_set < 45, "too late in the interval to tell a recovery from a tick")
    for pid in victims:
        os.kill(pid, 9)
    back = run.wait_shown(killed, killed + BACK_WITHIN, "within %.0f s of the web process's end"
                          % BACK_WITHIN)
    run.log("web process killed: page requested after %.2f s" % (back.when - killed))


def case_wake_from_sleep(run):
    """logind's PrepareForSleep(false) reloads at once and starts the countdown again; going to
    sleep does nothing."""
    e.eventually(lambda: check(run.system_bus.connected(run.process.pid),
                               "the program never joined the system bus"), 10.0)
    countdown = e.field(run.app, e.COUNTDOWN)
    e.wait_text(countdown, "00:(5[0-5]|[0-4][0-9])", 10.0)  # well into the interval
    asleep = time.monotonic()
    run.system_bus.prepare_for_sleep(True)
    time.sleep(0.5)  # the reload must not come of this: the next signal marks its time
    woke = time.monotonic()
    run.system_bus.prepare_for_sleep(False)
    back = run.wait_shown(asleep, woke + 3.0, "after the wake")
    check(back.when >= woke, "going to sleep reloaded the page")
    e.wait_text(countdown, "0(0:59|1:00)", 2.0)
    run.log("woke: page requested after %.2f s, countdown restarted" % (back.when - woke))


def case_site_down_across_a_tick(run):
    """Interval 00:30; the site refuses connections across a reload tick and is back 5 s after
    it: the page is back long before the next tick."""
    applied = run.set_interval("00:30")
    tick = applied + 30.0
    time.sleep(max(0.0, tick - 5.0 - time.monotonic()))
    run.server.go_down()
    time.sleep(max(0.0, tick + 5.0 - time.monotonic()))
    run.server.come_back()
    up = time.monotonic()
    back = run.wait_shown(up, tick + 20.0, "within 15 s of the site's return (the next tick "
                          "comes 25 s after it)")
    run.log("site back: page requested %.2f s after the site returned" % (back.when - up))


CASES = [case_start, case_web_process_killed, case_wake_from_sleep, case_site_down_across_a_tick]

if __name__ == "__main__":
    sys.exit(e.main(Run, CASES))
