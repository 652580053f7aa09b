#!/usr/bin/env bash
# Start-up benchmark of the Linux build: from process start to the window shown and to the first
# paint of a static page on a loopback server, reprisa against minimal_browser_gtk (one GTK window
# with one web view, built by the same build), started alternately; then the memory of each
# program and of its web process (resident and proportional), the total of all of each program's
# processes, and their CPU use while idle on that page. Runs on an Xvfb screen of its own with a
# session bus of its own. Not part of the tests: run it by hand.
#
#   bench/startup_linux.sh [pairs] [build folder]   (default 21 pairs, the preset's build/linux)
#
# The last line carries the figures, e.g.
#   startup median ratio: window 1.05 (reprisa 420 ms, minimal 400 ms), first paint 1.10 ...
# Ratios are medians of per-pair ratios. The goals (ratio 1.15, idle CPU 0.5 % of a core, all of
# reprisa's processes at most 0.8 of the minimal program's memory) are
# goals, not gates: the exit status is 0 whenever the measurement itself worked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=${1:-21}
build=${2:-}
[[ $pairs =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/startup_linux.sh [pairs] [build folder]" >&2; exit 1; }

if [ -z "$build" ]; then
  cd "$root"
  cmake --preset linux >/dev/null
  build=$root/build/linux
fi
cmake --build "$build" --target reprisa minimal_browser_gtk -j2

source "$root/scripts/lib/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb 1280x1024x24
export NO_AT_BRIDGE=0 GDK_BACKEND=x11
unset WAYLAND_DISPLAY
dbus-run-session -- /usr/bin/python3 -B "$root/bench/startup_linux.py" \
  "$build/reprisa" "$build/minimal_browser_gtk" "$pairs" 2> >(grep -v -e '^dbus-daemon' -e WebVTT -e 'GL video sink' -e '^$' -e '^\*\* (WebKit' >&2)
