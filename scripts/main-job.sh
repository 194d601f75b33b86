#!/usr/bin/env bash
# The main job, from end to end: a user installs Tamaris with the setup.
#
#   bash scripts/main-job.sh
#   bash scripts/main-job.sh --config FILE.cpp --packages FOLDER [--language NAME] [--tries N]
#
# Installs what is missing, builds the setup with its download address on a
# local download server (127.0.0.1, a free port), builds and signs the sample
# Tamaris packages that this server serves, starts the server, runs the setup
# under Wine on a virtual display, chooses English in its language dialog,
# lets it download, check and install Tamaris, and reports the outcome: the
# setup's exit code, the product's state and its installed file, and a
# screenshot of the progress window taken during the download.
#
# With --config and --packages it does the same for a vendor's own product:
# the setup is built from that source of product records, with its download
# address on the local server, which serves FOLDER as a static host would (the
# address is "http://127.0.0.1:PORT/files/", the file name is appended). The
# packages there are used as they are: sign them as for the real server. The
# language dialog, if the setup shows one, is answered with --language
# (English by default). --tries builds the setup with N download tries
# (PELORIN_DOWNLOAD_TRIES; the Orvella example uses 3). The reported state is that of whichever package of
# FOLDER the setup installed; the job succeeds when the setup ended with 0
# and one of them is installed.
#
# Everything lands in build/main-job/ (its own build, Wine prefix and
# packages); the server and the display started here are stopped at the end.
# Where the 32-bit Wine cannot run, the 64-bit build of the setup runs
# under the 64-bit Wine (see scripts/env.sh), and picks the x64 package.
set -euo pipefail
config="" packages="" language=English tries=1
usage() { sed -n '4,5p' "$0" | sed 's/^# *//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --config) config="$(realpath "${2:?--config needs a file}")"; shift 2 ;;
    --packages) packages="$(realpath "${2:?--packages needs a folder}")"; shift 2 ;;
    --language) language="${2:?--language needs a name}"; shift 2 ;;
    --tries) tries="${2:?--tries needs a number}"; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown argument: $1" >&2; usage >&2; exit 2 ;;
  esac
done
if [ -n "$config$packages" ]; then
  [ -f "$config" ] || { echo "--config: no such file: ${config:-(none given)}" >&2; exit 2; }
  [ -d "$packages" ] || { echo "--packages: no such folder: ${packages:-(none given)}" >&2; exit 2; }
fi
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/install-deps.sh
# The project's own prefix for this job, whatever the caller has set.
export WINEPREFIX="$root/build/main-job/prefix"
source scripts/env.sh

out="$root/build/main-job"
mkdir -p "$out"
log="$out/log"
mkdir -p "$log"

case "$WINE_PRESET" in
  mingw-x86) toolchain=cmake/mingw-i686.cmake ;;
  *) toolchain=cmake/mingw-x86_64.cmake ;;
esac
# Wine's default prefix is a 64-bit Windows: the setup, 32- or 64-bit, finds
# an x64 processor there and installs the x64 package.
arch=x64

