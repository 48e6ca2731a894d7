#!/usr/bin/env bash
# The configurator's whole flow against a local reference cloud print server:
# installs what is missing, builds, makes a development CA and a server
# certificate for the build's vendor domain, starts the reference server with
# sample printers, a private CUPS server with the stand-in tqp backend, and
# the configurator pre-filled for that server.
#
#  - With a display (DISPLAY set): opens the configurator's window; use it,
#    close it, and the demo ends.
#  - Without one: runs the configurator's window under Xvfb, drives one
#    verification and one installation through it, writes screenshots and
#    prints where they are and which queue was created.
#
# Runs as root on Debian 12. The machine's own CUPS and the user's own
# configurator settings are left alone: the configurator runs with a
# throw-away home directory. Everything the demo starts is stopped at the end.
# Then it shows the socket client's whole job (scripts/demo-socket-client.sh).
# Usage: scripts/demo.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
ca_path=/usr/share/quorvia-cloud-print-configurator/cert/CA.pem
agent_path=/usr/lib/quorvia-daemon/quorvia-cloud-print-agent
code=demo-code-1234

if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: run as root (it installs packages and runs a private cupsd)" >&2
  exit 1
fi
"$root/scripts/install-deps.sh"

echo "== configure and build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target \
  quorvia-cloud-print-configurator cloudprint-reference-server configurator-demo-driver
domain=$(sed -n 's/^QUORVIA_VENDOR_DOMAIN:STRING=//p' "$build/CMakeCache.txt")
configurator=$build/configurator/quorvia-cloud-print-configurator
driver=$build/demo/configurator/configurator-demo-driver
shots=$build/demo/screenshots

work=$(mktemp -d /tmp/quorvia-demo.XXXXXX)
server_pid=
xvfb_pid=
app_pid=
cupsd_dir=
installed_ca=
created_dirs=()
agents_before=

