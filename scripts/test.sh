#!/usr/bin/env bash
# Installs what is missing, builds everything and runs all tests: the native
# unit tests, the checks of the shipped 32-bit executable, then the Windows
# tests and scenarios under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/env.sh

cmake --preset host >/dev/null
cmake --build --preset host
if [ "$WINE_PRESET" = mingw-x86 ]; then
  cmake --preset mingw-x86 -DPELORIN_WINE_TESTS=ON >/dev/null
else
  echo "The Windows tests run the 64-bit build: $WHY_64_BIT."
  cmake --preset mingw-x86 -DPELORIN_WINE_TESTS=OFF >/dev/null
  cmake --preset mingw-x64 -DPELORIN_WINE_TESTS=ON >/dev/null
  cmake --build --preset mingw-x64
fi
cmake --build --preset mingw-x86

# Whatever ends the run (a failure, Ctrl-C), nothing it started stays behind:
# the download servers of the scenarios, nginx and squid (each by the pid it
# had when started), Wine's processes, the display. The scenarios that need a
# test certificate authority run in mount namespaces of their own (see
# tests/wine/tools/real_servers.sh), which end with them.
cleanup() {
  local pid_file dir
  for pid_file in build/*/tests/wine/download_server.pid; do
    [ -f "$pid_file" ] && python3 tests/wine/tools/download_server.py --stop --pid-file "$pid_file" >/dev/null 2>&1
  done
  for dir in build/*/tests/wine/real-servers; do
    [ -d "$dir" ] && bash tests/wine/tools/real_servers.sh stop "$dir" >/dev/null 2>&1
  done
  wineserver -k 2>/dev/null || true
  stop_display
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_display
make_prefix

status=0
ctest --preset host || status=1
tools/fuzz.sh --short || status=1
ctest --preset mingw-x86 || status=1
if [ "$WINE_PRESET" = mingw-x64 ]; then ctest --preset mingw-x64 || status=1; fi
if [ "$WINE_PRESET" = mingw-x64 ]; then
  echo
  echo "NOTE: $WHY_64_BIT. The Windows tests ran the 64-bit build (mingw-x64);"
  echo "the shipped 32-bit Pelorin.exe was built and checked statically only, not run."
else
  echo
  echo "The Windows tests ran the shipped 32-bit build (mingw-x86)."
fi
exit $status
