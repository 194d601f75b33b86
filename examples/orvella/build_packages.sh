#!/usr/bin/env bash
# Builds and signs what Orvella's download server holds, the way a vendor
# would on Linux: the package with wixl, the signature with osslsigncode and a
# .pfx file.
#
#   build_packages.sh OUTPUT_DIR [PFX]
#
# PFX is the vendor's code-signing certificate with its private key; its
# password is read from the environment variable PELORIN_SIGN_PASSWORD. Without
# PFX a test certificate is made once in OUTPUT_DIR/signing/ (test.pfx, issued
# by a test authority, ca.crt; password "orvella-test"), so that the tests and
# the main job can sign with the same certificate as the vendor would.
#
# OUTPUT_DIR receives:
#   Orvella.1.0.x64.msi     Orvella 1.0 for x64, English, signed
#   Orvella.1.0.1.x64.msp   the patch, signed. wixl builds no patches: this is
#                           an empty one (a patch database that names Orvella
#                           1.0 as its target and changes nothing), made with
#                           msibuild, which the engine accepts
#   products.txt            file<TAB>ProductCode<TAB>ProductVersion<TAB>install folder
set -euo pipefail

out="${1:?usage: build_packages.sh OUTPUT_DIR [PFX]}"
pfx="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if [ -z "$pfx" ]; then
  bash "$here/make_test_pfx.sh" "$out/signing"
  pfx="$out/signing/test.pfx"
  export PELORIN_SIGN_PASSWORD=orvella-test
fi
: "${PELORIN_SIGN_PASSWORD:?the password of the .pfx must be in PELORIN_SIGN_PASSWORD}"

sign() {  # sign IN OUT: the password is read from a file, never from the command line
  printf '%s' "$PELORIN_SIGN_PASSWORD" > "$work/password"
  osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 -n "Orvella" \
      -i "https://orvella.example/" -in "$1" -out "$2" >/dev/null
  rm -f "$work/password"
}

printf 'Orvella 1.0 (x64, English)\r\n' > "$work/orvella.txt"
(cd "$work" && wixl -a x64 -o "$work/orvella.msi" -D Version=1.0 -D SourceFile=orvella.txt "$here/orvella.wxs")
rm -f "$out/Orvella.1.0.x64.msi" "$out/Orvella.1.0.1.x64.msp"
sign "$work/orvella.msi" "$out/Orvella.1.0.x64.msi"
# The patch's summary names the product it patches (the template) and its own
# patch code (the revision number).
msibuild "$work/orvella.msp" -s "Orvella 1.0.1" Orvella "{5C0F2A61-3B7E-4D90-8E21-0A1E2B3C4D01}" \
    "{5C0F2A61-3B7E-4D90-8E21-0A1E2B3C4D10}"
sign "$work/orvella.msp" "$out/Orvella.1.0.1.x64.msp"

printf 'Orvella.1.0.x64.msi\t{5C0F2A61-3B7E-4D90-8E21-0A1E2B3C4D01}\t1.0\tOrvella\n' > "$out/products.txt"