# PIDs of running agents, from their executable links.
agent_pids() {
  local exe pid
  for exe in /proc/[0-9]*/exe; do
    if [ "$(readlink "$exe" 2>/dev/null)" = "$agent_path" ]; then
      pid=${exe#/proc/}
      echo "${pid%/exe}"
    fi
  done
}

stop_pid() {
  local pid=$1
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
}

cleanup() {
  set +e
  stop_pid "$app_pid"
  # An agent that the configurator started during the demo goes too.
  for pid in $(agent_pids); do
    case " $agents_before " in *" $pid "*) ;; *) stop_pid "$pid" ;; esac
  done
  stop_pid "$xvfb_pid"
  stop_pid "$server_pid"
  [ -n "$cupsd_dir" ] && "$root/testing/cups/stop-cupsd.sh" "$cupsd_dir"
  if [ -n "$installed_ca" ]; then
    rm -f "$installed_ca"
    for ((i = ${#created_dirs[@]} - 1; i >= 0; i--)); do rmdir "${created_dirs[$i]}" 2>/dev/null; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== development CA and server certificate for $domain"
"$root/testing/certs/make-certs.sh" "$work/certs" "$domain" >/dev/null

# The configurator trusts only the CA at its fixed path. Install the
# development CA there if (and only if) none is installed; a real one is
# never replaced. With a real one in place the window is run through the
# demo driver, which may trust another CA file.
ca_option=()
if [ ! -e "$ca_path" ]; then
  dir=$(dirname "$ca_path")
  while [ ! -d "$dir" ]; do created_dirs=("$dir" "${created_dirs[@]}"); dir=$(dirname "$dir"); done
  mkdir -p "$(dirname "$ca_path")"
  install -m 0644 "$work/certs/ca.pem" "$ca_path"
  installed_ca=$ca_path
  echo "installed the development CA at $ca_path (removed at the end)"
elif ! cmp -s "$ca_path" "$work/certs/ca.pem"; then
  echo "$ca_path holds another CA: it stays, and the demo window trusts the development CA by a test seam"
  ca_option=(--ca "$work/certs/ca.pem")
fi

driver_text() { # model name
  printf '#include <media.defs>\\nManufacturer \\"Quorvia\\"\\nVersion 1.0\\n*MediaSize A4\\n*MediaSize Letter\\n{\\n  ModelName \\"%s\\"\\n  PCFileName \\"TQP.ppd\\"\\n}\\n' "$1"
}

# Sample printers: idle, busy with jobs that change between polls, offline
# (status bit and attribute), and share names with backslashes and spaces.
cat >"$work/server.json" <<JSON
{
  "listen": "127.0.0.1",
  "port": 0,
  "portFile": "port",
  "certificate": "certs/server.pem",
  "key": "certs/server.key",
  "codes": ["$code"],
  "version": "1.2.0",
  "defaultDriver": "$(driver_text "Quorvia Cloud Printer")",
  "printers": [
    { "ID": "192.168.1.20\\\\HP LaserJet Pro M404", "ServerName": "print-server-01",
      "ShareName": "HP LaserJet Pro M404", "PortName": "192.168.1.20", "DriverName": "HP LaserJet PS",
      "Location": "Floor 1", "Status": 0, "cJobs": 0,
      "driver": "$(driver_text "HP LaserJet Pro M404 (cloud)")" },
    { "ID": "192.168.1.21\\\\Canon iR-ADV C5535", "ServerName": "print-server-01",
      "ShareName": "Canon iR-ADV C5535", "PortName": "192.168.1.21", "DriverName": "Canon Generic PS",
      "Location": "Floor 2", "Status": 0, "cJobs": 3, "cJobsSequence": [3, 5, 2, 0] },
    { "ID": "192.168.1.22\\\\Brother HL-L2350DW", "ServerName": "print-server-01",
      "ShareName": "Brother HL-L2350DW", "PortName": "192.168.1.22", "DriverName": "Brother Generic",
      "Location": "Store", "Status": 128, "cJobs": 2 },
    { "ID": "192.168.1.23\\\\Finance\\\\Kyocera TASKalfa (Colour)", "ServerName": "print-server-02",
      "ShareName": "Finance\\\\Kyocera TASKalfa (Colour)", "PortName": "USB001", "DriverName": "Kyocera KPDL",
      "Location": "Finance", "Status": 0, "cJobs": 0 },
    { "ID": "Reception label printer", "ServerName": "print-server-02",
      "ShareName": "Reception label printer", "PortName": "LPT1", "DriverName": "Generic Label",
      "Location": "Reception", "Attributes": 1024, "cJobs": 0 }
  ]
}
JSON

echo "== reference cloud print server"
"$build/testing/cloudprint-server/cloudprint-reference-server" "$work/server.json" \
  >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.err" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/port" ] || { echo "the reference server did not start" >&2; exit 1; }
port=$(cat "$work/port")
echo "listening on 127.0.0.1:$port (pid $server_pid), auth code $code"

echo "== private CUPS server"
eval "$("$root/testing/cups/start-cupsd.sh")"
cupsd_dir=$QUORVIA_CUPSD_DIR
echo "CUPS_SERVER=$CUPS_SERVER (the machine's own CUPS is not touched)"

# The configurator runs in a home of its own: the server record and the
# cloud port are written there through the configurator's own code.
export HOME=$work/home
export XDG_RUNTIME_DIR=$work/runtime
# Only warnings and worse, to keep the demo readable.
export QT_LOGGING_RULES="quorvia.*.debug=false;quorvia.*.info=false"
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$driver" prepare "tqp://127.0.0.1:$port" "$code"
echo "configurator home $HOME: cloud port $port, last used server tqp://127.0.0.1:$port"
agents_before=$(agent_pids | tr '\n' ' ')

if [ -n "${DISPLAY:-}" ]; then
  echo "== configurator window on $DISPLAY (close it to end the demo)"
  export XAUTHORITY=${XAUTHORITY:-$(getent passwd root | cut -d: -f6)/.Xauthority}
  if [ ${#ca_option[@]} -eq 0 ]; then
    "$configurator" &
  else
    "$driver" show "${ca_option[@]}" &
  fi
  app_pid=$!
  wait "$app_pid" || true
  app_pid=
else
  echo "== no display: the configurator runs under Xvfb and is driven"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(head -1 "$work/display")
  export QT_QPA_PLATFORM=xcb
  rm -rf "$shots" && mkdir -p "$shots"
  "$driver" drive "$shots" "${ca_option[@]}" &
  app_pid=$!
  wait "$app_pid"
  app_pid=
  echo
  echo "screenshots: $shots"
  ls -1 "$shots"
  echo
  echo "queues of the private CUPS server:"
  lpstat -v
fi

echo
echo "== the socket client (olvenka-cloud-printer-client)"
"$root/scripts/demo-socket-client.sh" "$build"
echo "== done"
