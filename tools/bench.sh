#!/usr/bin/env bash
# Prints the setup's figures beside those of bare baseline programs that do
# the same work, from one run:
#
#   tools/bench.sh [-n RUNS] [FIGURE...]     figures 1-7, all by default
#
#   1  size of the shipped 32-bit Pelorin.exe, its bytes outside the resources,
#      against a minimal dialog program and against the goal of 192 KiB
#   2  time from process start until the first window is visible
#   3  CPU time (user+sys of every process of the Wine prefix) and peak memory
#      of the program while it downloads a signed package throttled to ~20 s,
#      and the part of it that the program's user-interface thread used
#   4  wall time of "Pelorin.exe /v" (the setup signed with the same
#      certificate) on a large signed executable
#   5  wall time of downloading a large signed package and installing it
#   6  wall time and bytes served of a setup built with three download tries
#      (PELORIN_DOWNLOAD_TRIES=3) while the server cuts a 200 MB package
#      twice, beside the same setup and package uncut, with each run's exit
#      status (the "baseline" column of this figure is the uncut download)
#   7  time from process start until the language dialog (the first question
#      of the shipped setup, which has two languages) is visible, beside the
#      minimal dialog's first window; goal at most 1.5 times
#
# Timings are medians of RUNS runs (5 by default), setup and baseline taking
# turns; figures 2 and 7, which vary much from run to run, take at least 10 and
# prints its min and max beside the median. It measures and prints; it never
# fails on a slow figure.
#
# Everything is built and kept in build/bench/ (baselines, material, a Wine
# prefix of its own); the setup is the one of the preset that runs here
# (WINE_PRESET, scripts/env.sh), built if needed. Only loopback is used. The
# download server, the Wine server and a virtual display started here are
# stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

runs=5
while getopts n: option; do
  case "$option" in
    n) runs="$OPTARG" ;;
    *) echo "usage: tools/bench.sh [-n RUNS] [FIGURE...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
window_runs=$((runs > 10 ? runs : 10))  # figures 2 and 7
figures=" ${*:-1 2 3 4 5 6 7} "
want() { [[ "$figures" == *" $1 "* ]]; }

package_mb=64      # the large package of figures 3 and 5
signed_mb=200      # the signed executable of figure 4
resumed_mb=200     # the package of figure 6
throttle_s=20      # how long the throttled download of figure 3 lasts

out="$root/build/bench"
export WINEPREFIX="$out/prefix"
source scripts/env.sh
case "$WINE_PRESET" in
  mingw-x86) arch=i686 ;;
  *) arch=x86_64 ;;
esac
bin="$out/bin-$arch"
mkdir -p "$out" "$bin" "$out/bin-i686"
: >"$out/odd.txt"  # runs that did not go as they should
say() { echo "== $*" >&2; }

# ------------------------------------------------------------------ building

