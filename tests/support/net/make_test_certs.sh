#!/bin/sh
# Makes the certificates the TLS tests use, in the directory given:
#   ca.pem / ca.key            a test certificate authority
#   server.pem / server.key    for localhost and 127.0.0.1, signed by the test authority
#   self.pem / self.key        a self-signed certificate for localhost and 127.0.0.1
#   client.pem / client.key    a client certificate signed by the test authority
#   client.p12                 the same client identity, passphrase "test"
set -e
dir="$1"
[ -n "$dir" ] || { echo "usage: $0 DIR" >&2; exit 2; }
mkdir -p "$dir"
cd "$dir"
q="-loglevel error"
cat > san.cnf <<'CNF'
[ext]
subjectAltName = DNS:localhost, IP:127.0.0.1
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
[client]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = clientAuth
CNF
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -subj "/CN=Quenta Test CA" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 3650 \
    -extfile san.cnf -extensions ext 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 3650 -subj "/CN=localhost" \
    -addext "subjectAltName = DNS:localhost, IP:127.0.0.1" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout client.key -out client.csr -subj "/CN=Quenta Test Client" 2>/dev/null
openssl x509 -req -in client.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out client.pem -days 3650 \
    -extfile san.cnf -extensions client 2>/dev/null
openssl pkcs12 -export -in client.pem -inkey client.key -out client.p12 -passout pass:test 2>/dev/null
