#!/usr/bin/env bash
# Installs what building and testing the setup needs on a Debian machine:
# the MinGW-w64 cross compilers, Wine (32-bit), msitools/wixl for packages,
# osslsigncode and openssl for signatures, Xvfb and ImageMagick for a display
# and screenshots, GoogleTest and Ninja. Does nothing when all are there.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest mingw-w64 g++-mingw-w64-i686-win32
  wine wine32:i386 wine64 msitools wixl osslsigncode openssl xvfb xdotool imagemagick x11-utils)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
