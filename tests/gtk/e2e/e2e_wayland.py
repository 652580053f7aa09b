"""The Linux program end to end under Wayland, on a headless Weston: the X11 run's cases where
Wayland allows them, and what the program promises there instead of a window position.

    /usr/bin/python3 e2e_wayland.py [--keep] PROGRAM [ARTIFACT_FOLDER]

Needs WAYLAND_DISPLAY (a Weston with --debug and a renderer, for its screenshooter) and a session
bus; run-e2e-wayland provides both. A Wayland compositor takes no input from other clients and the
headless Weston has no seat, so the accessibility tree stands in for mouse and keyboard: its
actions click buttons, menus and the window's own title-bar buttons (GTK draws them under
Weston), its text editing fills the fields, the address field's "activate" is the Enter key. No
client can place its window or learn where it is: the compositor does. So the cases check the
window's size and maximised state across starts, and that the position stored by an earlier X11
session is kept as it was (the following of a link by a click at a place on the screen is left to
the X11 run).
"""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time
import warnings

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as e  # noqa: E402
import harness as h  # noqa: E402
from e2e_test import Atspi, check, field, find_accessible  # noqa: E402

# Atspi.Action's names are reported deprecated by the introspection data, with nothing to use
# instead in this version.
warnings.filterwarnings("ignore", category=DeprecationWarning)

DESIGN_WIDTH, DESIGN_HEIGHT = 846, 554  # the window's client area below its menu bar


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def extents(node):
    box = node.get_extents(Atspi.CoordType.WINDOW)
    return box.x, box.y, box.width, box.height


def has_menu_bar(node, depth=0):
    if node.get_role() == Atspi.Role.MENU_BAR:
        return True
    return depth < 3 and any(has_menu_bar(c, depth + 1) for c in children(node))


