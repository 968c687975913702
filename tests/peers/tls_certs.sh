#!/usr/bin/env bash
# Makes the certificates of the TLS mail tests: tls_certs.sh DIR NAME. In DIR, each as .pem
# and .key (EC P-256):
#   ca        the test CA, the one the client is told to trust
#   good      NAME, signed by the CA
#   other     another name, signed by the CA
#   expired   NAME, signed by the CA, valid only in 2020
#   unknown   NAME, signed by a second CA that nobody trusts
set -euo pipefail
dir="$1"
name="$2"
mkdir -p "$dir"
cd "$dir"
state=$(mktemp -d ./ca-state.XXXXXX)
trap 'rm -rf "$state"' EXIT

# Runs openssl and shows its chatter only when it fails.
quiet() {
    local out
    out=$("$@" 2>&1) || { echo "$out" >&2; return 1; }
}

ca() { # BASE SUBJECT
    quiet openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes \
        -keyout "$1.key" -out "$1.pem" -days 3650 -subj "/CN=$2" \
        -addext basicConstraints=critical,CA:true \
        -addext keyUsage=critical,keyCertSign,cRLSign
}

# `openssl ca` rather than `x509 -req`: only it takes a start date, for the expired one.
cat >"$state/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
database = $state/index.txt
new_certs_dir = $state
serial = $state/serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
CNF

sign() { # BASE CA HOST [START END]
    local dates=(-days 825)
    [ $# -ge 5 ] && dates=(-startdate "$4" -enddate "$5")
    : >"$state/index.txt"
    echo 01 >"$state/serial"
    printf 'subjectAltName = DNS:%s\nbasicConstraints = CA:false\nextendedKeyUsage = serverAuth\n' \
        "$3" >"$state/ext.cnf"
    quiet openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$1.key" \
        -out "$state/$1.csr" -subj "/CN=$3"
    quiet openssl ca -batch -notext -config "$state/ca.cnf" -cert "$2.pem" -keyfile "$2.key" \
        -extfile "$state/ext.cnf" -in "$state/$1.csr" -out "$1.pem" "${dates[@]}"
}

ca ca "Nagomi test CA"
ca "$state/untrusted" "Untrusted test CA"
sign good ca "$name"
sign other ca "other.$name"
sign expired ca "$name" 20200101000000Z 20201231000000Z
sign unknown "$state/untrusted" "$name"
chmod 0644 ./*.pem
chmod 0600 ./*.key
