"""Memory of reprisa over a long run; see bench/soak_linux.sh, which provides the screen and the
session bus.

    /usr/bin/python3 bench/soak_linux.py PROGRAM MINUTES INTERVAL_SECONDS

The program gets its address and interval as a user gives them (typed into its fields). Once a
minute: the program's resident set (RSS), proportional set (PSS) and CPU use, its web process's
PSS, private pages (USS: unlike PSS, not moved by other processes mapping the same libraries),
anonymous memory (what the program's memory budget for it measures), RSS and CPU use, the
network process's PSS, the PSS of the program and every process below it together, the reloads
so far, how often the web process was replaced by a fresh one (a new web process id: the program
does so at a reload when the old one has grown), and whether the media played after the last
one.
"""
import os
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gtk",
                                "e2e"))
import e2e_test as e  # noqa: E402
import harness as h  # noqa: E402

SOAK_PAGE = "/soak.html"
FROM_MINUTE = 10


def mib(kib):
    return kib / 1024.0


def sample(pid):
    """Memory figures in KiB of the program and the processes below it."""
    web = h.web_processes(pid)
    network = [p for p in h.descendants(pid)
               if (h.process_name(p) or "").startswith("WebKitNetworkP")]
    return {"rss": h.resident_kib(pid), "pss": h.proportional_kib(pid),
            "web_pss": sum(h.proportional_kib(p) for p in web),
            "web_rss": sum(h.resident_kib(p) for p in web),
            "web_uss": sum(h.private_kib(p) for p in web),
            "web_anon": sum(h.anonymous_kib(p) for p in web),
            "net_pss": sum(h.proportional_kib(p) for p in network), "web_pids": web,
            "all_pss": h.proportional_kib(pid) + sum(h.proportional_kib(p)
                                                     for p in h.descendants(pid)),
            "cpu": h.cpu_seconds(pid), "web_cpu": sum(h.cpu_seconds(p) for p in web)}


