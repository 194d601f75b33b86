#!/usr/bin/env bash
# Signs the material of the engine upgrade tests with one self-made
# code-signing certificate, made afresh (nothing of it is kept in git):
#
#   sign.sh <output folder> <setup executable> <engine stand-in> [<engine stand-in>...]
#
# Writes into the output folder:
#   setup-signed.exe     the setup signed with the certificate
#   engine-signed.exe    the engine stand-in signed with the same certificate
#   engine-tampered.exe  engine-signed.exe with one byte of its image changed
#                        after signing, as a download altered on its way
#   signed/<name>.exe    each engine stand-in signed with the same certificate:
#                        what a vendor ships beside the setup
set -euo pipefail

out="$1"
setup="$2"
engine="$3"
shift 2
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat > "$work/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ca
[dn]
CN = Pelorin Upgrade Test Root
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
cat > "$work/signer.cnf" <<'CNF'
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.crt" -days 3650 \
    -config "$work/ca.cnf" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.csr" \
    -subj "/CN=Pelorin Upgrade Test Signer" 2>/dev/null
openssl x509 -req -in "$work/signer.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -set_serial 8193 \
    -days 3650 -extfile "$work/signer.cnf" -out "$work/signer.crt" 2>/dev/null
cat "$work/signer.crt" "$work/ca.crt" > "$work/chain.crt"

sign() {
  rm -f "$2"
  osslsigncode sign -h sha256 -certs "$work/chain.crt" -key "$work/signer.key" -n "Pelorin upgrade test" \
      -in "$1" -out "$2" >/dev/null
}
sign "$setup" "$out/setup-signed.exe"
sign "$engine" "$out/engine-signed.exe"

# One byte in the middle of the image, far from the signature that
# osslsigncode appends at the end of the file.
cp "$out/engine-signed.exe" "$out/engine-tampered.exe"
offset=$(( $(stat -c %s "$engine") / 2 ))
byte=$(od -An -tu1 -j "$offset" -N1 "$out/engine-tampered.exe" | tr -d ' ')
printf "\\$(printf %03o $(( byte ^ 0xFF )))" | dd of="$out/engine-tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
mkdir -p "$out/signed"
for each in "$@"; do
  sign "$each" "$out/signed/$(basename "$each")"
done
