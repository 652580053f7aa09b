#!/usr/bin/env bash
# Size benchmark: the stripped reprisa.exe against the goal below, its sections, and the ten
# largest contributors (object files and library members, from the link map the build writes
# beside the program), with a total per library. Not part of the tests: run it by hand.
#
#   bench/size.sh
#
# The last line carries the figure, e.g. "reprisa.exe 556.5 KiB (goal 600 KiB)". Exit status: 0
# when the program is within the goal, 3 when it is above, 1 when the build failed. See
# bench/common.sh for the build folder.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
goal_kib=600

bench_build reprisa
exe=$bin/reprisa.exe
map=$bin/reprisa.map
[ -f "$map" ] || { echo "no link map $map" >&2; exit 1; }

# The map lists every input section kept in the program: its name (alone on a line when it is
# long), address, size and the object it came from. Debug sections are not in the stripped file.
python3 - "$map" "$exe" <<'PY'
import collections, re, subprocess, sys
print('sections:')
headers = subprocess.run(['i686-w64-mingw32-objdump', '-h', sys.argv[2]], check=True,
                         capture_output=True, text=True).stdout
for fields in (line.split() for line in headers.splitlines()):
    if len(fields) > 2 and fields[0].isdigit():
        print(f'  {fields[1]:<10} {int(fields[2], 16) / 1024:8.1f} KiB')
by_object, by_library = collections.Counter(), collections.Counter()
entry = re.compile(r'^ (\.\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$')
alone = re.compile(r'^ (\.\S+)\s*$')
section, in_map = None, False
for line in open(sys.argv[1], errors='replace'):
    if line.startswith('Linker script and memory map'):
        in_map = True
        continue
    if not in_map:
        continue
    m = alone.match(line)
    if m:
        section = m.group(1)
        continue
    m = entry.match(line)
    name, section = (m.group(1) or section) if m else None, None
    if not m or not name or name.startswith('.debug'):
        continue
    size, source = int(m.group(2), 16), m.group(3).strip()
    if size == 0 or source.startswith('load address') or source.startswith('0x'):
        continue
    source = re.sub(r'^.*/', '', source)
    if re.search(r'\.ltrans\d*\.ltrans\.o$', source):
        source = 'own code, optimised as a whole at the link'
    by_object[source] += size
    library = re.sub(r'\(.*', '', source) if '(' in source else 'own objects and resources'
    by_library[library] += size
print('ten largest contributors:')
for source, size in by_object.most_common(10):
    print(f'  {size / 1024:8.1f} KiB  {source}')
print('per library:')
for library, size in by_library.most_common():
    if size >= 1024:
        print(f'  {size / 1024:8.1f} KiB  {library}')
PY

size=$(stat -c %s "$exe")
awk -v s="$size" -v g="$goal_kib" \
  'BEGIN { printf "reprisa.exe %.1f KiB (goal %d KiB)\n", s / 1024, g }'
[ "$size" -le $(( goal_kib * 1024 )) ] || exit 3
