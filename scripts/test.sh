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
  echo "This machine runs no 32-bit code: the Windows tests run the 64-bit build."
  cmake --preset mingw-x86 -DPELORIN_WINE_TESTS=OFF >/dev/null
  cmake --preset mingw-x64 -DPELORIN_WINE_TESTS=ON >/dev/null
  cmake --build --preset mingw-x64
fi
cmake --build --preset mingw-x86

start_display
make_prefix

status=0
ctest --preset host || status=1
tools/fuzz.sh --short || status=1
ctest --preset mingw-x86 || status=1
if [ "$WINE_PRESET" = mingw-x64 ]; then ctest --preset mingw-x64 || status=1; fi
wineserver -k 2>/dev/null || true
exit $status
