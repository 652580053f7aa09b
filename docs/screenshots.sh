#!/usr/bin/env bash
# Takes the README's screenshots, docs/screenshot-linux.png and docs/screenshot-windows.png, on a
# virtual screen of their own.
#
#   docs/screenshots.sh [linux|windows]   (both when none is named; builds what is missing)
#
# The program opens http://reprisa.example/ (a name kept for examples, RFC 2606), typed into its
# address field like any address. A loopback server answers it with resources/linux/demo-page.html:
# the program reaches that server as its HTTP proxy (http_proxy, which GLib's proxy resolver and
# Wine's WinINet both honour), so the screenshot shows a neutral address and no folder of this
# machine, and nothing leaves the machine. Both programs run with folders of their own (the
# Windows one in the tests' Wine prefix), so nothing of the run stays in the user's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/lib/xvfb.sh
address=http://reprisa.example/
which=${1:-both}
case "$which" in
  linux|windows|both) ;;
  *) echo "usage: docs/screenshots.sh [linux|windows]" >&2; exit 2 ;;
esac

scratch=$(mktemp -d)
server_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  WINEPREFIX=$root/build/wineprefix-tests wineserver -k >/dev/null 2>&1 || true
  stop_xvfb
  rm -rf "$scratch"
}
trap cleanup EXIT

# The proxy: every GET is answered with the demo page; the requests are noted in a log.
/usr/bin/python3 - "$root/resources/linux/demo-page.html" "$scratch/server.log" <<'PY' &
import http.server, sys
page = open(sys.argv[1], "rb").read()
log = open(sys.argv[2], "a", buffering=1)
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        log.write("GET %s\n" % self.path)
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
log.write("port %d\n" % server.server_address[1])
server.serve_forever()
PY
server_pid=$!
for _ in $(seq 100); do
  grep -q '^port ' "$scratch/server.log" 2>/dev/null && break
  sleep 0.05
done
port=$(sed -n 's/^port //p' "$scratch/server.log")
[ -n "$port" ] || { echo "screenshots: the loopback server did not start" >&2; exit 1; }
export http_proxy=http://127.0.0.1:$port HTTP_PROXY=http://127.0.0.1:$port no_proxy= NO_PROXY=
export GIO_USE_PROXY_RESOLVER=libproxy

start_xvfb 1280x1024x24

wait_window() {
  local window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Velmora Reprisa' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "screenshots: no window of the program within 30 s" >&2; exit 1; }
  echo "$window"
}

# Types the address, presses Enter, waits for the request and then for the page's own colour in
# the browser area (at most 30 s: an engine that renders nothing leaves the area as it is).
open_and_shoot() {
  local window=$1 shot=$2 since
  since=$(grep -c '^GET' "$scratch/server.log" || true)
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --window "$window" ctrl+a
  xdotool type --window "$window" --delay 20 "$address"
  xdotool key --window "$window" Return
  local painted=""
  for _ in $(seq 300); do
    if [ "$(grep -c '^GET' "$scratch/server.log" || true)" -gt "$since" ]; then
      colour=$(import -window "$window" -crop 1x1+420+420 +repage -depth 8 txt:- 2>/dev/null |
               grep -o '#[0-9A-F]\{6\}' | head -n 1 || true)
      if [ "$colour" = "#1D3557" ]; then painted=1; break; fi
    fi
    sleep 0.1
  done
  [ -n "$painted" ] ||
    echo "screenshots: the page did not paint in $shot's browser area within 30 s" >&2
  # Off the field, so that no cursor blinks in the picture.
  xdotool key --window "$window" Tab
  import -window "$window" "$shot"
  echo "screenshots: $shot"
}

if [ "$which" != windows ]; then
  cmake --preset linux >/dev/null
  cmake --build build/linux --target reprisa
  env XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
      XDG_CACHE_HOME="$scratch/cache" HOME="$scratch" \
      dbus-run-session -- build/linux/reprisa </dev/null >/dev/null 2>&1 &
  program_pid=$!
  open_and_shoot "$(wait_window)" docs/screenshot-linux.png
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
fi

if [ "$which" != linux ]; then
  cmake --preset win32 >/dev/null
  cmake --build build/win32 --target reprisa
  WINEPREFIX=$root/build/wineprefix-tests WINEDEBUG=-all scripts/wine-run build/win32/reprisa.exe \
      </dev/null >/dev/null 2>&1 &
  program_pid=$!
  open_and_shoot "$(wait_window)" docs/screenshot-windows.png
  kill "$program_pid" 2>/dev/null || true
  program_pid=""
fi
