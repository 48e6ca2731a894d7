#!/usr/bin/env bash
# Starts a private cupsd that outlives this script (for demos and manual
# runs) and prints the lines to use it:
#   eval "$(testing/cups/start-cupsd.sh)"   # sets CUPS_SERVER, QUORVIA_CUPSD_DIR, QUORVIA_CUPSD_PID
#   ...
#   testing/cups/stop-cupsd.sh "$QUORVIA_CUPSD_DIR"
set -u
. "$(cd "$(dirname "$0")" && pwd)/cupsd-common.sh"

dir=$(mktemp -d /tmp/quorvia-cupsd.XXXXXX) || exit 1
if ! cupsd_prepare "$dir"; then
  rm -rf "$dir"
  exit 1
fi
cupsd_launch "$dir"
if ! cupsd_wait_ready "$dir" "$cupsd_pid"; then
  cupsd_stop "$cupsd_pid"
  rm -rf "$dir"
  exit 1
fi
printf "export CUPS_SERVER='%s'\n" "$dir/cups.sock"
printf "export QUORVIA_CUPSD_DIR='%s'\n" "$dir"
printf "export QUORVIA_CUPSD_PID='%s'\n" "$cupsd_pid"
printf "export IPP_PORT='%s'\n" "$(cat "$dir/port")"
