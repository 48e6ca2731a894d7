#!/usr/bin/env bash
# Runs a command with a private HOME and XDG_RUNTIME_DIR that are removed
# afterwards, so tests never read or write the user's own configuration.
set -u
scratch=$(mktemp -d /tmp/quorvia-test.XXXXXX)
chmod 0700 "$scratch"
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 0700 "$scratch/runtime"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home"
export XDG_RUNTIME_DIR="$scratch/runtime"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
# Without a session bus address a Qt program may try to autolaunch one.
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-unix:path=$scratch/no-session-bus}"
"$@"
