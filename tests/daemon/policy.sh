#!/usr/bin/env bash
# The installed bus policies on a bus that, like a distribution's system bus,
# denies by default: only root may own the daemon's name, only root and the
# print account may call the daemon, only root (the daemon) may call an agent.
# Usage: policy.sh DAEMON AGENT BACKEND PRINT_USER POLICY_FILE...
set -u
. "$(dirname "$0")/../../testing/dbus/policy-bus.sh"
daemon=$1 agent=$2 backend=$3 print_user=$4
shift 4

policy_bus_dir

policy_bus_start "$dir" "$@"
pids+=("${policy_bus_pids[@]}")
bus_call() { # method args...
  local method=$1; shift
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    "org.freedesktop.DBus.$method" "$@"
}
wait_for() { # file text
  for _ in $(seq 1 500); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.01; done
  return 1
}
fails() { ! "$@"; }
quiet() { "$@" >/dev/null 2>&1; }

# The name is refused to anyone but root.
as nobody "$daemon" 2>"$dir/nobody-daemon.log"
check "nobody cannot own the daemon's name" test $? -eq 3

"$daemon" 2>"$dir/daemon.log" &
pids+=($!)
name_owned() {
  for _ in $(seq 1 500); do
    bus_call NameHasOwner string:com.quorvia.cloud.print.daemon 2>/dev/null | grep -q "boolean true" && return 0
    sleep 0.01
  done
  return 1
}
check "root owns the daemon's name" name_owned

# Started directly, not through a shell function, so that the PID is the agent's.
HOME=$dir/nobody-home XDG_RUNTIME_DIR=$dir/nobody-home \
  setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups -- "$agent" 2>"$dir/agent.log" &
pids+=($!)
check "the agent of nobody starts" wait_for "$dir/agent.log" "start cloud agent"

check "the print account calls the daemon" quiet as "$print_user" "$backend" RemoteLog hello "$print_user"
check "another account cannot call the daemon" fails quiet as nobody "$backend" RemoteLog hello nobody

# Through the daemon the request reaches nobody's agent, which answers.
as "$print_user" "$backend" RequestAuthcode tqp://10.1.1.1:9100 nobody >/dev/null
check "the daemon reaches the user's agent" \
  wait_for "$dir/agent.log" "server conf has no config information for tqp://10.1.1.1:9100"
check "no bus error in the daemon" fails grep -q "D-Bus Error" "$dir/daemon.log"

agent_name=$(sed -n 's/.*RequestAuthcode find \(:[0-9.]*\)$/\1/p' "$dir/daemon.log")
call_agent=(dbus-send --system --print-reply --dest="$agent_name" /com/quorvia/cloud/print/agent
            com.quorvia.cloud.print.agent.RequestAuthcode string:tqp://10.1.1.2:9100)
check "root calls an agent" quiet "${call_agent[@]}"
check "another account cannot call an agent" fails quiet as "$print_user" "${call_agent[@]}"

if [ "$failures" -ne 0 ]; then
  echo "--- daemon"; cat "$dir/daemon.log"; echo "--- agent"; cat "$dir/agent.log"; echo "--- bus"; cat "$dir/bus.log"
  exit 1
fi
