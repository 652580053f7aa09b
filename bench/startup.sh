#!/usr/bin/env bash
# Start-up benchmark: how long reprisa.exe takes from process start to its visible main window,
# against a minimal Win32 program that only opens a window, both built by this build and started
# alternately under the same Wine by bench/launcher_win.cpp. Also reports reprisa's peak working
# set. Not part of the tests: run it by hand.
#
#   bench/startup.sh [pairs]        (default 31 pairs, about five minutes)
#
# The last line carries both figures, e.g.
#   startup median ratio 1.23 (reprisa 180 ms, minimal 146 ms); reprisa peak working set 18.4 MiB
# The ratio is the median of the per-pair ratios (each reprisa run against the minimal run right
# before or after it, so that drift in the machine's load cancels out); the peak working set is
# the largest seen over reprisa's runs. Exit status: 0 when the ratio is at most the limit below,
# 3 when it is above, 1 when the measurement itself failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
pairs=${1:-31}
limit=1.5
[[ $pairs =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/startup.sh [pairs]" >&2; exit 1; }

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target reprisa minimal_window startup_launcher
bin=$root/build/win32
export WINEPREFIX=$root/build/wineprefix

xvfb_pid=""
cleanup() {
  WINEPREFIX=$root/build/wineprefix wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# A screen of our own when there is none: a free display number chosen at random.
if [ -z "${DISPLAY:-}" ]; then
  display=""
  for _ in $(seq 50); do
    n=$(( 100 + RANDOM % 400 ))
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "no free X display number found" >&2; exit 1; }
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X${display#:}" ] || { echo "Xvfb did not start on $display" >&2; exit 1; }
  export DISPLAY=$display
fi

# The programs are started by a Windows process, so they are named by Windows paths.
winpath() { "$root/scripts/wine-run" winepath -w "$1" </dev/null 2>/dev/null | tr -d '\r'; }
"$root/scripts/wine-run" cmd /c exit </dev/null >/dev/null 2>&1  # starts the Wine server
reprisa_exe=$(winpath "$bin/reprisa.exe")
minimal_exe=$(winpath "$bin/minimal_window.exe")

# One timed start: prints "<startup ms> <peak working set bytes>", or fails with the reason.
measure() {
  local out
  out=$("$root/scripts/wine-run" "$bin/startup_launcher.exe" "$1" "$2" 1 </dev/null | tr -d '\r')
  if [[ $out =~ startup_ms=([0-9.]+)\ peak_working_set_bytes=([0-9]+)\ exit_code=0 ]]; then
    echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
  else
    echo "launcher failed for $1: $out" >&2
    return 1
  fi
}

# Warm-up: the first start of each program loads Wine's libraries and the program from disk.
measure "$reprisa_exe" "Velmora Reprisa 1.0" >/dev/null
measure "$minimal_exe" "Minimal" >/dev/null

results=()
for i in $(seq "$pairs"); do
  # The order alternates from pair to pair, so that whatever one start leaves behind (the
  # desktop repainting where the closed window was, say) falls on both programs alike.
  if (( i % 2 )); then
    read -r r_ms r_peak < <(measure "$reprisa_exe" "Velmora Reprisa 1.0")
    read -r m_ms m_peak < <(measure "$minimal_exe" "Minimal")
  else
    read -r m_ms m_peak < <(measure "$minimal_exe" "Minimal")
    read -r r_ms r_peak < <(measure "$reprisa_exe" "Velmora Reprisa 1.0")
  fi
  [ -n "${r_ms:-}" ] && [ -n "${m_ms:-}" ] || { echo "measurement failed" >&2; exit 1; }
  printf 'pair %2d: reprisa %8.2f ms %6.1f MiB   minimal %8.2f ms %6.1f MiB\n' "$i" \
    "$r_ms" "$(awk -v b="$r_peak" 'BEGIN { print b / 1048576 }')" \
    "$m_ms" "$(awk -v b="$m_peak" 'BEGIN { print b / 1048576 }')"
  results+=("$r_ms $m_ms $r_peak $m_peak")
  unset r_ms m_ms
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }'; }
reprisa_median=$(column 1 | median)
minimal_median=$(column 2 | median)
ratio_median=$(printf '%s\n' "${results[@]}" | awk '{ print $1 / $2 }' | median)
reprisa_peak=$(column 3 | sort -g | tail -n 1)
minimal_peak=$(column 4 | sort -g | tail -n 1)

awk -v m="$minimal_peak" 'BEGIN { printf "minimal peak working set %.1f MiB\n", m / 1048576 }'
summary=$(awk -v q="$ratio_median" -v r="$reprisa_median" -v m="$minimal_median" \
              -v p="$reprisa_peak" 'BEGIN {
  printf "startup median ratio %.2f (reprisa %.0f ms, minimal %.0f ms); reprisa peak working set %.1f MiB",
         q, r, m, p / 1048576 }')
over=$(awk -v q="$ratio_median" -v l="$limit" 'BEGIN { print (q > l) ? 1 : 0 }')
cleanup
trap - EXIT
echo "$summary"
[ "$over" -eq 0 ] || exit 3
