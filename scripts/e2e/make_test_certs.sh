#!/usr/bin/env bash
# make_test_certs.sh DIR: makes the HTTPS tests' certificates in DIR with the openssl command:
# ca.pem (the test authority the tests trust through SSL_CERT_FILE), and key/certificate pairs
# signed by it: good (127.0.0.1 and localhost), expired, wrongname (only other.invalid), plus
# untrusted, which another authority signed. EC P-256 keys, so handshakes cost little.
set -euo pipefail
dir=$1
mkdir -p "$dir/ca-db"
cd "$dir"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
key ca.key
openssl req -x509 -new -key ca.key -subj "/CN=ToraVin Test CA" -days 3650 -out ca.pem \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
key other-ca.key
openssl req -x509 -new -key other-ca.key -subj "/CN=Unknown Test CA" -days 3650 -out other-ca.pem \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
: >ca-db/index.txt
echo 1000 >ca-db/serial
cat >ca.cnf <<CNF
[ca]
default_ca = test
[test]
dir = $dir/ca-db
database = \$dir/index.txt
serial = \$dir/serial
new_certs_dir = \$dir
default_md = sha256
policy = any
unique_subject = no
copy_extensions = copy
[any]
commonName = supplied
CNF
# sign NAME SAN CA [START END]
sign() {
  local name=$1 san=$2 ca=$3
  key "$name.key"
  openssl req -new -key "$name.key" -subj "/CN=$name" -addext "subjectAltName=$san" \
    -out "$name.csr"
  local dates=(-days 825)
  if [ $# -gt 3 ]; then dates=(-startdate "$4" -enddate "$5"); fi
  openssl ca -batch -config ca.cnf -cert "$ca.pem" -keyfile "$ca.key" -notext \
    "${dates[@]}" -in "$name.csr" -out "$name.pem" 2>/dev/null
}
sign good "IP:127.0.0.1,DNS:localhost" ca
sign expired "IP:127.0.0.1,DNS:localhost" ca 20200101000000Z 20210101000000Z
sign wrongname "DNS:other.invalid" ca
sign untrusted "IP:127.0.0.1,DNS:localhost" other-ca