server_pid_file="$out/download_server.pid"
xvfb_pid=""
cleanup() {
  python3 tests/wine/tools/download_server.py --stop --pid-file "$server_pid_file" || true
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A free loopback port for the download server; it is compiled into the setup.
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
if [ -n "$config" ]; then
  url="http://127.0.0.1:$port/files/"
else
  url="http://127.0.0.1:$port/prenos/?verzija=4.12&paket="
fi
echo "== Building the setup (download address $url)"
# With the Windows tests configured: the program that drives the setup is
# built from their support (only the two targets below are built).
cmake -S . -B "$out/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DPELORIN_WINE_TESTS=ON -DPELORIN_DOWNLOAD_URL="$url" -DPELORIN_DOWNLOAD_TRIES="$tries" \
    -DPELORIN_CONFIG_SOURCE="${config:-$root/app/config_tamaris.cpp}" \
    -DPELORIN_ENGINE_URL="http://127.0.0.1:$port/MSI/2.0/" >"$log/configure.txt"
cmake --build "$out/build" --target Pelorin install_demo_driver >"$log/build.txt"

if [ -n "$config" ]; then
  # The product codes of the folder's packages: the setup chooses one of them.
  package="one of $packages"
  product_code=""
  largest=0
  for file in "$packages"/*.msi "$packages"/*.msp; do
    [ -f "$file" ] || continue
    size="$(stat -c %s "$file")"
    [ "$size" -gt "$largest" ] && largest="$size"
    case "$file" in *.msi) ;; *) continue ;; esac
    code="$(msiinfo export "$file" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')"
    [ -n "$code" ] && product_code="$product_code${product_code:+;}$code"
  done
  [ -n "$product_code" ] || { echo "no package (.msi) with a product code in $packages" >&2; exit 1; }
  served="$packages"
  # The largest file sent in about 25 pieces, 0.12 s apart, whatever its
  # size: long enough for the progress window to be seen at work.
  chunk=$(( largest / 25 > 512 ? largest / 25 : 512 ))
  behaviour="set?mode=slow&chunk=$chunk&delay=0.12"
else
  echo "== Building and signing the sample packages"
  bash tests/wine/tools/build_packages.sh "$out/packages" >"$log/packages.txt"
  package="Tamaris.$arch.En.msi"
  product_code="$(awk -F'\t' -v f="unsigned/$package" '$1 == f { print $2 }' "$out/packages/products.txt")"
  folder="$(awk -F'\t' -v f="unsigned/$package" '$1 == f { print $4 }' "$out/packages/products.txt")"
  served="$out/packages"
  # Signed packages, sent slowly enough (about 3 s) for the progress window to be seen at work.
  behaviour="set?root=signed&mode=slow&chunk=512&delay=0.12"
fi

echo "== Starting the download server on 127.0.0.1:$port"
python3 tests/wine/tools/download_server.py --root "$served" --port "$port" --daemon \
    --pid-file "$server_pid_file" --log-file "$out/download_server.log" --lifetime 900 --idle 300 >/dev/null
rm -f "$out/download_server.log"
control() {  # the server's control requests (see its --help)
  python3 -c 'import sys, urllib.request; sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=10).read().decode())' \
      "http://127.0.0.1:$port/control/$1"
}
control "$behaviour" >/dev/null

echo "== Starting a virtual display and the Wine prefix"
display=""
for n in $(seq 140 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
make_prefix

# The setup in a folder of its own, as a user would have downloaded it.
setup_dir="$out/run"
rm -rf "$setup_dir"
mkdir -p "$setup_dir"
cp "$out/build/Pelorin.exe" "$setup_dir/Pelorin.exe"
# Installed by an earlier run of this job? Then remove it first, quietly.
IFS=';' read -r -a codes <<<"$product_code"
for code in "${codes[@]}"; do "$WINE" msiexec /x "$code" /qn >/dev/null 2>&1 || true; done

win() { "$WINE" winepath -w "$1" 2>/dev/null; }
if [ -n "$config" ]; then
  installed_file="-"
else
  installed_file="C:\\Program Files\\$folder\\tamaris.txt"
fi

echo "== Running the setup: $language${config:+ if it asks}, then let it install"
shot_bmp="$out/progress.bmp"
rm -f "$shot_bmp" "$out/progress-window.png"
"$WINE" "$out/build/tests/wine/install_demo_driver.exe" "$(win "$setup_dir/Pelorin.exe")" "$language" "$product_code" \
    "$installed_file" "$(win "$shot_bmp")" | tr -d '\r' | tee "$out/outcome.txt"

shot="$out/progress-window.png"
if [ -f "$shot_bmp" ]; then
  convert "$shot_bmp" "$shot" && rm -f "$shot_bmp"
fi

echo "== What the server was asked"
control log | tee "$out/requests.txt" | cut -f1-5

echo "== Outcome"
exit_code="$(sed -n 's/^exit code: //p' "$out/outcome.txt")"
state="$(sed -n 's/^product state: //p' "$out/outcome.txt")"
file_state="$(sed -n 's/^installed file: //p' "$out/outcome.txt")"
echo "setup exit code: ${exit_code:-unknown}"
if [ -n "$config" ]; then
  echo "language dialog: $(sed -n 's/^language dialog: //p' "$out/outcome.txt")"
  echo "product $(sed -n 's/^product code: //p' "$out/outcome.txt") ($package): $state"
else
  echo "Tamaris ($package, product $product_code): $state"
  echo "installed file: $file_state"
fi
if [ -f "$shot" ]; then echo "screenshot of the progress window during the download: $shot"; fi
[ "$exit_code" = 0 ] && [[ "$state" == 5* ]]
