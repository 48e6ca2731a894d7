#!/usr/bin/env bash
# Demo: builds the cloud print RPC pieces, starts the reference cloud print
# server with a dev CA on loopback, makes verified calls through the
# configurator's RPC client and prints the server's printers.
# Runs as root on Debian 12, no display needed. Stops everything it started.
# Usage: scripts/demo.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
ca_path=/usr/share/quorvia-cloud-print-configurator/cert/CA.pem
code=demo-code-1234

"$root/scripts/install-deps.sh"

echo "== configure and build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target cloudprint-reference-server cloudprint-demo-client -j "$(nproc)"
domain=$(sed -n 's/^QUORVIA_VENDOR_DOMAIN:STRING=//p' "$build/CMakeCache.txt")

work=$(mktemp -d /tmp/quorvia-demo.XXXXXX)
server_pid=
installed_ca=
created_dirs=()
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid"
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$installed_ca" ]; then
    rm -f "$installed_ca"
    for ((i = ${#created_dirs[@]} - 1; i >= 0; i--)); do rmdir "${created_dirs[$i]}" 2>/dev/null || true; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== dev CA and server certificate for $domain"
"$root/testing/certs/make-certs.sh" "$work/certs" "$domain" >/dev/null

cat > "$work/server.json" <<JSON
{
  "listen": "127.0.0.1",
  "port": 0,
  "portFile": "port",
  "certificate": "certs/server.pem",
  "key": "certs/server.key",
  "codes": ["$code"],
  "version": "5.3.6",
  "defaultDriver": "#include <media.defs>\nManufacturer \"Example\"\nVersion 1.0\n*MediaSize A4\n{\n  ModelName \"TQP Cloud Printer\"\n  PCFileName \"TQP.ppd\"\n}\n",
  "printers": [
    { "ID": "192.168.1.20\\\\HP LaserJet", "ServerName": "print-server-01", "ShareName": "HP LaserJet",
      "DriverName": "HP LaserJet PS", "Location": "Floor 1", "Status": 0, "cJobs": 0 },
    { "ID": "192.168.1.21:9100\\\\Colour Copier", "ServerName": "print-server-01", "ShareName": "Colour Copier",
      "DriverName": "Generic PostScript Printer", "Location": "Floor 2", "Status": 1024, "cJobs": 3 },
    { "ID": "192.168.1.22\\\\Label Printer", "ServerName": "print-server-01", "ShareName": "Label Printer",
      "DriverName": "Generic Label", "Location": "Store", "Status": 16, "cJobs": 0 }
  ]
}
JSON

echo "== start the reference server"
"$build/testing/cloudprint-server/cloudprint-reference-server" "$work/server.json" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.err" >&2; exit 1; }
  sleep 0.1
done
port=$(cat "$work/port")
echo "listening on 127.0.0.1:$port (pid $server_pid)"

# The client trusts only the CA at its fixed path: install the dev CA there
# for the demo if (and only if) nothing is there yet.
if [ ! -e "$ca_path" ]; then
  dir=$(dirname "$ca_path")
  while [ ! -d "$dir" ]; do created_dirs=("$dir" "${created_dirs[@]}"); dir=$(dirname "$dir"); done
  mkdir -p "$(dirname "$ca_path")"
  install -m 0644 "$work/certs/ca.pem" "$ca_path"
  installed_ca=$ca_path
  echo "installed the dev CA at $ca_path for the demo (removed at the end)"
elif ! cmp -s "$ca_path" "$work/certs/ca.pem"; then
  echo "note: $ca_path exists and is not this demo's CA; the verified call will be refused"
fi

echo "== verified calls through CloudPrintRPCClient"
QT_LOGGING_RULES="quorvia.*.debug=false;quorvia.*.info=false" \
  "$build/testing/cloudprint-server/cloudprint-demo-client" "tqp://127.0.0.1:$port" "$code"

echo "== done"
