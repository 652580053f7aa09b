#!/usr/bin/env bash
# Memory of the Linux build over a long run: reprisa shows a page with a playing H.264/AAC video
# and an MP3 audio (loopback server, media made with ffmpeg) and reloads it every INTERVAL
# seconds; once a minute it prints the program's resident memory and its web process's
# proportional set size (PSS: its own pages and its share of shared ones), and at the end how
# both grew from minute 10 on. Runs on an Xvfb screen of its own with a session bus of its own.
# Not part of the tests: run it by hand.
#
#   bench/soak_linux.sh MINUTES [INTERVAL] [PROGRAM]   (INTERVAL in seconds, default 5; PROGRAM
#                                                        defaults to the preset's build/linux)
#
# The last line carries the figures, e.g.
#   soak 60 min, reload every 5 s: web process PSS 180.2 -> 183.0 MiB from minute 10 (+2.8) ...
# The goal (the web process grows by less than 10 MiB from minute 10 on) is a goal, not a gate:
# the exit status is 0 whenever the measurement itself worked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-}
interval=${2:-5}
program=${3:-}
usage="usage: bench/soak_linux.sh MINUTES [INTERVAL] [PROGRAM]"
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 1; }
[[ $interval =~ ^[1-9][0-9]*$ ]] && [ "$interval" -le 3599 ] || { echo "$usage" >&2; exit 1; }

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
dbus-run-session -- /usr/bin/python3 -B "$root/bench/soak_linux.py" \
  "$program" "$minutes" "$interval" \
  2> >(grep -v -e '^dbus-daemon' -e WebVTT -e 'GL video sink' -e '^$' -e '^\*\* (WebKit' >&2)
