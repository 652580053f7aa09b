"""Start-up of the Linux build against the smallest GTK program with one web view
(minimal_browser_gtk, from the same build). Run by bench/startup_linux.sh, which provides the screen
and the session bus; see there.

    /usr/bin/python3 bench/startup_linux.py REPRISA MINIMAL PAIRS

For each start: from the process's start to its window being mapped ("window"), and to the first
paint of a static page on the loopback server ("paint": the page's load handler asks for a marker
address two animation frames after load). reprisa takes no address at start, so the benchmark
types it into the address field (which has the focus) and presses Enter as soon as the window is
mapped; the minimal program gets it as its argument. The time that typing takes is part of
reprisa's paint figure and is printed beside it.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gtk",
                                "e2e"))
import harness as h  # noqa: E402

MINIMAL_TITLE = "Minimal browser"
IDLE_SECONDS = 20.0
SETTLE_SECONDS = 8.0  # the web process works for a few seconds after the first paint


class Bench:
    def __init__(self, reprisa, minimal):
        self.reprisa, self.minimal = reprisa, minimal
        self.titles = {"reprisa": h.main_caption(reprisa), "minimal": MINIMAL_TITLE}
        self.tmp = tempfile.mkdtemp(prefix="reprisa-bench-")
        video = os.path.join(self.tmp, "clip.webm")
        h.make_video(video)
        self.server = h.PageServer(video)
        self.url = self.server.url("/static.html")
        self.display = h.Display()
        self.runs = 0

    def environment(self):
        """Fresh configuration, data and home folders for every start: always a first run."""
        self.runs += 1
        return h.scratch_env(os.path.join(self.tmp, "run-%d" % self.runs))

    def start(self, which):
        """Starts one program and waits for its first paint; returns (process, window, figures)."""
        is_reprisa = which == "reprisa"
        args = [self.reprisa] if is_reprisa else [self.minimal, self.url]
        t0 = time.monotonic()
        process, window, shown = h.start_program(self.display, args, self.environment(),
                                                 self.titles[which], 30.0)
        typing, entered = 0.0, t0
        if is_reprisa:
            before = time.monotonic()
            h.xdotool("windowfocus", "--sync", window)
            h.xdotool("key", "--clearmodifiers", "ctrl+a")
            h.xdotool("type", "--delay", "0", self.url)
            h.xdotool("key", "Return")
            entered = time.monotonic()
            typing = entered - before
        painted = self.server.wait_for(["/painted"], since=t0, timeout=30.0)
        if not painted:
            h.stop(process)
            raise RuntimeError("%s: the page did not paint within 30 s" % which)
        return process, window, {"window": shown, "paint": painted[0].when - t0,
                                 "typing": typing, "load": painted[0].when - entered}

    def end(self, process, window):
        self.display.request_close(window)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            h.stop(process)

    def timed(self, which):
        process, window, figures = self.start(which)
        self.end(process, window)
        time.sleep(0.3)
        return figures

    def resources(self, which):
        """Resident memory, and CPU use over IDLE_SECONDS on the static page once it has settled,
        of the program and of the processes below it."""
        process, window, _ = self.start(which)
        time.sleep(SETTLE_SECONDS)
        family = [process.pid] + h.descendants(process.pid)
        names = {pid: h.process_name(pid) for pid in family}
        rss = {pid: h.resident_kib(pid) for pid in family}
        pss = {pid: h.proportional_kib(pid) for pid in family}
        cpu0 = {pid: h.cpu_seconds(pid) for pid in family}
        time.sleep(IDLE_SECONDS)
        cpu = {pid: (h.cpu_seconds(pid) - cpu0[pid]) / IDLE_SECONDS * 100 for pid in family}
        self.end(process, window)
        return [(names[pid] or "?", rss[pid], cpu[pid], pss[pid]) for pid in family if rss[pid] > 0]

    def close(self):
        self.server.close()
        self.display.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 1
    reprisa, minimal, pairs = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), \
        int(sys.argv[3])
    bench = Bench(reprisa, minimal)
    try:
        bench.timed("minimal")  # warms the disk cache and the font cache for both
        bench.timed("reprisa")
        results = {"reprisa": [], "minimal": []}
        for i in range(pairs):
            # The order alternates from pair to pair, so what one start leaves behind falls on
            # both programs alike.
            order = ("minimal", "reprisa") if i % 2 == 0 else ("reprisa", "minimal")
            for which in order:
                results[which].append(bench.timed(which))
            r, m = results["reprisa"][-1], results["minimal"][-1]
            print("pair %2d: reprisa window %4.0f ms paint %4.0f ms (typing %3.0f ms); "
                  "minimal window %4.0f ms paint %4.0f ms"
                  % (i + 1, r["window"] * 1000, r["paint"] * 1000, r["typing"] * 1000,
                     m["window"] * 1000, m["paint"] * 1000), flush=True)

        def median(which, key):
            return statistics.median(f[key] for f in results[which]) * 1000

        def ratio(key):
            return statistics.median(r[key] / m[key]
                                     for r, m in zip(results["reprisa"], results["minimal"]))

        usage = {which: bench.resources(which) for which in ("reprisa", "minimal")}
    finally:
        bench.close()

    for which in ("reprisa", "minimal"):
        for name, rss, cpu, pss in usage[which]:
            print("%-8s %-16s resident %6.1f MiB, proportional %6.1f MiB, idle CPU %5.2f %% of a "
                  "core" % (which, name, rss / 1024, pss / 1024, cpu))
    # The whole program: its own process and those below it (web, network), each shared page
    # counted once across them (PSS); the two programs were measured one after the other.
    total = {which: sum(u[3] for u in usage[which]) / 1024 for which in usage}
    program_cpu = usage["reprisa"][0][2]
    web = [u for u in usage["reprisa"] if u[0].startswith("WebKitWebProces")]
    print("reprisa typing the address: median %.0f ms; from Enter to the first paint: median %.0f "
          "ms (its web view and web process start after the window's first paint and it loads no "
          "address before one is typed; the minimal program starts loading before its window "
          "shows)" % (median("reprisa", "typing"),
                                                       median("reprisa", "load")))
    print("startup median ratio: window %.2f (reprisa %.0f ms, minimal %.0f ms), first paint %.2f "
          "(reprisa %.0f ms, minimal %.0f ms); goal 1.15. reprisa resident %.1f MiB, web process "
          "%.1f MiB; idle CPU %.2f %% of a core (goal 0.5 %%); memory of all its processes %.1f "
          "MiB PSS, %.2f of the minimal program's %.1f MiB (goal 0.8)"
          % (ratio("window"), median("reprisa", "window"), median("minimal", "window"),
             ratio("paint"), median("reprisa", "paint"), median("minimal", "paint"),
             usage["reprisa"][0][1] / 1024, sum(u[1] for u in web) / 1024, program_cpu,
             total["reprisa"], total["reprisa"] / total["minimal"], total["minimal"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
