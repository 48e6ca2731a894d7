#!/usr/bin/env bash
# The client's installed bus policy on a bus that denies by default: a
# desktop user's client owns its name; only root and the print account may
# call it, so nobody else can make it upload or delete spool files.
# Usage: policy.sh CLIENT PRINT_USER POLICY_FILE
set -u
. "$(dirname "$0")/../../testing/dbus/policy-bus.sh"
client=$1 print_user=$2 policy=$3

policy_bus_dir

policy_bus_start "$dir" "$policy"
pids+=("${policy_bus_pids[@]}")

HOME=$dir/nobody-home XDG_RUNTIME_DIR=$dir/nobody-home QT_QPA_PLATFORM=offscreen \
  setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups -- "$client" >"$dir/client.log" 2>&1 &
pids+=($!)
name_owned() {
  for _ in $(seq 1 500); do
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:com.olvenka.cloud.printer 2>/dev/null | grep -q "boolean true" && return 0
    sleep 0.01
  done
  return 1
}
check "a desktop user's client owns its name" name_owned

# An empty name is no job file: the client answers -1 to whoever may ask.
answers() { # account
  as "$1" dbus-send --system --print-reply --dest=com.olvenka.cloud.printer /com/olvenka/cloud/printer \
    com.olvenka.cloud.printer.callPrintOperation string: string: 2>&1 | grep -q "int32 -1"
}
refused() { ! answers "$1"; }
check "root calls the client" answers root
check "the print account calls the client" answers "$print_user"
check "another account cannot call the client" refused daemon

if [ "$failures" -ne 0 ]; then
  echo "--- client"; cat "$dir/client.log"; echo "--- bus"; cat "$dir/bus.log"
  exit 1
fi