class WaylandRun(e.Run):
    """The cases' run under Wayland: input through the accessibility tree, screenshots by
    Weston's screenshooter."""

    def set_up_display(self):
        check(os.environ.get("WAYLAND_DISPLAY"), "no WAYLAND_DISPLAY: start me by run-e2e-wayland")
        self.env.pop("DISPLAY", None)
        self.env["GDK_BACKEND"] = "wayland"
        # The title bar GTK draws offers maximising too, as most desktops set it (GTK takes the
        # desktop's setting from GSettings under Wayland; here from a key file of the run's own).
        self.env["GSETTINGS_BACKEND"] = "keyfile"
        settings = os.path.join(self.env["XDG_CONFIG_HOME"], "glib-2.0", "settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            f.write("[org/gnome/desktop/wm/preferences]\n"
                    "button-layout='menu:minimize,maximize,close'\n")

    def close_display(self):
        pass

    def start(self):
        self.starts += 1
        self.output = open(os.path.join(self.tmp, "program-%d.log" % self.starts), "w")
        self.process = h.launch([self.program], self.env, self.output, self.tmp)
        self.app = e.accessible_app(self.process.pid, 20.0)
        self.frame = e.wait_showing(self.app, self.title, (Atspi.Role.FRAME,), 20.0)
        # The window has its size once its content has one.
        deadline = time.monotonic() + 5.0
        while self.content_size()[0] <= 0 and time.monotonic() < deadline:
            time.sleep(0.05)
        self.log("started under Wayland, pid %d" % self.process.pid)

    def content(self):
        """The window's own area (menu bar and below) without the title bar GTK draws."""
        found = [c for c in children(self.frame) if has_menu_bar(c)]
        check(found, "no part of the window holds the menu bar")
        return found[0]

    def content_size(self):
        return extents(self.content())[2:]

    def title_buttons(self):
        """The title bar's buttons from left to right: minimise, maximise, close."""
        bar = [c for c in children(self.frame) if not has_menu_bar(c)]
        check(bar, "the window has no title bar of its own")
        buttons = []
        queue = list(bar)
        while queue:
            node = queue.pop(0)
            if node.get_role() == Atspi.Role.PUSH_BUTTON and e.showing(node):
                buttons.append(node)
            queue.extend(children(node))
        buttons.sort(key=lambda b: extents(b)[0])
        check(len(buttons) == 3, "the title bar shows %d buttons, expected minimise, maximise "
              "and close" % len(buttons), [b.get_name() for b in buttons])
        return buttons

    def request_close(self):
        """With the title bar's close button."""
        self.press(self.title_buttons()[2])

    # ---- input through the accessibility tree ----

    def press(self, accessible):
        check(Atspi.Action.get_n_actions(accessible) > 0,
              "%r offers no action" % accessible.get_name())
        Atspi.Action.do_action(accessible, 0)

    def choose(self, menu, item):
        """Clicks a menu's item: a menu pops up only for a seat's input, which the headless
        Weston has none of; the item's action is what the click would do."""
        found = find_accessible(menu, item, (Atspi.Role.MENU_ITEM,))
        check(found is not None, "the menu %r has no item %r" % (menu.get_name(), item))
        self.press(found)

    def enter_text(self, accessible, text):
        check(Atspi.EditableText.set_text_contents(accessible, text),
              "the text of %r could not be set" % accessible.get_name())

    def open_address(self, url):
        address = field(self.app, e.ADDRESS)
        self.enter_text(address, url)
        names = [Atspi.Action.get_action_name(address, i)
                 for i in range(Atspi.Action.get_n_actions(address))]
        check("activate" in names, "the address field offers no activate action: %s" % names)
        Atspi.Action.do_action(address, names.index("activate"))

    # ---- the screen ----

    def screenshot(self):
        self.shots += 1
        folder = tempfile.mkdtemp(dir=self.tmp)
        result = subprocess.run(["weston-screenshooter"], cwd=folder, capture_output=True,
                                text=True, timeout=30)
        shots = glob.glob(os.path.join(folder, "*.png"))
        check(result.returncode == 0 and shots, "weston-screenshooter took no screenshot: %s"
              % result.stderr.strip())
        saved = os.path.join(self.tmp, "screen-%02d.png" % self.shots)
        os.replace(shots[0], saved)
        return h.Screenshot(png=saved)

    def check_page(self, name):
        """The page is on the screen in its colours: its link box at its size in the bottom
        right corner of a large area of its background (where the compositor put the window is
        not known here)."""
        shot = self.screenshot()
        page = h.PAGES[name]
        step = 4
        links, box = shot.find(page["link"], step)
        backgrounds, area = shot.find(page["background"], step)
        check(box is not None, "the link box of %s is not on the screen" % name)
        width, height = box[2] - box[0] + step, box[3] - box[1] + step
        check(abs(width - h.LINK_WIDTH) <= 2 * step and abs(height - h.LINK_HEIGHT) <= 2 * step,
              "the link box of %s shows %dx%d, expected %dx%d" % (name, width, height,
                                                                  h.LINK_WIDTH, h.LINK_HEIGHT))
        content_width, content_height = self.content_size()
        # The page fills the window below the program's controls, less the link box.
        least = (content_width * (content_height - 200) - h.LINK_WIDTH * h.LINK_HEIGHT) \
            // (step * step)
        check(area is not None and backgrounds >= least,
              "the background of %s covers %d of the screen's sampled pixels, expected at least "
              "%d" % (name, backgrounds, least))
        check(area[2] >= box[0] and area[3] >= box[1] and area[0] < box[0] and area[1] < box[1],
              "the link box of %s is not at the bottom right of its page" % name)


def case_start(run):
    """A first start: the window at its design size, the fields with their first texts, nothing
    loaded. (Where it shows is the compositor's choice under Wayland.)"""
    run.start()
    width, height = run.content_size()
    check(width == DESIGN_WIDTH and height >= DESIGN_HEIGHT,
          "the first window is %dx%d, expected %d wide and at least %d high"
          % (width, height, DESIGN_WIDTH, DESIGN_HEIGHT))
    e.check_first_texts(run)
    run.log("window %dx%d" % (width, height))


