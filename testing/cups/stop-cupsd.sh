#!/usr/bin/env bash
# Stops a cupsd started by start-cupsd.sh, by the PID recorded in its dir,
# and removes the dir.  Usage: stop-cupsd.sh DIR
set -u
. "$(cd "$(dirname "$0")" && pwd)/cupsd-common.sh"

dir=${1:?usage: stop-cupsd.sh DIR}
case $dir in
  /tmp/quorvia-cupsd.*) ;;
  *) echo "stop-cupsd.sh: $dir is not a dir made by start-cupsd.sh" >&2; exit 2 ;;
esac
if [ -f "$dir/cupsd.pid" ]; then
  cupsd_stop "$(cat "$dir/cupsd.pid")"
fi
rm -rf "$dir"