# The setup of a preset, built (only the program) where missing or stale.
build_preset() {
  [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1" -DPELORIN_WINE_TESTS=OFF >/dev/null
  nice cmake --build --preset "$1" --target Pelorin -j2 >/dev/null
}

# mingw ARCH OUTPUT SOURCE [FLAGS...]: a baseline, built like the setup (small, static).
mingw() {
  local a="$1" output="$2" source="$3"
  shift 3
  local compiler="$a-w64-mingw32-gcc-win32"
  [[ "$source" == *.cpp ]] && compiler="$a-w64-mingw32-g++-win32"
  "$compiler" -municode -Os -s -static -Wl,--gc-sections -Wall -o "$output" "$source" "$@"
}

dialog_exe() {  # ARCH: the minimal dialog program
  "$1-w64-mingw32-windres" tools/bench/dialog.rc -O coff -o "$out/bin-$1/dialog.res"
  mingw "$1" "$out/bin-$1/dialog.exe" tools/bench/dialog.c "$out/bin-$1/dialog.res" -mwindows
}

say "building the baselines"
dialog_exe "$arch"
mingw "$arch" "$bin/first_window.exe" tools/bench/first_window.c
mingw "$arch" "$bin/baseline.exe" tools/bench/baseline.cpp -lurlmon -lwintrust -lmsi -lole32 -luuid

# ------------------------------------------------------------------ measuring

median() {  # of the numbers on stdin
  sort -g | awk '{ v[NR] = $1 } END { if (!NR) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
                                      else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
rows=()
row() {  # FIGURE SETUP BASELINE [RATIO]: the ratio of the two numbers unless given
  local ratio="${4:-}"
  [ -n "$ratio" ] ||
      ratio="$(awk -v a="$2" -v b="$3" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }')"
  rows+=("$(printf '%-46s %12s %12s %7s' "$1" "$2" "$3" "$ratio")")
}
notes=()
print_table() {
  echo
  printf '%-46s %12s %12s %7s\n' figure setup baseline ratio
  printf '%s\n' "${rows[@]}"
  echo
  for note in "${notes[@]}"; do echo "$note"; done
  sort "$out/odd.txt" 2>/dev/null | uniq -c | sed 's/^ */note: /'
  echo "the setup: preset $WINE_PRESET under $(basename "$WINE"); timings are medians of $runs runs"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
win() { "$WINE" winepath -w "$1" 2>/dev/null; }

# runs_of FIGURE COMMAND-A COMMAND-B [COUNT]: COUNT (RUNS) runs of each,
# taking turns and changing who goes first; each run prints one line of
# figures, kept in build/bench/results/FIGURE.a and .b for `med`.
results="$out/results"
runs_of() {
  local i count="${4:-$runs}"
  mkdir -p "$results"
  : >"$results/$1.a"
  : >"$results/$1.b"
  for ((i = 1; i <= count; i++)); do
    say "figure $1: run $i of $count"
    if ((i % 2)); then
      $2 >>"$results/$1.a" || true
      $3 >>"$results/$1.b" || true
    else
      $3 >>"$results/$1.b" || true
      $2 >>"$results/$1.a" || true
    fi
  done
}
med() {  # FIGURE a|b [COLUMN]: the median of a column of its runs (numbers only)
  awk -v c="${3:-1}" '$c ~ /^[0-9.]+$/ { print $c }' "$results/$1.$2" | median
}
extreme() {  # FIGURE a|b min|max: of the first column of its runs
  awk -v m="$3" '$1 ~ /^[0-9.]+$/ { if (!n++ || (m == "min" ? $1 < v : $1 > v)) v = $1 }
                 END { print n ? v : "-" }' "$results/$1.$2"
}

# ------------------------------------------------------------------ 1. size

if want 1; then
  say "figure 1: size"
  build_preset mingw-x86
  dialog_exe i686
  sizes() {  # PE file -> "file-bytes bytes-outside-.rsrc"
    python3 - "$1" <<'EOF'
import struct, sys
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3C)[0]
count, optional = struct.unpack_from("<H", d, pe + 6)[0], struct.unpack_from("<H", d, pe + 20)[0]
rsrc = 0
for i in range(count):
    h = pe + 24 + optional + 40 * i
    if d[h:h + 8].rstrip(b"\0") == b".rsrc":
        rsrc = struct.unpack_from("<I", d, h + 16)[0]  # SizeOfRawData: its bytes in the file
print(len(d), len(d) - rsrc)
EOF
  }
  read -r setup_size setup_code < <(sizes build/mingw-x86/Pelorin.exe)
  read -r dialog_size dialog_code < <(sizes "$out/bin-i686/dialog.exe")
  row "1. Pelorin.exe, 32-bit (bytes)" "$setup_size" "$dialog_size"
  row "1. the same outside .rsrc (bytes)" "$setup_code" "$dialog_code"
  row "1. Pelorin.exe against the goal, 192 KiB" "$setup_size" 196608
  if [ -f build/mingw-x86/pelorin.ico ]; then
    notes+=("1: the icon inside .rsrc: $(stat -c %s build/mingw-x86/pelorin.ico) bytes; baseline: a minimal dialog program")
  fi
fi

# ------------------------------------------------------------------ Windows side

need_windows=""
for f in 2 3 4 5 6 7; do want "$f" && need_windows=1; done
[ -n "$need_windows" ] || { print_table; exit 0; }

server_pid_file="$out/download_server.pid"
server_log="$out/download_server.log"
xvfb_pid=""
cleanup() {
  python3 tests/wine/tools/download_server.py --stop --pid-file "$server_pid_file" || true
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

build_preset "$WINE_PRESET"
setup="$root/build/$WINE_PRESET/Pelorin.exe"
# The setup in a folder of its own, with no package beside it.
rm -rf "$out/run" && mkdir -p "$out/run" && cp "$setup" "$out/run/Pelorin.exe"

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 140 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      break
    fi
  done
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
say "preparing the Wine prefix"
make_prefix
# One Wine server for all runs, so that no run pays for starting it.
wineserver -p

# ------------------------------------------------------------------ 2. first window

first_window() {  # PROGRAM [CONTROL]: its time to the first window (holding CONTROL)
  "$WINE" "$bin/first_window.exe" ${2:+-c "$2"} "$(win "$1")" | tr -d '\r' ||
      echo "a run of $(basename "$1") showed no window${2:+ with control $2}" >>"$out/odd.txt"
}
dialog_window() { first_window "$bin/dialog.exe"; }
if want 2; then
  setup_window() { first_window "$out/run/Pelorin.exe"; }
  setup_window >/dev/null || true
  dialog_window >/dev/null || true
  runs_of 2 setup_window dialog_window "$window_runs"
  row "2. time to first window, median (ms)" "$(med 2 a)" "$(med 2 b)"
  row "2. the same, min (ms)" "$(extreme 2 a min)" "$(extreme 2 b min)" -
  row "2. the same, max (ms)" "$(extreme 2 a max)" "$(extreme 2 b max)" -
  notes+=("2: $window_runs runs each; baseline: a minimal dialog program")
fi

# ------------------------------------------------------------------ 7. language dialog

if want 7; then
  # The language dialog's list (IDC_LANGUAGE_LIST, ui/resource.h): the
  # engine has been checked and bound by then.
  language_window() { first_window "$out/run/Pelorin.exe" 1000; }
  language_window >/dev/null || true
  dialog_window >/dev/null || true
  runs_of 7 language_window dialog_window "$window_runs"
  row "7. time to the language dialog, median (ms)" "$(med 7 a)" "$(med 7 b)"
  row "7. the same, min (ms)" "$(extreme 7 a min)" "$(extreme 7 b min)" -
  row "7. the same, max (ms)" "$(extreme 7 a max)" "$(extreme 7 b max)" -
  notes+=("7: $window_runs runs each; baseline: the minimal dialog program's first window; goal: a ratio of 1.5 at most")
fi

# ------------------------------------------------------------------ material

if want 3 || want 4 || want 5 || want 6; then
  if [ ! -f "$out/packages/certificates/signer.crt" ]; then
    say "building the sample packages and the test certificate"
    bash tests/wine/tools/build_packages.sh "$out/packages" >/dev/null
  fi
  certs="$out/packages/certificates"
  sign() {  # IN OUT
    osslsigncode sign -certs "$certs/signer.crt" -ac "$certs/ca.crt" -key "$certs/signer.key" \
        -h sha256 -n "Tamaris" -in "$1" -out "$2" >/dev/null
  }
fi

product_code="{7A3D5E10-4C12-4B8E-9F00-041299000001}"
large="$out/packages/large/Tamaris.x64.En.msi"
resumed_package="$out/packages/resumed/Tamaris.x64.En.msi"
large_package() {  # MB OUTPUT: a signed package of MB megabytes of random data
  say "building a signed package of $1 MB"
  local work="$out/packages/work-large"
  rm -rf "$work" && mkdir -p "$work" "$(dirname "$2")"
  head -c "$(($1 << 20))" /dev/urandom >"$work/payload.bin"
  (cd "$work" && wixl -a x64 -o large.msi -D ProductCode="${product_code:1:36}" \
      -D UpgradeCode=7A3D5E10-4C12-4B8E-9F01-041299000001 -D ComponentCode=7A3D5E10-4C12-4B8E-9F02-041299000001 \
      -D Version=4.12 -D Language=1033 -D ProductName="Tamaris 4.12 (x64, En, large)" \
      -D FolderName="Tamaris large" -D ProgramFiles=ProgramFiles64Folder -D Win64=yes \
      -D SourceFile=payload.bin "$root/tests/wine/tools/tamaris.wxs")
  sign "$work/large.msi" "$2"
  rm -rf "$work"
}
if { want 3 || want 5; } && [ ! -f "$large" ]; then large_package "$package_mb" "$large"; fi
if want 6 && [ ! -f "$resumed_package" ]; then large_package "$resumed_mb" "$resumed_package"; fi
installed_file="$WINEPREFIX/drive_c/Program Files/Tamaris large/tamaris.txt"

signed_exe="$out/material/signed-large.exe"
if want 4 && [ ! -f "$signed_exe" ]; then
  say "building a signed executable of $signed_mb MB"
  mkdir -p "$out/material"
  head -c "$((signed_mb << 20))" /dev/urandom >"$out/material/payload.bin"
  # A real section of the image, after the last one, so the signature covers it as code and data.
  read -r vma size < <("$arch-w64-mingw32-objdump" -h "$bin/dialog.exe" | awk '$1 ~ /^[0-9]+$/ { v = $4; s = $3 } END { print v, s }')
  "$arch-w64-mingw32-objcopy" --add-section .payload="$out/material/payload.bin" \
      --set-section-flags .payload=contents,alloc,load,readonly,data \
      --change-section-vma .payload=$(((16#$vma + 16#$size + 4095) / 4096 * 4096)) \
      "$bin/dialog.exe" "$out/material/large.exe"
  sign "$out/material/large.exe" "$signed_exe"
  rm -f "$out/material/payload.bin" "$out/material/large.exe"
fi

# ------------------------------------------------------------------ server and setup with its address

if want 3 || want 5 || want 6; then
  port="$(cat "$out/port" 2>/dev/null || true)"
  # The port of the last run when it is free (the setup need not be built again), else any.
  free_port() {
    python3 -c 'import socket, sys; s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); print(s.getsockname()[1])' "$1"
  }
  port="$(free_port "${port:-0}" 2>/dev/null || free_port 0)"
  echo "$port" >"$out/port"
  url="http://127.0.0.1:$port/prenos/?verzija=4.12&paket="
  # The preset's setup with one language (no dialog to answer: that row of
  # the test setups' records) and this server's address compiled in, built
  # in build/bench/BUILD and copied alone into build/bench/RUN.
  config="$out/one_language.cpp"
  [ -f "$config" ] || printf '#define PELORIN_TEST_SETUP install_one_language\n#include "%s"\n' \
      "$root/tests/wine/configs/test_setups.cpp" >"$config"
  setup_build() {  # BUILD RUN [CMAKE OPTION...]
    local build="$out/$1" run="$out/$2"
    shift 2
    say "building the setup ($(basename "$build")) that downloads from 127.0.0.1:$port"
    cmake --preset "$WINE_PRESET" -B "$build" -DPELORIN_WINE_TESTS=OFF -DPELORIN_CONFIG_SOURCE="$config" \
        -DPELORIN_DOWNLOAD_URL="$url" -DPELORIN_ENGINE_URL="http://127.0.0.1:$port/MSI/2.0/" "$@" >/dev/null
    nice cmake --build "$build" --target Pelorin -j2 >/dev/null
    rm -rf "$run" && mkdir -p "$run"
    cp "$build/Pelorin.exe" "$run/Pelorin.exe"
  }
  if want 3 || want 5; then setup_build setup download-run; fi
  # Figure 6's: each download tried three times.
  if want 6; then setup_build retrying retrying-run -DPELORIN_DOWNLOAD_TRIES=3; fi

  python3 tests/wine/tools/download_server.py --root "$out/packages" --port "$port" --daemon \
      --pid-file "$server_pid_file" --log-file "$server_log" --lifetime 7200 --idle 900 >/dev/null
  control() {
    python3 -c 'import sys, urllib.request; urllib.request.urlopen(sys.argv[1], timeout=10).read()' \
        "http://127.0.0.1:$port/control/$1"
  }
  # Back to a prefix without the product and without downloaded copies.
  reset_product() {
    "$WINE" msiexec /x "$product_code" /qn >/dev/null 2>&1 || true
    find "$WINEPREFIX/drive_c/users" -ipath '*Temporary Internet Files/*' -o -ipath '*INetCache/*' 2>/dev/null |
        xargs -r rm -rf
    [ ! -e "$installed_file" ] || echo "the product could not be removed" >>"$out/odd.txt"
  }
  installed() {  # notes a run after which the product is not there
    [ -f "$installed_file" ] || echo "a run of $1 did not install the product" >>"$out/odd.txt"
    reset_product
  }
  reset_product
fi

# ------------------------------------------------------------------ 3. throttled download

# CPU ticks (user+sys) of every process of this Wine prefix (the Wine server,
# Wine's own services, programs) but PID.
prefix_cpu() {
  python3 - "$WINEPREFIX" "$1" <<'EOF'
import os, sys
mark = ("WINEPREFIX=" + sys.argv[1]).encode()
total = 0
for pid in filter(str.isdigit, os.listdir("/proc")):
    if pid == sys.argv[2]:
        continue
    try:
        with open("/proc/%s/environ" % pid, "rb") as f:
            if mark not in f.read().split(b"\0"):
                continue
        with open("/proc/%s/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += int(fields[11]) + int(fields[12])
    except (OSError, IndexError):
        pass
print(total)
EOF
}
# The CPU ticks and peak resident memory (KiB) of a running program into
# $program_cpu and $program_peak; read without starting a process, so that
# it can be done often and right when the download ends. Kept as they were
# once the program has ended (its memory figures are gone then).
sample() {
  local stat line ui
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
  # The process's first thread is the Windows main thread: the setup's
  # user-interface thread.
  if read -r ui 2>/dev/null <"/proc/$1/task/$1/stat"; then
    ui=(${ui##*) })
    program_ui=$((ui[11] + ui[12]))
  fi
  while read -r line; do
    if [[ "$line" == VmHWM:* ]]; then
      line="${line#VmHWM:}"
      program_peak="${line%kB}"
      stat=(${stat##*) })
      program_cpu=$((stat[11] + stat[12]))
    fi
  done 2>/dev/null <"/proc/$1/status" || true
}
tick="$(getconf CLK_TCK)"

# throttled COMMAND...: runs it until the server has sent the whole package;
# prints the CPU milliseconds spent meanwhile, the program's peak memory and
# the progress calls that it reports (the baseline does).
throttled() {
  : >"$server_log"
  local c0 c1 pid calls complete=""
  c0="$(prefix_cpu 0)"
  program_cpu=0 program_peak=0 program_ui=0
  "$@" >"$out/program.txt" 2>&1 &
  pid=$!
  for _ in $(seq $((throttle_s * 80))); do
    grep -q $'\tcomplete\t' "$server_log" && complete=1 && break
    sample "$pid"
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  sample "$pid"
  c1="$(prefix_cpu "$pid")"
  # The program ends by itself; one that waits for an answer is ended here.
  for _ in $(seq 1200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" || echo "a throttled run of $(basename "$2") ended with status $?" >>"$out/odd.txt"
  [ -n "$complete" ] || { echo "a throttled download of $(basename "$2") did not complete" >>"$out/odd.txt"; return 1; }
  calls="$(tr -d '\r' <"$out/program.txt" | sed -n 's/^progress calls: //p')"
  echo "$(((c1 - c0 + program_cpu) * 1000 / tick)) $((program_peak)) ${calls:--} $((program_ui * 1000 / tick))"
}
if want 3; then
  size="$(stat -c %s "$large")"
  chunk=32768
  control "set?root=large&mode=slow&chunk=$chunk&rate=$((size / throttle_s))"
  setup_throttled() { throttled "$WINE" "$out/download-run/Pelorin.exe"; installed setup; }
  # The baseline lingers a moment after the download, so its counters can be read.
  bare_throttled() { throttled "$WINE" "$bin/baseline.exe" download "${url}Tamaris.x64.En.msi" 2000; }
  runs_of 3 setup_throttled bare_throttled
  row "3. CPU during a ${throttle_s} s download (ms)" "$(med 3 a 1)" "$(med 3 b 1)"
  row "3. of which its user-interface thread (ms)" "$(med 3 a 4)" "$(med 3 b 4)"
  row "3. peak memory of the program (KiB)" "$(med 3 a 2)" "$(med 3 b 2)"
  notes+=("3: $((size >> 20)) MB at $((size / throttle_s / 1024)) KiB/s in pieces of $((chunk / 1024)) KiB; \
the baseline's callback was called $(med 3 b 3) times (median)")
fi

# ------------------------------------------------------------------ 4. signature check

timed() {  # LABEL COMMAND...: its wall time in ms; notes a run whose exit status is not 0
  local label="$1" start status=0
  shift
  start="$(now_ms)"
  timeout 600 "$@" >/dev/null 2>&1 || status=$?
  echo $(($(now_ms) - start))
  [ "$status" = 0 ] || echo "a run of the $label ended with status $status" >>"$out/odd.txt"
}
if want 4; then
  signed_win="$(win "$signed_exe")"
  # The setup signed with the file's certificate: the path of a vendor who
  # signs both alike, where the silent check's verdict stands.
  rm -f "$out/run/Pelorin-signed.exe"
  sign "$out/run/Pelorin.exe" "$out/run/Pelorin-signed.exe"
  setup_verify() { timed "setup /v" "$WINE" "$out/run/Pelorin-signed.exe" /v "$signed_win"; }
  bare_verify() { timed "verify baseline" "$WINE" "$bin/baseline.exe" verify "$signed_win"; }
  setup_verify >/dev/null
  bare_verify >/dev/null
  runs_of 4 setup_verify bare_verify
  row "4. /v on a ${signed_mb} MB signed file (ms)" "$(med 4 a)" "$(med 4 b)"
fi

# ------------------------------------------------------------------ 5. end to end

if want 5; then
  control "reset"
  control "set?root=large"
  setup_install() { timed setup "$WINE" "$out/download-run/Pelorin.exe"; installed setup; }
  bare_install() { timed "install baseline" "$WINE" "$bin/baseline.exe" install "${url}Tamaris.x64.En.msi"; installed baseline; }
  runs_of 5 setup_install bare_install
  row "5. download ${package_mb} MB, check, install (ms)" "$(med 5 a)" "$(med 5 b)"
fi

# ------------------------------------------------------------------ 6. cut and resumed

# resumed SETTINGS: one run of the retrying setup against the server set so;
# prints its wall time in ms, its exit status, the bytes served and the
# requests. A setup that asks nothing more for 30 s after a cut (longer than
# any wait between tries) shows its message and waits for OK; it is ended
# there (or after 15 minutes in all), with "-" for its time and "ended" for
# its status.
resumed() {
  local start pid status=0 ms
  control reset
  control "set?$1"
  : >"$server_log"
  start="$(now_ms)"
  "$WINE" "$out/retrying-run/Pelorin.exe" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1800); do
    kill -0 "$pid" 2>/dev/null || break
    if [ "$(tail -n 1 "$server_log" | cut -f5)" = cut ] && (($(date +%s) - $(stat -c %Y "$server_log") > 30)); then
      break
    fi
    sleep 0.5
  done
  ms=$(($(now_ms) - start))
  if kill "$pid" 2>/dev/null; then
    status=ended ms=-
    wait "$pid" 2>/dev/null || true
  else
    wait "$pid" || status=$?
  fi
  echo "$ms $status $(awk -F'\t' '{ s += $4 } END { print s + 0, NR }' "$server_log")"
  installed "the retrying setup"
}
if want 6; then
  size="$(stat -c %s "$resumed_package")"
  cut_twice() { resumed "root=resumed&mode=cut&cut_fraction=0.34&times=2"; }
  uncut() { resumed "root=resumed"; }
  runs_of 6 cut_twice uncut
  row "6. ${resumed_mb} MB cut twice, resumed (ms)" "$(med 6 a 1)" "$(med 6 b 1)"
  row "6. bytes served, cut twice / uncut" "$(med 6 a 3)" "$(med 6 b 3)"
  statuses() { awk '{ print $2 }' "$results/6.$1" | sort | uniq -c | awk '{ printf "%s%s x%s", (NR > 1 ? ", " : ""), $2, $1 }'; }
  notes+=("6: both columns are the setup built with PELORIN_DOWNLOAD_TRIES=3, on a package of $size bytes: \
\"setup\" with the connection cut after 34 % of the file on each of the first two requests, \"baseline\" uncut; \
requests per run (median) $(med 6 a 4) and $(med 6 b 4); exit status as Linux sees it (the code modulo 256; \
ended: it asked nothing more after a cut and waited on its message): cut $(statuses a); uncut $(statuses b)")
fi

print_table