def wait_size(run, condition, what, timeout=5.0):
    """Waits for the window's size to meet condition; returns it."""
    def met():
        try:
            size = run.content_size()
        except e.gi.repository.GLib.Error:
            size = (0, 0)  # the title bar's widgets change with the state: read again
        check(condition(*size), "the window is %dx%d, expected %s" % (*size, what))
        return size
    return e.eventually(met, timeout)


def stored_rect(stored, key):
    found = re.search(r"^%s=(-?\d+),(-?\d+),(-?\d+),(-?\d+)$" % re.escape(key), stored, re.M)
    check(found, "no %s in the placement file" % key, stored)
    return tuple(int(v) for v in found.groups())


def stored_show(stored):
    found = re.search(r"^ShowCmd=(\d+)$", stored, re.M)
    check(found, "no ShowCmd in the placement file", stored)
    return int(found.group(1))


def case_placement(run):
    """Size and maximised state come back at the next start. The position, which no Wayland
    client can set or learn, stays as an earlier X11 session stored it."""
    width, height = run.content_size()
    ini, stored = e.close_and_read(run)
    left, top, right, bottom = stored_rect(stored, "NormPos")
    check((right - left, bottom - top) == (width, height) and stored_show(stored) == 1,
          "after the first start the stored window is %dx%d (show command %d), expected %dx%d, "
          "normal" % (right - left, bottom - top, stored_show(stored), width, height), stored)

    # The values an X11 session leaves: 1000x700 at 40,60.
    x11 = (40, 60, 1040, 760)
    size = (x11[2] - x11[0], x11[3] - x11[1])
    with open(ini, "w", encoding="utf-8") as f:
        f.write(re.sub(r"^(NormPos(\(\d+x\d+\))?)=.*$", r"\1=%d,%d,%d,%d" % x11, stored,
                       flags=re.M))
    run.start()
    wait_size(run, lambda w, h: (w, h) == size, "%dx%d as stored" % size)
    minimise, maximise, close = run.title_buttons()
    run.press(maximise)
    screen_width = run.screenshot().width  # the compositor's output, as run-e2e-wayland set it
    maximised = wait_size(run, lambda w, h: w == screen_width and h > size[1],
                          "maximised: %d wide" % screen_width)
    ini, stored = e.close_and_read(run)
    check(stored_show(stored) == 3, "a maximised window was stored with show command %d, not 3"
          % stored_show(stored), stored)
    check(stored_rect(stored, "NormPos") == x11,
          "a maximised session changed the stored normal place and size to %s, expected %s"
          % (stored_rect(stored, "NormPos"), x11))
    run.log("maximised to %dx%d; stored maximised with the normal size %dx%d" % (*maximised, *size))

    # Twice: closed while still maximised, then restored and closed.
    run.start()
    wait_size(run, lambda w, h: (w, h) == maximised, "maximised again (%dx%d)" % maximised)
    ini, stored = e.close_and_read(run)
    check(stored_show(stored) == 3 and stored_rect(stored, "NormPos") == x11,
          "a start that came back maximised and was closed so stored %s (show command %d), "
          "expected %s, maximised" % (stored_rect(stored, "NormPos"), stored_show(stored), x11),
          stored)
    run.start()
    wait_size(run, lambda w, h: (w, h) == maximised, "maximised again (%dx%d)" % maximised)
    run.press(run.title_buttons()[1])
    wait_size(run, lambda w, h: (w, h) == size, "back at %dx%d after restoring" % size)
    ini, stored = e.close_and_read(run)
    check(stored_show(stored) == 1 and stored_rect(stored, "NormPos") == x11,
          "after restoring, the stored window is %s (show command %d), expected %s, normal"
          % (stored_rect(stored, "NormPos"), stored_show(stored), x11), stored)
    run.log("came back maximised, restored to %dx%d; the X11 position %d,%d kept"
            % (*size, x11[0], x11[1]))


CASES = [case_start, e.case_open_address, e.case_rendered, e.case_interval_reloads,
         e.case_web_process_killed, e.case_media, e.case_about_dialog, case_placement]

if __name__ == "__main__":
    sys.exit(e.main(WaylandRun, CASES))
