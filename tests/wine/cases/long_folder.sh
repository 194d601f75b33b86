#!/usr/bin/env bash
# The setup in a folder whose Windows path is longer than MAX_PATH, with a
# current trusted package beside it. Wine's CreateProcessW refuses a program
# path that long, so the setup is started as a user of Wine would start it:
# `wine` with the Unix path.
#
#   long_folder.sh SETUP PACKAGES_DIR LANGUAGE PORT WORK_DIR
#
# SETUP is a one-language setup that downloads from the test server on PORT
# (it asks nothing); it picks the signed LANGUAGE package of the native
# processor, which the script takes from PACKAGES_DIR as well. The package
# beside it does not fit in MAX_PATH, so it counts as not there: the setup
# downloads the package and installs it, and never hands the long path to
# the Windows Installer (which overflows on one). "/v" on the long path
# still answers.
set -euo pipefail
setup="$1" packages="$2" language="$3" port="$4" work="$5"
# The native processor as the system environment names it (a key that no
# registry view redirects), and the view in which its package registers.
arch="$("$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PROCESSOR_ARCHITECTURE |
    tr -d '\r' | awk '$1 == "PROCESSOR_ARCHITECTURE" { print $3 }')"
case "$arch" in
  x86) arch=Win32 view=32 ;; AMD64) arch=x64 view=64 ;; ARM64) view=64 ;;
  *) echo "FAILED: unknown native processor '$arch'"; exit 1 ;;
esac
name="Tamaris.$arch.$language.msi" package="$packages/signed/$name"
product="$(awk -F'\t' -v f="unsigned/$name" '$1 == f { print $2 }' "$packages/products.txt")"
[ -n "$product" ] || { echo "FAILED: $name is not in $packages/products.txt"; exit 1; }

rm -rf "$work"
deep="$work/$(printf 'Namestitev %.0s' 1 2 3 4 5 6 7 8)/$(printf 'pakete %.0s' 1 2 3 4 5 6 7 8 9 10 11 12)/$(printf 'x%.0s' $(seq 100))"
mkdir -p "$deep"
cp "$setup" "$deep/Pelorin.exe"
cp "$package" "$deep/$name"
# Drive Z: is the Linux root (winepath cuts longer paths at MAX_PATH).
windows="Z:${deep//\//\\}\\$name"
echo "package path: ${#windows} characters"
[ "${#windows}" -gt 260 ] || { echo "FAILED: the folder is not deep enough"; exit 1; }

control() { python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1], timeout=10).read().decode())' \
    "http://127.0.0.1:$port/control/$1"; }
control reset >/dev/null
control "set?root=signed" >/dev/null
"$WINE" msiexec /x "$product" /qn >/dev/null 2>&1 || true

status=0
set +e
timeout 120 "$WINE" "$deep/Pelorin.exe" /v "$windows"
verdict=$?
timeout 180 "$WINE" "$deep/Pelorin.exe"
code=$?
set -e
requests="$(control log | grep -c "paket=$name" || true)"
state="$("$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'"$product" /v DisplayVersion "/reg:$view" 2>/dev/null | tr -d '\r' | grep -c DisplayVersion || true)"
"$WINE" msiexec /x "$product" /qn >/dev/null 2>&1 || true
rm -rf "$work"

echo "$name ($product); /v: $verdict; installation run: exit $code; package downloaded $requests time(s); installed: $state"
[ "$verdict" = 0 ] || { echo "FAILED: /v on the package in the long folder"; status=1; }
[ "$code" = 0 ] || { echo "FAILED: the installation run from the long folder"; status=1; }
[ "$requests" = 1 ] || { echo "FAILED: the package beside the setup was not replaced by the download"; status=1; }
[ "$state" = 1 ] || { echo "FAILED: the product was not installed"; status=1; }
exit $status
