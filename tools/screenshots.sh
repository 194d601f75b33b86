#!/usr/bin/env bash
# Screenshots of the setup's two windows, the progress window during a
# download and the language dialog, in each of the four languages, as PNG
# files cropped to the window:
#
#   tools/screenshots.sh [output folder]      (default: build/screenshots)
#
# PELORIN_SHOT_DPI=144 takes them at another screen resolution (96 by
# default), to see that the layout grows with the system font.
#
# Runs on a virtual display and in a Wine prefix of its own (one per
# resolution, under build/), which it sets up on first use. The full-size
# pictures stay out of git: keep the output folder under build/ or elsewhere.
# The README shows copies of them in docs/images/, stripped of their
# metadata ("convert -strip"; they are a few kilobytes each).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$(realpath -m "${1:-$ROOT/build/screenshots}")"
DPI="${PELORIN_SHOT_DPI:-96}"

source "$ROOT/scripts/env.sh"
export WINEPREFIX="$ROOT/build/screenshots-prefix-$DPI"
unset WINEARCH

# The program that shows the windows is built with the Windows tests, in the
# preset's build folder or in PELORIN_BUILD_DIR (a folder configured already).
if [ -n "${PELORIN_BUILD_DIR:-}" ]; then
  BUILD="$(realpath "$PELORIN_BUILD_DIR")"
else
  BUILD="$ROOT/build/$WINE_PRESET"
  (cd "$ROOT" && cmake --preset "$WINE_PRESET" -DPELORIN_WINE_TESTS=ON >/dev/null)
fi
cmake --build "$BUILD" --target windows_screens >/dev/null
EXE="$BUILD/tests/wine/windows_screens.exe"

# A display of our own, ended with the script.
XVFB_PID=""
for n in $(seq 140 179); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -dpi "$DPI" >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    break
  fi
done
[ -n "$XVFB_PID" ] || { echo "no free display number" >&2; exit 1; }
trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  make_prefix
  # Without a window manager on the display, Wine draws the windows' frames
  # and captions itself only for windows it does not hand to a manager.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
  "$WINE" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
  wineserver -w
fi

mkdir -p "$OUT"
for language in en_US it_IT sq_AL sl_SI; do
  for window in progress language; do
    shot="$OUT/${window}_${language}.png"
    coproc SHOW { LC_ALL="$language.UTF-8" "$WINE" "$EXE" "$window" 2>/dev/null; }
    # The program tells where the window is once it has been painted.
    if ! read -t 60 -r tag left top right bottom <&"${SHOW[0]}" || [ "$tag" != RECT ]; then
      echo "$window ($language): the window did not show" >&2
      exit 1
    fi
    bottom="${bottom%$'\r'}"
    sleep 0.3
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$shot"
    echo >&"${SHOW[1]}"
    wait "$SHOW_PID" || true
    echo "$shot"
  done
done
