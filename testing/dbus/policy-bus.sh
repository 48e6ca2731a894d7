# Sourced by the bus policy tests: a private system bus that, like a
# distribution's, denies owning names and calling methods by default, with
# the policy files under test included, plus small helpers.
#   policy_bus_dir                        makes $dir (removed at exit) with a
#                                         home for nobody; processes in $pids
#                                         are stopped at exit
#   policy_bus_start DIR POLICY_FILE...   exports DBUS_SYSTEM_BUS_ADDRESS
#   check DESCRIPTION COMMAND...          PASS/FAIL line, counts failures
#   as ACCOUNT COMMAND...                 runs COMMAND as that account
failures=0
policy_bus_pids=()
pids=()

policy_bus_dir() {
  dir=$(mktemp -d /tmp/quorvia-policy.XXXXXX)
  chmod 0755 "$dir"
  mkdir -m 0700 "$dir/nobody-home" && chown nobody "$dir/nobody-home"
  trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done; rm -rf "$dir"' EXIT
}

policy_bus_start() {
  local dir=$1 policy includes=""
  shift
  for policy in "$@"; do includes+="  <include>$policy</include>"$'\n'; done
  cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
$includes</busconfig>
CONF
  dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile --print-address=3 \
    3>"$dir/address" >"$dir/bus.log" 2>&1 &
  policy_bus_pids+=($!)
  for _ in $(seq 1 500); do [ -s "$dir/address" ] && break; sleep 0.01; done
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$dir/address")
  export DBUS_SYSTEM_BUS_ADDRESS
}

check() { # description command...
  local what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
as() { # account command...
  local account=$1; shift
  setpriv --reuid="$account" --regid="$(id -gn "$account")" --clear-groups -- "$@"
}
