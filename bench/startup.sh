#!/usr/bin/env bash
# Start-up benchmark: how long reprisa.exe takes from process start to its visible main window,
# against two references built here and started in turn under the same Wine by
# bench/launcher_win.cpp: a themed minimal program (common controls 6 through its manifest,
# InitCommonControlsEx and OleInitialize, then one window: what every program like ours pays
# before it does anything of its own) and a plain minimal program that only opens a window.
# Also reports the three programs' peak working sets. Not part of the tests: run it by hand.
#
#   bench/startup.sh [rounds]        (default 31 rounds of the three, about seven minutes)
#
# The ratios are medians of per-round ratios (each reprisa run against the reference runs right
# before or after it, so that drift in the machine's load cancels out); the order of the three
# turns round from round to round. The last line carries the figures, e.g.
#   startup median ratio 1.12 against themed (1.31 against plain); reprisa 180 ms, themed 161 ms,
#   plain 138 ms; peak working sets 18.4 / 9.9 / 6.1 MiB
# Exit status: 0 when the ratio against the themed reference is at most the goal below, 3 when it
# is above, 1 when the measurement itself failed. See bench/common.sh for the build and prefix.
# Where reprisa's time goes, step by step: bench/startup_steps.sh.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
rounds=${1:-31}
goal=1.5  # the rest of the gap to the themed program is the window's own controls
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/startup.sh [rounds]" >&2; exit 1; }

bench_build reprisa minimal_window minimal_themed startup_launcher
bench_screen 1280x1024x24
reprisa_exe=$(winpath "$bin/reprisa.exe")
reprisa_caption=$(reprisa_caption_of "$bin")
themed_exe=$(winpath "$bin/minimal_themed.exe")
plain_exe=$(winpath "$bin/minimal_window.exe")

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
run_reprisa() { read -r r_ms r_peak < <(measure "$reprisa_exe" "$reprisa_caption"); }
run_themed() { read -r t_ms t_peak < <(measure "$themed_exe" "Minimal Themed"); }
run_plain() { read -r p_ms p_peak < <(measure "$plain_exe" "Minimal"); }

# Warm-up: the first start of each program loads Wine's libraries and the program from disk.
run_reprisa
run_themed
run_plain

mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
results=()
for i in $(seq "$rounds"); do
  unset r_ms t_ms p_ms
  case $(( i % 3 )) in
    1) run_reprisa; run_themed; run_plain ;;
    2) run_plain; run_reprisa; run_themed ;;
    0) run_themed; run_plain; run_reprisa ;;
  esac
  [ -n "${r_ms:-}" ] && [ -n "${t_ms:-}" ] && [ -n "${p_ms:-}" ] ||
    { echo "measurement failed" >&2; exit 1; }
  printf 'round %2d: reprisa %8.2f ms %5s MiB  themed %8.2f ms %5s MiB  plain %8.2f ms %5s MiB\n' \
    "$i" "$r_ms" "$(mib "$r_peak")" "$t_ms" "$(mib "$t_peak")" "$p_ms" "$(mib "$p_peak")"
  results+=("$r_ms $t_ms $p_ms $r_peak $t_peak $p_peak")
done

column() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }'; }
ratio() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $1 / $c }' | median; }
peak() { column "$1" | sort -g | tail -n 1; }
against_themed=$(ratio 2)
against_plain=$(ratio 3)
format='startup median ratio %.2f against themed (%.2f against plain); reprisa %.0f ms, '
format+='themed %.0f ms, plain %.0f ms; peak working sets %s / %s / %s MiB'
summary=$(printf "$format" \
  "$against_themed" "$against_plain" "$(column 1 | median)" "$(column 2 | median)" \
  "$(column 3 | median)" "$(mib "$(peak 4)")" "$(mib "$(peak 5)")" "$(mib "$(peak 6)")")
over=$(awk -v q="$against_themed" -v g="$goal" 'BEGIN { print (q > g) ? 1 : 0 }')
echo "$summary"
[ "$over" -eq 0 ] || exit 3
