#!/usr/bin/env bash
# Sign-in and TLS costs of vex-appserver: bench/security/run.sh [CALLS]
# Makes a test certificate authority, a server certificate and a session
# key with openssl, and a small demo database, in a temporary folder; then
# prints one PBKDF2 check at 600,000 rounds, the TLS handshake, a whole
# session.login round trip, and ping and GetFiliOL over TLS against plain TCP.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VEX_BUILD_DIR:-$root/build}
cmake --build "$build" --target vex-db vex-appserver bench-security >/dev/null
dir=$(mktemp -d /tmp/vex-bench-security.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vex Bench CA" \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
  -keyout server.key -out server.csr 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' > san.cnf
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile san.cnf -out server.pem 2>/dev/null
head -c 32 /dev/urandom > auth.key
chmod 600 server.key auth.key
"$build/bin/vex-db" init --database "sqlite:$dir/bench.db" >/dev/null
"$build/bin/vex-db" demo --database "sqlite:$dir/bench.db" --scale 0.1 --seed 1 >/dev/null
"$build/bin/bench-security" --database "sqlite:$dir/bench.db" --pki "$dir" --calls "${1:-3000}"
