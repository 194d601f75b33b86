#!/usr/bin/env bash
# Makes the signed files that the signature tests check, from nothing kept in
# git: a test root authority, two code-signing certificates that it issues
# ("A" and "B": same issuer, different serial numbers) and signed copies of
# a given executable.
#
#   make_signatures.sh <executable> <output folder>
#
# Writes into the output folder:
#   signed-a.exe    the executable signed with certificate A
#   signed-b.exe    the same signed with certificate B
#   other-a.exe     a different file (one byte of its code changed) signed
#                   with certificate A: valid, same signer, other content
#   tampered-a.exe  signed-a.exe with that byte changed after signing
#   unsigned.exe    a plain copy
set -euo pipefail

exe="$1"
out="$2"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > ca.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ca
[dn]
CN = Pelorin Test Root
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
cat > signer.cnf <<'CNF'
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 3650 -config ca.cnf 2>/dev/null

sign_with() {
  local name="$1" serial="$2"
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=Pelorin Test Signer $name" 2>/dev/null
  openssl x509 -req -in "$name.csr" -CA ca.crt -CAkey ca.key -set_serial "$serial" -days 3650 \
      -extfile signer.cnf -out "$name.crt" 2>/dev/null
  cat "$name.crt" ca.crt > "$name-chain.crt"
  rm -f "$out/signed-$name.exe"
  osslsigncode sign -h sha256 -certs "$name-chain.crt" -key "$name.key" -n "Pelorin test" \
      -in "$exe" -out "$out/signed-$name.exe" >/dev/null
}
sign_with a 4097
sign_with b 4098

cp "$exe" "$out/unsigned.exe"

# One byte in the middle of the image, far from the signature that
# osslsigncode appends at the end of the file.
offset=$(( $(stat -c %s "$exe") / 2 ))
flip_byte() {
  local byte
  byte=$(od -An -tu1 -j "$offset" -N1 "$1" | tr -d ' ')
  printf "\\$(printf %03o $(( byte ^ 0xFF )))" | dd of="$1" bs=1 seek="$offset" conv=notrunc status=none
}

cp "$exe" other.exe
flip_byte other.exe
rm -f "$out/other-a.exe"
osslsigncode sign -h sha256 -certs a-chain.crt -key a.key -n "Pelorin test" -in other.exe -out "$out/other-a.exe" >/dev/null

cp "$out/signed-a.exe" "$out/tampered-a.exe"
flip_byte "$out/tampered-a.exe"
