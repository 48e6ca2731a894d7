#!/usr/bin/env bash
# The socket client's whole job on one machine: the reference socket print
# server, a private cupsd with a stand-in backend for
# "olvenka-cloud-printer:/" queues, and the client's window with a saved
# server, so it logs in. The demo driver adds a queue through the printer
# table, prints a PDF to it with lp, and shows the job in the queue view
# going from "Print waiting" to "Completed" as the server reports it.
#
# Runs as root on Debian 12, usually from scripts/demo.sh. The machine's own
# CUPS, spool folders and buses are not touched: a private cupsd (reached
# as "localhost" on a port of its own), private buses, a spool folder and a
# home directory of the demo's own, removed at the end.
# Usage: scripts/demo-socket-client.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

if [ "$(id -u)" -ne 0 ]; then
  echo "demo-socket-client.sh: run as root (it runs a private cupsd)" >&2
  exit 1
fi
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target socket-client-demo-driver olvenka-reference-server

# Inside private buses: the stand-in backend calls the window over the
# private system bus, which cupsd hands to it.
if [ -z "${OLVENKA_DEMO_INSIDE:-}" ]; then
  OLVENKA_DEMO_INSIDE=1 exec "$root/testing/dbus/with-buses.sh" "$0" "$build"
fi

shots=$build/demo/screenshots/socket-client
work=$(mktemp -d /tmp/olvenka-demo.XXXXXX)
chmod 0755 "$work"
cupsd_dir=
xvfb_pid=
cleanup() {
  set +e
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$cupsd_dir" ] && "$root/testing/cups/stop-cupsd.sh" "$cupsd_dir"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The backend runs as the print system's account and writes the job here.
export OLVENKA_SPOOL_DIR=$work/spool
mkdir -m 1777 "$OLVENKA_SPOOL_DIR"

echo "== private CUPS server with the stand-in olvenka-cloud-printer backend"
eval "$("$root/testing/cups/start-cupsd.sh")"
cupsd_dir=$QUORVIA_CUPSD_DIR
echo "localhost:$IPP_PORT (the machine's own CUPS is not touched)"

export HOME=$work/home
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="olvenka.*.debug=false"

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(head -1 "$work/display")
fi
export QT_QPA_PLATFORM=xcb

echo "== the socket client's window on $DISPLAY"
rm -rf "$shots" && mkdir -p "$shots"
if ! "$build/demo/socket-client/socket-client-demo-driver" "$shots" "$OLVENKA_SPOOL_DIR" "$cupsd_dir/conf/ppd" \
  "$root/data/olvenka-cloud-printer/RZP.ppd"; then
  echo "the private cupsd's log:" >&2
  tail -n 20 "$cupsd_dir/log/error_log" >&2
  exit 1
fi
echo "screenshots: $shots"
