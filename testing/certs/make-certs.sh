#!/usr/bin/env bash
# Creates a throw-away CA and server certificates for the reference cloud
# print server: used by tests (at test time) and by scripts/demo.sh.
#
# Usage: make-certs.sh OUTDIR [VENDOR_DOMAIN]
#
# OUTDIR receives (all keys are EC P-256, PEM):
#   ca.pem ca.key                 the CA that clients trust
#   server.pem server.key         SAN DNS:VENDOR_DOMAIN (the one a client accepts)
#   other-name.pem/.key           SAN DNS:printer.example.org
#   ip-first.pem/.key             SAN IP:127.0.0.1 first, then DNS:VENDOR_DOMAIN
#   cn-only.pem/.key              no SAN, CN=VENDOR_DOMAIN
#   nul-name.pem/.key             SAN DNS:"VENDOR_DOMAIN\0.example.org" (embedded NUL byte)
#   expired.pem/.key              SAN DNS:VENDOR_DOMAIN, validity already over
#   untrusted-ca.pem/.key         a second CA that clients do not trust
#   untrusted.pem/.key            SAN DNS:VENDOR_DOMAIN, issued by the untrusted CA
set -euo pipefail

out=${1:?usage: make-certs.sh OUTDIR [VENDOR_DOMAIN]}
domain=${2:-cloudprint.quorvia.com}
mkdir -p "$out"
cd "$out"

newkey() {
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$1" 2>/dev/null
  chmod 0600 "$1"
}

make_ca() { # name subject
  newkey "$1.key"
  openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 3650 -subj "$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# issue NAME CA SUBJECT DAYS [EXTENSION_LINE]
issue() {
  local name=$1 ca=$2 subject=$3 days=$4 ext=${5:-}
  newkey "$name.key"
  openssl req -new -key "$name.key" -out "$name.csr" -subj "$subject" 2>/dev/null
  {
    echo "[v3]"
    echo "basicConstraints=CA:FALSE"
    echo "keyUsage=critical,digitalSignature,keyEncipherment"
    echo "extendedKeyUsage=serverAuth"
    [ -n "$ext" ] && echo "$ext"
  } > "$name.ext"
  openssl x509 -req -in "$name.csr" -CA "$ca.pem" -CAkey "$ca.key" -set_serial "0x$(openssl rand -hex 8)" \
    -days "$days" -extfile "$name.ext" -extensions v3 -out "$name.pem" 2>/dev/null
  rm -f "$name.csr" "$name.ext"
}

# DER of a subjectAltName holding one DNS name given as hex bytes.
san_der_hex() {
  local name_hex=$1
  local name_len=$(( ${#name_hex} / 2 ))
  printf '30%02x82%02x%s' $((name_len + 2)) "$name_len" "$name_hex"
}

make_ca ca "/CN=Quorvia Cloud Print Test CA"
make_ca untrusted-ca "/CN=Untrusted Test CA"

issue server ca "/CN=$domain" 3650 "subjectAltName=DNS:$domain"
issue other-name ca "/CN=printer.example.org" 3650 "subjectAltName=DNS:printer.example.org"
issue ip-first ca "/CN=$domain" 3650 "subjectAltName=IP:127.0.0.1,DNS:$domain"
issue cn-only ca "/CN=$domain" 3650
nul_hex=$(printf '%s' "$domain" | od -An -tx1 | tr -d ' \n')00$(printf '%s' ".example.org" | od -An -tx1 | tr -d ' \n')
issue nul-name ca "/CN=nul.example.org" 3650 "subjectAltName=DER:$(san_der_hex "$nul_hex")"
issue expired ca "/CN=$domain" -1 "subjectAltName=DNS:$domain"
issue untrusted untrusted-ca "/CN=$domain" 3650 "subjectAltName=DNS:$domain"

echo "certificates written to $out"
