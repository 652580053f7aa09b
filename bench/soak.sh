#!/usr/bin/env bash
# Soak benchmark: reprisa.exe at interval 00:01 (a reload every second) for MINUTES, and beside it
# a second instance at 00:05, whose countdown changes every second across a reload every five
# (at 00:01 the countdown reads 00:00 throughout: the whole seconds left are always 0). Prints
# each instance's private bytes, handle count and window-system objects at the start, after the
# first minute and at the end, the growth after the first minute, and the largest gap between two
# countdown changes. Not part of the tests: run it by hand.
#
#   bench/soak.sh MINUTES
#
# Goals over 60 minutes: growth under 1 MiB after the first minute, no gap over 1.2 s. Exit
# status: 0 when both instances ran and closed with code 0 (the goals are read, not enforced),
# 1 otherwise. See bench/common.sh for the build and prefix.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
minutes=${1:-}
[[ $minutes =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "usage: bench/soak.sh MINUTES" >&2; exit 1; }

bench_build reprisa soak_watcher
bench_screen 1280x1024x24
"$root/scripts/wine-run" "$bin/soak_watcher.exe" "$(winpath "$bin/reprisa.exe")" "$minutes" \
  00:01 00:05 </dev/null | tr -d '\r'
