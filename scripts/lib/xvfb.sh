# Sourced by scripts/run, scripts/test and the benchmarks: starts an Xvfb screen of our own.
#   start_xvfb WIDTHxHEIGHTxDEPTH   sets DISPLAY and XVFB_PID, returns non-zero when no screen
#                                  came up within five seconds
#   stop_xvfb                      ends it (safe to call twice)
start_xvfb() {
  local geometry=${1:-1920x1200x24} n display=""
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "xvfb: no free display number" >&2; return 1; }
  Xvfb "$display" -screen 0 "$geometry" -nolisten tcp </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do
    if [ -e "/tmp/.X11-unix/X${display#:}" ] && DISPLAY=$display xdpyinfo >/dev/null 2>&1; then
      export DISPLAY=$display
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "xvfb: the screen $display did not start" >&2
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
