#!/usr/bin/env bash
# The silences a listener of the Linux build meets when a radio stream fails: reprisa plays a
# loopback radio page (a live MP3 stream with no length, sent at its bit rate; see
# tests/gtk/e2e/radio.py) at an interval of 23:59, and faults come on a random schedule (one every
# 2 minutes on average, at least 30 s apart, seeded): the stream's connection closed, the stream
# stalled (its connection open, no more data), the stream refused for 20 s (its connection
# closed), the page answering 503 for 20 s (the stream's connection closed with it), the web
# process killed. "Music" is the page's own report of its player's time moving. Runs on an Xvfb
# screen of its own with a session bus of its own. Not part of the tests: run it by hand.
#
#   bench/silence_linux.sh MINUTES [SEED] [PROGRAM]   (SEED defaults to 1; PROGRAM defaults to
#                                                      the preset's build/linux)
#
# One line per fault with the seconds until the music played again; the last line carries the
# longest silence and the seconds of silence per hour, e.g.
#   silence 60 min, 29 faults: longest silence 24.0 s (goal: none longer than 30 s: met), ...
# The goal is a goal, not a gate: the exit status is 0 whenever the measurement itself worked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-}
seed=${2:-1}
program=${3:-}
usage="usage: bench/silence_linux.sh MINUTES [SEED] [PROGRAM]"
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 1; }
[[ $seed =~ ^[0-9]+$ ]] || { echo "$usage" >&2; exit 1; }

if [ -z "$program" ]; then
  cd "$root"
  cmake --preset linux >/dev/null
  cmake --build "$root/build/linux" --target reprisa -j2
  program=$root/build/linux/reprisa
fi

source "$root/scripts/lib/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb 1280x1024x24
export NO_AT_BRIDGE=0 GDK_BACKEND=x11 LC_ALL=C.UTF-8  # the interval is typed as mm:ss
unset WAYLAND_DISPLAY
dbus-run-session -- /usr/bin/python3 -B "$root/bench/silence_linux.py" \
  "$program" "$minutes" "$seed" \
  2> >(grep -v -e '^dbus-daemon' -e 'GL video sink' -e '^$' -e '^\*\* (WebKit' >&2)
