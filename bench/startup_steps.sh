#!/usr/bin/env bash
# Where reprisa.exe's start goes, step by step: a build of its own with the timing marks compiled
# in (-DREPRISA_STARTUP_TRACE=ON, in build/win32-startup-trace; see src/win/kit/startup_trace_win.h)
# is started a number of times by the start-up benchmark's launcher. For each mark it prints the
# median time from the launcher's CreateProcessW to the mark ("at") and the median time since the
# mark before it ("step"), up to the moment the launcher saw the window, and what follows it.
# Not part of the tests: run it by hand, beside bench/startup.sh, whose figures it explains.
#
#   bench/startup_steps.sh [runs]        (default 11)
#
# The marks cost a counter reading each; the build is otherwise the program as shipped. Exit
# status: 0, or 1 when the build or a start failed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
runs=${1:-11}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/startup_steps.sh [runs]" >&2; exit 1; }

trace_build=$root/build/win32-startup-trace
cmake --preset win32 -B "$trace_build" -DREPRISA_STARTUP_TRACE=ON >/dev/null
REPRISA_BENCH_BUILD=$trace_build
bench_build reprisa startup_launcher
bench_screen 1280x1024x24
reprisa_exe=$(winpath "$bin/reprisa.exe")
caption=$(reprisa_caption_of "$bin")
marks_file=$bin/reprisa-startup.txt
samples=$(mktemp)
trap 'rm -f "$samples"; bench_cleanup' EXIT

start_once() {
  rm -f "$marks_file"
  "$root/scripts/wine-run" "$bin/startup_launcher.exe" "$reprisa_exe" "$caption" 1 </dev/null |
    tr -d '\r'
}
start_once >/dev/null  # warm-up: the first start loads Wine's libraries and the program from disk
for i in $(seq "$runs"); do
  line=$(start_once)
  [[ $line =~ exit_code=0\ start_ticks=([0-9]+)\ shown_ticks=([0-9]+) ]] &&
    [ -f "$marks_file" ] || { echo "start $i failed: $line" >&2; exit 1; }
  # One sample per mark: run, order, step, ticks since the start (the first occurrence of a step).
  awk -v run="$i" -v start="${BASH_REMATCH[1]}" -v shown="${BASH_REMATCH[2]}" '
    /^frequency / { per_ms = $2 / 1000; next }
    {
      step = $0; sub(/^[0-9]+ /, "", step)
      if (seen[step]++) next
      n++; at[n] = ($1 - start) / per_ms; name[n] = step
    }
    END {
      for (k = 1; k <= n; k++) printf "%s\t%d\t%.3f\t%s\n", run, k, at[k], name[k]
      printf "%s\t%d\t%.3f\t%s\n", run, 1000, (shown - start) / per_ms, "(window seen visible by the launcher)"
    }' "$marks_file" >>"$samples"
  echo "start $i: window seen after $(awk -v s="${BASH_REMATCH[1]}" -v e="${BASH_REMATCH[2]}" \
    -v f="$(sed -n 's/^frequency //p' "$marks_file")" 'BEGIN { printf "%.1f", (e - s) / f * 1000 }') ms"
done

# Medians per step, in the order of the marks (the launcher's sighting sorted in by its time).
python3 - "$samples" <<'PY'
import collections, statistics, sys
at, order = collections.defaultdict(dict), {}
for line in open(sys.argv[1]):
    run, k, t, step = line.rstrip('\n').split('\t')
    at[step][run] = float(t)
    if int(k) < 1000:
        order.setdefault(step, int(k))
steps = sorted(order, key=order.get)
seen = '(window seen visible by the launcher)'
median_at = {s: statistics.median(at[s].values()) for s in at}
# The launcher's sighting goes where its median time falls among the marks.
place = next((i for i, s in enumerate(steps) if median_at[s] > median_at[seen]), len(steps))
steps = steps[:place] + [seen] + steps[place:]
print(f'{"at ms":>8} {"step ms":>8}  step (medians of {len(at[seen])} starts)')
print(f'{0:8.1f} {"":>8}  CreateProcessW in the launcher')
previous = None
for s in steps:
    # A step's own time: the median over the starts of its time since the mark before it.
    if previous is None:
        took = statistics.median(at[s].values())
    else:
        took = statistics.median(at[s][r] - at[previous][r] for r in at[s] if r in at[previous])
    print(f'{median_at[s]:8.1f} {took:8.1f}  {s}')
    previous = s
PY
