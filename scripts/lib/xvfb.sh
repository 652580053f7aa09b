# Sourced by scripts/run, scripts/test, the tests' wrappers and the benchmarks: starts an Xvfb
# screen of our own.
#   start_xvfb WIDTHxHEIGHTxDEPTH   sets DISPLAY and XVFB_PID, returns non-zero when no screen
#                                  came up within ten seconds
#   stop_xvfb                      ends it (safe to call twice)
# Xvfb picks a free display number itself and writes it once it accepts clients (-displayfd), so
# two copies started at the same moment never share a screen.
start_xvfb() {
  local geometry=${1:-1920x1200x24} number_file number=""
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$number_file" </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    number=$(head -n 1 "$number_file" 2>/dev/null | tr -dc '0-9')
    [ -n "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  if [ -n "$number" ] && DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; then
    export DISPLAY=":$number"
    return 0
  fi
  echo "xvfb: the screen did not start" >&2
  stop_xvfb
  return 1
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
