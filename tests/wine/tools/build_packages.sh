#!/usr/bin/env bash
# Builds the sample Tamaris packages that the installation tests and the
# main-job demonstration serve and install, and signs them with a test
# certificate made here. Nothing it makes is kept in git.
#
#   build_packages.sh OUTPUT_DIR
#   build_packages.sh --certificates OUTPUT_DIR
#                        only the certificates, and the pins of their keys
#                        (made when the build is configured: a setup that
#                        pins a signer has the pin compiled in)
#
# OUTPUT_DIR receives:
#   certificates/        test CA, code-signing certificates signer and other (made
#                        once, kept) and {ca,signer,other}.pin: each one's key hash
#   signed/              Tamaris.{Win32,x64,ARM64}.{Sl,En}.msi, ProductVersion 4.12,
#                        signed: what the download server normally serves
#   signed/Tamaris.x64.{Sl,En}.msp
#                        a signed stand-in for a patch (a package file under a
#                        patch name: wixl cannot build real patches)
#   unsigned/            the same 4.12 packages, not signed
#   tampered/            the signed 4.12 packages with their signature damaged
#   older/               Tamaris.x64.{Sl,En}.msi with ProductVersion 4.11 and
#                        product codes of their own, signed
#   longversion/         Tamaris.x64.{Sl,En}.msi whose ProductVersion has 16
#                        characters, product codes of their own, signed
#   products.txt         folder/file<TAB>ProductCode<TAB>ProductVersion<TAB>install
#                        folder of each package, for scripts
# Each package installs one file, tamaris.txt, into a folder of its own under
# Program Files ("Tamaris 4.12 x64 En", ...), whose text names the package.
set -euo pipefail

certificates_only=""
if [ "${1:-}" = --certificates ]; then certificates_only=1; shift; fi
out="${1:?usage: build_packages.sh [--certificates] OUTPUT_DIR}"
here="$(cd "$(dirname "$0")" && pwd)"
wxs="$here/tamaris.wxs"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$out/work"
rm -rf "$work"
mkdir -p "$work"

# --- Certificates: a CA of our own and two code-signing certificates it issued.
certs="$out/certificates"
if [ ! -f "$certs/signer.key" ] || [ ! -f "$certs/other.pin" ]; then
  mkdir -p "$certs"
  cat > "$certs/ca.cnf" <<'EOF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Tamaris Test Root
O = Tamaris Test
[ca]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
  openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 \
      -config "$certs/ca.cnf" -extensions ca \
      -keyout "$certs/ca.key" -out "$certs/ca.crt" 2>/dev/null
  for c in signer other; do
    openssl req -new -newkey rsa:2048 -nodes -sha256 \
        -subj "/CN=Tamaris Test Code Signing ($c)/O=Tamaris Test" \
        -keyout "$certs/$c.key" -out "$work/$c.csr" 2>/dev/null
    openssl x509 -req -in "$work/$c.csr" -CA "$certs/ca.crt" -CAkey "$certs/ca.key" \
        -CAcreateserial -days 3650 -sha256 -extfile "$certs/ca.cnf" -extensions signer \
        -out "$certs/$c.crt" 2>/dev/null
  done
  # The pin of a key: SHA-256 of its SubjectPublicKeyInfo, as a vendor
  # computes it for the setup's build option.
  for c in ca signer other; do
    openssl x509 -in "$certs/$c.crt" -noout -pubkey | openssl pkey -pubin -outform der | sha256sum | cut -d' ' -f1 \
        > "$certs/$c.pin"
  done
fi
if [ -n "$certificates_only" ]; then rm -rf "$work"; exit 0; fi
rm -rf "$out/signed" "$out/unsigned" "$out/tampered" "$out/older" "$out/longversion"
mkdir -p "$out/signed" "$out/unsigned" "$out/tampered" "$out/older" "$out/longversion"

sign() {  # sign IN OUT
  osslsigncode sign -certs "$certs/signer.crt" -ac "$certs/ca.crt" -key "$certs/signer.key" \
      -h sha256 -n "Tamaris" -in "$1" -out "$2" >/dev/null
}

: > "$out/products.txt"

