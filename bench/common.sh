# Sourced by the benchmarks under bench/: the Windows build they measure, its Wine prefix and a
# screen of their own.
#   REPRISA_BENCH_BUILD  a configured win32 build folder to build and measure in (default: the
#                        win32 preset's folder, configured here)
#   WINEPREFIX           the Wine prefix to run in (default: the tests' prefix, build/wineprefix-tests)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-tests}
# shellcheck source=../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"

# The caption of reprisa's main window carries the version configured from project() into the
# build folder (see bench_build).
reprisa_caption_of() {
  echo "Velmora Reprisa $(sed -n 's/^REPRISA_VERSION_SHORT=//p' "$1/generated/version.env")"
}

# Builds the given targets; sets bin to the folder that holds them.
bench_build() {
  if [ -n "${REPRISA_BENCH_BUILD:-}" ]; then
    bin=$REPRISA_BENCH_BUILD
    cmake --build "$bin" --target "$@" >/dev/null
  else
    bin=$root/build/win32
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target "$@" >/dev/null
  fi
}

bench_cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  stop_xvfb
}

# A screen of our own and a running Wine server; everything ends with the script.
bench_screen() {
  trap bench_cleanup EXIT
  start_xvfb "${1:-1280x1024x24}" || { echo "the benchmark's screen did not start" >&2; exit 1; }
  "$root/scripts/wine-run" cmd /c exit </dev/null >/dev/null 2>&1
}

# A file's Windows path, for programs that a Windows process starts.
winpath() { "$root/scripts/wine-run" winepath -w "$1" </dev/null 2>/dev/null | tr -d '\r'; }

median() {
  sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
