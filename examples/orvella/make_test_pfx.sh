#!/usr/bin/env bash
# Makes a test code-signing certificate as a vendor gets one from a
# certificate authority: a .pfx with the certificate, its private key and the
# issuer, protected by a password. Made once; an existing one is kept.
#
#   make_test_pfx.sh OUTPUT_DIR
#
# OUTPUT_DIR receives test.pfx (password "orvella-test"), ca.crt (the test
# authority, for "osslsigncode verify -CAfile") and signer.crt.
set -euo pipefail

dir="${1:?usage: make_test_pfx.sh OUTPUT_DIR}"
mkdir -p "$dir"
[ -f "$dir/test.pfx" ] && [ -f "$dir/ca.crt" ] && exit 0
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat > "$work/ext.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Orvella Test Root
O = Orvella Test
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
CNF
openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 -config "$work/ext.cnf" -extensions ca \
    -keyout "$work/ca.key" -out "$work/ca.crt" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -sha256 -subj "/CN=Orvella Test Code Signing/O=Orvella Test" \
    -keyout "$work/signer.key" -out "$work/signer.csr" 2>/dev/null
openssl x509 -req -in "$work/signer.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -CAcreateserial \
    -days 3650 -sha256 -extfile "$work/ext.cnf" -extensions signer -out "$work/signer.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -certfile "$work/ca.crt" \
    -name "Orvella Test Code Signing" -passout pass:orvella-test -out "$work/test.pfx"
cp "$work/ca.crt" "$work/signer.crt" "$work/test.pfx" "$dir/"