# package OUTFILE ARCH LANG VERSION CODE-SUFFIX
#   ARCH: Win32, x64 or ARM64; LANG: Sl or En. The product code is fixed per
#   package (its last 12 digits from CODE-SUFFIX), so a test can tell which of
#   two packages of the same name was installed.
package() {
  local file="$1" arch="$2" lang="$3" version="$4" suffix="$5"
  local langid programfiles win64 wixlarch
  case "$lang" in Sl) langid=1060 ;; En) langid=1033 ;; esac
  case "$arch" in
    Win32) wixlarch=x86 programfiles=ProgramFilesFolder win64=no ;;
    x64 | ARM64) wixlarch=x64 programfiles=ProgramFiles64Folder win64=yes ;;
  esac
  local folder="Tamaris $version $arch $lang"
  local code="7A3D5E10-4C12-4B8E-9F00-$suffix"
  local upgrade
  upgrade="7A3D5E10-4C12-4B8E-9F01-$(printf '%06d%06d' "${#arch}" "$langid")"
  local component="7A3D5E10-4C12-4B8E-9F02-$suffix"
  local text="$work/$suffix.txt"
  printf 'Tamaris %s, %s, %s (%s)\r\n' "$version" "$arch" "$lang" "$file" > "$text"
  # wixl takes source files relative to the folder it runs in.
  (cd "$work" && wixl -a "$wixlarch" -o "$work/$suffix.msi" \
      -D ProductCode="$code" -D UpgradeCode="$upgrade" -D ComponentCode="$component" \
      -D Version="$version" -D Language="$langid" \
      -D ProductName="Tamaris $version ($arch, $lang)" -D FolderName="$folder" \
      -D ProgramFiles="$programfiles" -D Win64="$win64" -D SourceFile="$suffix.txt" \
      "$wxs")
  if [ "$arch" = ARM64 ]; then
    # wixl knows no ARM64: the package is an x64 one that says ARM64 in its
    # summary. It is only ever served and chosen, never installed here.
    msibuild "$work/$suffix.msi" -s "Tamaris $version ($arch, $lang)" Tamaris "Arm64;$langid" \
        "{$(cat /proc/sys/kernel/random/uuid | tr a-z A-Z)}"
  fi
  printf '%s/%s\t{%s}\t%s\t%s\n' "$(basename "$(dirname "$file")")" "$(basename "$file")" "$code" "$version" \
      "$folder" >> "$out/products.txt"
  cp "$work/$suffix.msi" "$file"
}

n=0
for arch in Win32 x64 ARM64; do
  for lang in Sl En; do
    n=$((n + 1))
    name="Tamaris.$arch.$lang.msi"
    package "$out/unsigned/$name" "$arch" "$lang" 4.12 "$(printf '04120000%04d' $n)"
    sign "$out/unsigned/$name" "$out/signed/$name"
    # Damage the signature itself: one byte of the signer's encrypted digest
    # (the last bytes of the signature blob) is changed and the blob attached
    # to the unsigned package again. (Under Wine a package whose content was
    # changed after signing still verifies as trusted: its check of an MSI's
    # content is weak. A broken signature value is caught everywhere.)
    osslsigncode extract-signature -in "$out/signed/$name" -out "$work/signature.der" >/dev/null
    python3 -c 'import sys; p = sys.argv[1]; d = bytearray(open(p, "rb").read()); d[-40] ^= 0xFF; open(p, "wb").write(d)' \
        "$work/signature.der"
    # attach-signature checks what it attaches and says "failed", as it should.
    osslsigncode attach-signature -sigin "$work/signature.der" -in "$out/unsigned/$name" \
        -out "$out/tampered/$name" >/dev/null 2>&1 || true
    [ -s "$out/tampered/$name" ] || { echo "could not make tampered/$name" >&2; exit 1; }
    rm -f "$work/signature.der"
  done
done

# A signed package under a patch name: the patch of a patch-only product.
for lang in Sl En; do
  cp "$out/signed/Tamaris.x64.$lang.msi" "$out/signed/Tamaris.x64.$lang.msp"
done

# Packages of another version, and of a version too long for the setup to read.
package "$out/older/Tamaris.x64.Sl.msi" x64 Sl 4.11 041100000001
package "$out/older/Tamaris.x64.En.msi" x64 En 4.11 041100000002
package "$out/longversion/Tamaris.x64.Sl.msi" x64 Sl 4.12.00000.00001 041216000001
package "$out/longversion/Tamaris.x64.En.msi" x64 En 4.12.00000.00001 041216000002
# Signed like the current ones: the setup checks a package beside it before
# it reads its version.
for f in "$out"/older/*.msi "$out"/longversion/*.msi; do
  sign "$f" "$f.signed"
  mv "$f.signed" "$f"
done

rm -rf "$work"
