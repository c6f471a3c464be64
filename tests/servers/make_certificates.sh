#!/bin/sh -e
# Makes in the current directory ca.pem, an authority the TLS tests trust, and KIND.pem (key, then certificate) and KIND.sha256
# (its fingerprint) for each kind: trusted (127.0.0.1 and localhost), selfsigned, wrongname (wrong.example only)
# and expired (in 2021). Only "openssl ca" sets a validity in the past; its books are kept here.
new="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650"
openssl req -x509 $new -keyout ca.key -out ca.pem -subj "/CN=Ostrel Test CA" 2>/dev/null
openssl req -x509 $new -keyout key.pem -out selfsigned.crt -subj /CN=selfsigned -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=i\nnew_certs_dir=.\nserial=s\npolicy=p\ndefault_md=sha256\n[p]\nCN=supplied\n' >ca.cnf && touch i && echo 01 >s
sign() {
  echo "subjectAltName=$2" >"$1.ext" && openssl req -new -key key.pem -subj "/CN=$1" -out "$1.csr"
  openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" -extfile "$1.ext" -notext -out "$1.crt" $3 2>/dev/null
}
sign trusted IP:127.0.0.1,DNS:localhost "-days 3650"
sign wrongname DNS:wrong.example "-days 3650"
sign expired IP:127.0.0.1,DNS:localhost "-startdate 20200101000000Z -enddate 20210101000000Z"
for kind in trusted selfsigned wrongname expired; do
  cat key.pem "$kind.crt" >"$kind.pem" && openssl x509 -noout -fingerprint -sha256 -in "$kind.crt" | cut -d= -f2 | tr -d '\n' >"$kind.sha256"
done
