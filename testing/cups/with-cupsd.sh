#!/usr/bin/env bash
# Runs "$@" against a private cupsd of its own (unique temp dir, local socket,
# stand-in tqp backend) with CUPS_SERVER exported, then stops that cupsd by
# its PID and removes the dir. QUORVIA_CUPSD_DIR names the server's dir, so a
# test can look at the jobs the stand-in backend wrote to "$QUORVIA_CUPSD_DIR/jobs".
set -u
. "$(cd "$(dirname "$0")" && pwd)/cupsd-common.sh"

dir=$(mktemp -d /tmp/quorvia-cupsd.XXXXXX) || exit 1
cupsd_pid=
cleanup() {
  if [ -n "$cupsd_pid" ]; then
    cupsd_stop "$cupsd_pid"
    wait "$cupsd_pid" 2>/dev/null
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cupsd_prepare "$dir" || exit 1
cupsd_launch "$dir"
cupsd_wait_ready "$dir" "$cupsd_pid" || exit 1

export CUPS_SERVER="$dir/cups.sock"
export QUORVIA_CUPSD_DIR="$dir"
export IPP_PORT=$(cat "$dir/port")
"$@"
