#!/usr/bin/env bash
# Installs what building and testing the setup needs on a Debian machine:
# the MinGW-w64 cross compilers, Wine (32-bit), msitools/wixl for packages,
# osslsigncode and openssl for signatures, Xvfb and ImageMagick for a display
# and screenshots, GoogleTest and Ninja, clang with its libFuzzer runtime for
# the fuzz targets, and the real network components that the download tests
# start on loopback: nginx as a download host, squid as a proxy (with its
# Basic password helper), ca-certificates for a certificate authority trusted
# for one run. Does nothing when all are there.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest mingw-w64 g++-mingw-w64-i686-win32
  wine wine32:i386 wine64 msitools wixl osslsigncode openssl xvfb xdotool imagemagick x11-utils locales
  clang libclang-rt-14-dev nginx-light squid ca-certificates)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# The Windows tests run the setup in each catalogue language by setting LC_ALL.
# Wine takes the interface language from it, and the character set of file
# names too: with a locale that Linux does not have, Wine falls back to ASCII
# and cannot make a file whose name has other letters. So the four locales
# are generated from the locales package.
make_locales() {
  local l
  for l in en_US it_IT sq_AL sl_SI; do
    locale -a 2>/dev/null | grep -qx "$l.utf8" && continue
    $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  make_locales
  exit 0
fi

echo "Installing: ${missing[*]}"
$SUDO dpkg --add-architecture i386
# A mirror in the middle of a sync fails one index now and then; what the
# others list is enough, and a package really missing fails the install below.
$SUDO apt-get update -qq || { sleep 5; $SUDO apt-get update -qq; } || echo "apt-get update reported errors; going on with the lists it has" >&2
install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
if ! install "${missing[@]}"; then
  # The 32-bit Wine needs the i386 lists to match the 64-bit ones; while a
  # mirror syncs they may not. Without it the Windows tests run the 64-bit
  # build, and scripts/test.sh says so at its end.
  echo "Installing without the 32-bit Wine (wine32:i386)" >&2
  rest=()
  for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  install "${rest[@]}"
fi
make_locales
