# Sourced by the scripts: a Wine prefix of the project's own and a virtual
# display, both started once and reused.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: the setup needs neither, and their installers would wait
# for a download that cannot happen here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The setup is a 32-bit program. Where the kernel runs no 32-bit code (some
# virtual machines), or the 32-bit Wine could not be installed, it cannot
# start: the Windows tests then run a 64-bit build of the same sources under
# the 64-bit Wine, and WHY_64_BIT says why.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINE=/usr/lib/wine/wine WINE_PRESET=mingw-x86 WHY_64_BIT=""
else
  export WINE=/usr/lib/wine/wine64 WINE_PRESET=mingw-x64
  if [ -e /usr/lib/wine/wine ]; then
    export WHY_64_BIT="this machine runs no 32-bit code"
  else
    export WHY_64_BIT="the 32-bit Wine (wine32:i386) is not installed"
  fi
fi

start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      PELORIN_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    fi
  done
  echo "no virtual display could be started" >&2
  return 1
}

# Stops the display that start_display started, if it started one.
stop_display() {
  if [ -n "${PELORIN_XVFB_PID:-}" ]; then
    kill "$PELORIN_XVFB_PID" 2>/dev/null || true
    wait "$PELORIN_XVFB_PID" 2>/dev/null || true
    PELORIN_XVFB_PID=""
  fi
}

make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINE" wineboot -i >/dev/null 2>&1
    # A crash must fail its test at once, not wait in the debugger's dialog.
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Without a window manager Wine waits two seconds whenever a managed
    # window is hidden or closed; drawing the frames itself avoids that.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
}
