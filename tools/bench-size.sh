#!/usr/bin/env bash
# Prints the size of the shipped executable and of its parts. Every end user
# downloads it: the aim is at most 192 KiB with the full icon.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=build/mingw-x86/Pelorin.exe
[ -f "$exe" ] || { cmake --preset mingw-x86 -DPELORIN_WINE_TESTS=OFF >/dev/null && cmake --build --preset mingw-x86 >/dev/null; }
i686-w64-mingw32-objdump -h "$exe" | python3 -c '
import os, sys
exe, icon = sys.argv[1], sys.argv[2]
size = os.path.getsize(exe)
print("%-12s %8d bytes  %6.1f KiB  (goal: 192 KiB)" % ("Pelorin.exe", size, size / 1024))
for line in sys.stdin:
    f = line.split()
    if len(f) > 2 and f[0].isdigit():
        print("  %-10s %8d bytes" % (f[1], int(f[2], 16)))
if os.path.exists(icon):
    print("  %-10s %8d bytes  (inside .rsrc)" % ("icon", os.path.getsize(icon)))
' "$exe" build/mingw-x86/pelorin.ico