def summary(samples, minutes, interval):
    """The growth from minute 10 on (from the first minute in a shorter run): from that minute to
    the last, and of the lowest figure of the first and of the last ten minutes, which the
    collector's saw-tooth (it frees old pages' objects now and then) does not move."""
    base = FROM_MINUTE if len(samples) > FROM_MINUTE else 1
    window = samples[base - 1:]
    span = min(10, max(1, len(window) // 2))
    first, last = window[0], window[-1]

    def floor(part, key):
        return min(s[key] for s in part)

    return ("soak %d min, reload every %d s: web process PSS %.1f -> %.1f MiB from minute %d "
            "(%+.1f; goal < +10), its lowest in the first and the last %d minutes %.1f -> %.1f "
            "MiB (%+.1f; private pages %+.1f); program RSS %.1f -> %.1f MiB (%+.1f); program "
            "RSS + web process PSS %.1f MiB at the end; all processes' PSS %.1f -> %.1f MiB "
            "(%+.1f); web process anonymous memory %.1f -> %.1f MiB (%+.1f, the budget's "
            "measure); web process replaced %d times"
            % (minutes, interval, mib(first["web_pss"]), mib(last["web_pss"]), base,
               mib(last["web_pss"] - first["web_pss"]), span,
               mib(floor(window[:span], "web_pss")), mib(floor(window[-span:], "web_pss")),
               mib(floor(window[-span:], "web_pss") - floor(window[:span], "web_pss")),
               mib(floor(window[-span:], "web_uss") - floor(window[:span], "web_uss")),
               mib(first["rss"]), mib(last["rss"]), mib(last["rss"] - first["rss"]),
               mib(last["rss"] + last["web_pss"]), mib(first["all_pss"]), mib(last["all_pss"]),
               mib(last["all_pss"] - first["all_pss"]), mib(first["web_anon"]),
               mib(last["web_anon"]), mib(last["web_anon"] - first["web_anon"]),
               last["recycles"]))


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 1
    program, minutes, interval = os.path.abspath(sys.argv[1]), int(sys.argv[2]), \
        int(sys.argv[3])
    tmp = tempfile.mkdtemp(prefix="reprisa-soak-")
    env = h.scratch_env(tmp)
    video = os.path.join(tmp, "clip.webm")
    h.make_video(video)
    files = h.make_media(tmp)
    page = h.media_page("soak", [("video", "video", "/clip.mp4"), ("audio", "audio", "/tone.mp3")],
                        files, loop=True, listen=False)
    server = h.PageServer(video, files, {SOAK_PAGE: page})
    display = h.Display()
    process = None
    try:
        log = open(os.path.join(tmp, "program.log"), "w")
        process, window, _ = h.start_program(display, [program], env, h.main_caption(program),
                                             30.0, log, tmp)
        app = e.accessible_app(process.pid)
        h.xdotool("windowfocus", "--sync", window)
        e.click(e.field(app, e.INTERVAL))
        h.xdotool("key", "--clearmodifiers", "ctrl+a")
        h.xdotool("type", "--delay", "5", "%02d:%02d" % divmod(interval, 60))
        e.click(e.find_accessible(app, e.SET_BUTTON, (e.Atspi.Role.PUSH_BUTTON,)))
        e.click(e.field(app, e.ADDRESS))
        h.xdotool("key", "--clearmodifiers", "ctrl+a")
        h.xdotool("type", "--delay", "0", server.url(SOAK_PAGE))
        h.xdotool("key", "Return")
        start = time.monotonic()
        if not server.wait_for([SOAK_PAGE], since=start - 1, timeout=10.0):
            raise RuntimeError("the soak page was not requested after Enter")
        print("soak: %d min, reload every %d s, %s" % (minutes, interval, program), flush=True)

        # The engine starts the page in a web process of its own, not in the one it made for the
        # empty view: the web processes count from the page's first report on.
        if not server.wait_for(["/report"], since=start - 1, timeout=30.0):
            raise RuntimeError("the soak page did not report")
        samples = []
        seen_web, recycles = set(h.web_processes(process.pid)), 0
        for minute in range(1, minutes + 1):
            # The web processes are looked at every few seconds, so that each new one is seen.
            while time.monotonic() < start + 60 * minute:
                time.sleep(min(5.0, max(0.0, start + 60 * minute - time.monotonic())))
                fresh = set(h.web_processes(process.pid)) - seen_web
                recycles += 1 if fresh and seen_web else 0
                seen_web |= fresh
            if process.poll() is not None:
                raise RuntimeError("the program ended (exit code %s) in minute %d"
                                   % (process.returncode, minute))
            figures = sample(process.pid)
            figures["recycles"] = recycles
            loads = server.log([SOAK_PAGE])
            # The last report of the page, from whichever load sent it.
            reports = server.log(["/report"], since=loads[-2].when if len(loads) > 1 else 0.0)
            states = [h.media_states(r) for r in reports[-1:]]
            playing = bool(states) and all(
                not s["paused"] and not s["err"] and s["t"] > 0 for s in states[-1].values())
            # A page that stopped being reloaded has only old reports: they tell nothing now.
            quiet = time.monotonic() - loads[-1].when if loads else float("inf")
            media = ("playing" if playing else "NOT playing: %s" % (states[-1:] or "no report"))
            if quiet > 2 * interval + 10:
                media = "NOT playing: no load for %.0f s" % quiet
            before = samples[-1] if samples else {"cpu": 0.0, "web_cpu": 0.0, "web_pids": []}
            # CPU use in the last minute, in % of a core (the web process's only while it is
            # the same one).
            cpu = (figures["cpu"] - before["cpu"]) / 0.6
            web_cpu = (figures["web_cpu"] - before["web_cpu"]) / 0.6 \
                if before["web_pids"] == figures["web_pids"] else float("nan")
            samples.append(figures)
            print("minute %3d: program RSS %6.1f MiB (PSS %6.1f, CPU %4.1f %%), web process PSS "
                  "%6.1f MiB (USS %6.1f, anonymous %6.1f, RSS %6.1f, CPU %4.1f %%, pid %s), "
                  "network process PSS "
                  "%5.1f MiB, all processes PSS %6.1f MiB; %4d loads, %d replaced, media %s"
                  % (minute, mib(figures["rss"]), mib(figures["pss"]), cpu,
                     mib(figures["web_pss"]), mib(figures["web_uss"]), mib(figures["web_anon"]),
                     mib(figures["web_rss"]),
                     web_cpu,
                     ",".join(map(str, figures["web_pids"])), mib(figures["net_pss"]),
                     mib(figures["all_pss"]), len(loads), recycles, media),
                  flush=True)
        display.request_close(window)
        process.wait(15)
    finally:
        if process is not None and process.poll() is None:
            h.stop(process)
        server.close()
        display.close()
        shutil.rmtree(tmp, ignore_errors=True)

    print(summary(samples, minutes, interval), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
