#!/usr/bin/env bash
# Builds and runs every benchmark, each against the private services it needs.
# Each prints its figures next to a baseline measured in the same run.
# Usage: scripts/bench.sh [build-dir] [name...]   names: common rpc cups daemon configurator socket-client
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(common rpc cups daemon configurator socket-client)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
# Targets are named with underscores: socket-client is bench_socket_client.
for n in "${names[@]}"; do targets+=("bench_${n//-/_}"); done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
home="$root/testing/with-home.sh"
for n in "${names[@]}"; do
  echo "== bench_$n"
  bin=$(find "$build/bench" -name "bench_${n//-/_}" -type f -executable | head -1)
  case "$n" in
    cups)   "$home" "$root/testing/cups/with-cupsd.sh" "$bin" ;;
    daemon|socket-client) "$home" "$root/testing/dbus/with-buses.sh" "$bin" ;;
    *)                 "$home" "$bin" ;;
  esac
done
