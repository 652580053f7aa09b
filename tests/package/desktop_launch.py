"""Starts a program as a desktop's menu does, from its desktop file's Exec line, waits for its
window (the window class the desktop file names, owned by the started process), closes it as a
window manager's close box does (WM_DELETE_WINDOW) and expects exit code 0.

    desktop_launch.py DESKTOP_FILE EXPECTED_PROGRAM

EXPECTED_PROGRAM is the file the Exec line must resolve to on PATH (the installed program, not
a build elsewhere). Needs DISPLAY (an X server without a window manager).
"""
import configparser
import os
import shlex
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gtk", "e2e"))
import harness as h  # noqa: E402

WINDOW_TIMEOUT = 60  # s, a loaded machine starting WebKit's processes
EXIT_TIMEOUT = 30


def exec_argv(desktop_file):
    """The Exec line as an argument list, field codes (%f, %U, ...) dropped; and the class."""
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    with open(desktop_file, encoding="utf-8") as f:
        parser.read_file(f)
    entry = parser["Desktop Entry"]
    argv = [arg for arg in shlex.split(entry["Exec"]) if not (len(arg) == 2 and arg[0] == "%")]
    return argv, entry.get("StartupWMClass", os.path.basename(argv[0]))


def main():
    desktop_file, expected = sys.argv[1], os.path.realpath(sys.argv[2])
    argv, wm_class = exec_argv(desktop_file)
    resolved = shutil.which(argv[0])
    if resolved is None or os.path.realpath(resolved) != expected:
        print("FAIL: Exec's %r resolves to %r, not the installed %s" % (argv[0], resolved, expected))
        return 1

    try:
        display = h.Display()
    except RuntimeError as e:
        print("FAIL: %s" % e)
        return 1
    display.watch_maps()

    started = time.monotonic()
    program = subprocess.Popen(argv)
    print("started %s (pid %d) from %s" % (" ".join(argv), program.pid, desktop_file))
    try:
        deadline = started + WINDOW_TIMEOUT
        found = None
        while found is None:
            if program.poll() is not None:
                print("FAIL: the program ended (exit code %d) before it showed a window"
                      % program.returncode)
                return 1
            left = deadline - time.monotonic()
            if left <= 0:
                print("FAIL: no window of class %r within %d s" % (wm_class, WINDOW_TIMEOUT))
                return 1
            found = display.wait_for_window(
                lambda w: display.window_property(w, b"_NET_WM_PID") == [program.pid],
                min(left, 0.5))
        window = found[0]
        class_hint = display.window_property(window, b"WM_CLASS") or b""
        classes = [c.decode("utf-8", "replace") for c in class_hint.split(b"\0") if c]
        if wm_class not in classes:
            print("FAIL: the program's window has class %r, the desktop file names %r"
                  % (classes, wm_class))
            return 1
        title = (display.window_property(window, b"_NET_WM_NAME") or b"").decode("utf-8",
                                                                                 "replace")
        print("window %#x %r of class %r mapped after %.1f s"
              % (window, title, wm_class, time.monotonic() - started))

        display.request_close(window)
        try:
            code = program.wait(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            print("FAIL: the program did not end within %d s of its window's close" % EXIT_TIMEOUT)
            return 1
        if code != 0:
            print("FAIL: the program ended with exit code %d after its window's close" % code)
            return 1
        print("closed, exit code 0")
        return 0
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        display.close()


if __name__ == "__main__":
    sys.exit(main())
