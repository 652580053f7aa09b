"""Starts a program as a desktop's menu does, from its desktop file's Exec line, waits for its
window (the window class the desktop file names, owned by the started process), closes it as a
window manager's close box does (WM_DELETE_WINDOW) and expects exit code 0.

    desktop_launch.py DESKTOP_FILE EXPECTED_PROGRAM

EXPECTED_PROGRAM is the file the Exec line must resolve to on PATH (the installed program, not
a build elsewhere). Needs DISPLAY (an X server without a window manager).
"""
import configparser
import ctypes
import ctypes.util
import os
import select
import shlex
import shutil
import subprocess
import sys
import time

WINDOW_TIMEOUT = 60  # s, a loaded machine starting WebKit's processes
EXIT_TIMEOUT = 30

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x11.XPending.argtypes = [ctypes.c_void_p]
x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_void_p)]

# A window may vanish between its MapNotify and our questions: X errors are noted, not fatal.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
x11.XSetErrorHandler.argtypes = [ERROR_HANDLER]
x11.XSetErrorHandler.restype = ctypes.c_void_p
ignore_errors = ERROR_HANDLER(lambda display, event: 0)
x11.XSetErrorHandler(ignore_errors)

MAP_NOTIFY, CLIENT_MESSAGE = 19, 33
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
ANY_PROPERTY_TYPE = 0


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


def window_property(dpy, window, name):
    """The raw bytes (format 8) or the list of longs (format 32) of a property, or None."""
    atom = x11.XInternAtom(dpy, name, 0)
    actual_type, actual_format = ctypes.c_ulong(), ctypes.c_int()
    count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    status = x11.XGetWindowProperty(dpy, window, atom, 0, 1024, 0, ANY_PROPERTY_TYPE,
                                    ctypes.byref(actual_type), ctypes.byref(actual_format),
                                    ctypes.byref(count), ctypes.byref(after), ctypes.byref(data))
    if status != 0 or not data.value:
        return None
    try:
        if actual_format.value == 8:
            return ctypes.string_at(data.value, count.value)
        if actual_format.value == 32:
            return list((ctypes.c_long * count.value).from_address(data.value))
        return None
    finally:
        x11.XFree(data)


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

    dpy = x11.XOpenDisplay(None)
    if not dpy:
        print("FAIL: cannot open the X display %r" % os.environ.get("DISPLAY"))
        return 1
    root = x11.XDefaultRootWindow(dpy)
    # No window manager: top-level windows are the root's children, their mapping reported here.
    x11.XSelectInput(dpy, root, SUBSTRUCTURE_NOTIFY_MASK)
    x11.XFlush(dpy)

    started = time.monotonic()
    program = subprocess.Popen(argv)
    print("started %s (pid %d) from %s" % (" ".join(argv), program.pid, desktop_file))
    try:
        window = None
        fd = x11.XConnectionNumber(dpy)
        event = XEvent()
        deadline = started + WINDOW_TIMEOUT
        while window is None:
            while x11.XPending(dpy) and window is None:
                x11.XNextEvent(dpy, ctypes.byref(event))
                if event.type != MAP_NOTIFY:
                    continue
                mapped = ctypes.cast(ctypes.byref(event), ctypes.POINTER(XMapEvent)).contents
                if mapped.override_redirect:
                    continue
                pid = window_property(dpy, mapped.window, b"_NET_WM_PID")
                class_hint = window_property(dpy, mapped.window, b"WM_CLASS") or b""
                classes = [c.decode("utf-8", "replace") for c in class_hint.split(b"\0") if c]
                if pid == [program.pid] and wm_class in classes:
                    window = mapped.window
                elif pid == [program.pid]:
                    print("FAIL: the program's window has class %r, the desktop file names %r"
                          % (classes, wm_class))
                    return 1
            if window is not None:
                break
            if program.poll() is not None:
                print("FAIL: the program ended (exit code %d) before it showed a window"
                      % program.returncode)
                return 1
            left = deadline - time.monotonic()
            if left <= 0:
                print("FAIL: no window of class %r within %d s" % (wm_class, WINDOW_TIMEOUT))
                return 1
            select.select([fd], [], [], min(left, 0.5))
        title = (window_property(dpy, window, b"_NET_WM_NAME") or b"").decode("utf-8", "replace")
        print("window %#x %r of class %r mapped after %.1f s"
              % (window, title, wm_class, time.monotonic() - started))

        message = XClientMessageEvent()
        message.type = CLIENT_MESSAGE
        message.window = window
        message.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        message.format = 32
        message.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        message.data[1] = 0  # CurrentTime
        x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(message))
        x11.XFlush(dpy)
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


if __name__ == "__main__":
    sys.exit(main())
