#!/bin/sh
# Makes the certificates of the TLS tests in DIR, with the openssl command:
#   ca.pem                  the test CA, the one bundle the tests trust
#   good.pem/.key           localhost and 127.0.0.1, valid now
#   wrongname.pem/.key      valid now, but for another name only
#   expired.pem/.key        127.0.0.1, valid during 2020 only
#   future.pem/.key         127.0.0.1, valid from 2099 only
#   selfsigned.pem/.key     127.0.0.1, valid now, signed by its own key
#   stranger.pem/.key       127.0.0.1, valid now, from a CA nobody trusts
#   cnonly.pem/.key         valid now, the name localhost as common name, no subjectAltName
set -eu
cd "$1"

cat > ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
database = $ENV::CA_NAME.index
new_certs_dir = .
serial = $ENV::CA_NAME.serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[leaf]
basicConstraints = CA:FALSE
keyUsage = digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = $ENV::SAN
[cnonly]
basicConstraints = CA:FALSE
keyUsage = digitalSignature
extendedKeyUsage = serverAuth
CNF

key() {
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null
}

authority() {
    key "$1"
    openssl req -x509 -new -key "$1.key" -subj "/CN=$2" -days 30 -out "$1.pem" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign"
    : > "$1.index"
    echo 01 > "$1.serial"
}

# leaf NAME CA SAN DATES... (SAN "none": the name as common name, no subjectAltName)
leaf() {
    name=$1 ca=$2 san=$3 extensions=leaf subject=$1
    shift 3
    [ "$san" != none ] || { extensions=cnonly subject=localhost; }
    key "$name"
    openssl req -new -key "$name.key" -subj "/CN=$subject" -out "$name.csr"
    SAN=$san CA_NAME=$ca openssl ca -batch -notext -config ca.cnf -extensions $extensions \
        -cert "$ca.pem" -keyfile "$ca.key" -in "$name.csr" -out "$name.pem" "$@" 2>/dev/null
}

authority ca "Tidemark Test CA"
authority otherca "Unknown Test CA"
leaf good ca "DNS:localhost,IP:127.0.0.1" -days 30
leaf wrongname ca "DNS:someone-else.test" -days 30
leaf expired ca "IP:127.0.0.1" -startdate 20200101000000Z -enddate 20201231000000Z
leaf stranger otherca "IP:127.0.0.1" -days 30
leaf cnonly ca none -days 30
leaf future ca "IP:127.0.0.1" -startdate 20990101000000Z -enddate 20991231000000Z
key selfsigned
openssl req -x509 -new -key selfsigned.key -subj "/CN=selfsigned" -days 30 -out selfsigned.pem \
    -addext "subjectAltName=IP:127.0.0.1" -addext "basicConstraints=CA:FALSE"
