#!/usr/bin/env bash
# Runs a command with a private system-like bus and a private session bus,
# both removed afterwards. The programs under test reach them through
# DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS, which libdbus and
# QtDBus honour; no bus of the host is touched.
set -u

dir=$(mktemp -d /tmp/quorvia-buses.XXXXXX)
# Tests also connect as other users (nobody), so the sockets must be reachable.
chmod 0755 "$dir"

system_pid=
session_pid=
stop_buses() {
  for pid in $system_pid $session_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$dir"
}
trap stop_buses EXIT
trap 'exit 130' INT TERM

# A permissive policy: tests decide who talks to whom. No service directories,
# so nothing is ever bus-activated and an absent service stays absent.
write_config() { # type socket
  cat >"$dir/$1.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>unix:path=$2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
}

start_bus() { # type -> prints the pid, writes $dir/<type>.address
  write_config "$1" "$dir/$1_bus_socket"
  dbus-daemon --config-file="$dir/$1.conf" --nofork --nopidfile --print-address=3 \
    3>"$dir/$1.address" >"$dir/$1.log" 2>&1 &
  echo $!
}

wait_address() { # type pid
  for _ in $(seq 1 500); do
    if [ -s "$dir/$1.address" ]; then
      head -n 1 "$dir/$1.address"
      return 0
    fi
    kill -0 "$2" 2>/dev/null || break
    sleep 0.01
  done
  echo "with-buses.sh: the $1 bus did not start:" >&2
  cat "$dir/$1.log" >&2
  return 1
}

system_pid=$(start_bus system)
session_pid=$(start_bus session)
DBUS_SYSTEM_BUS_ADDRESS=$(wait_address system "$system_pid") || exit 1
DBUS_SESSION_BUS_ADDRESS=$(wait_address session "$session_pid") || exit 1
export DBUS_SYSTEM_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS

"$@"
