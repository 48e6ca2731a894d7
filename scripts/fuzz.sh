#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz/ and runs each for the given
# number of seconds, two at a time, on a copy of its corpus. Prints per target
# the executions per second, the coverage reached and what it found.
#
# Usage: scripts/fuzz.sh [seconds] [target...]   (default: 600, every target)
#
# Each run works in build-fuzz/fuzz-runs/<target>/: corpus/ (the copy, with the
# new finds), log, and crash-*, leak-*, timeout-* or oom-* for a finding. The
# committed corpus is never changed: once a finding is fixed, copy its file to
# tests/fuzz/corpus/<target>/ so that ctest (fuzz.<target>) replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
if [ $# -gt 0 ]; then shift; fi
build=${QUORVIA_FUZZ_BUILD:-$root/build-fuzz}
all=(rpc_replies config_file config_json socket_replies spool_names address_version)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

"$root/scripts/install-deps.sh"

# clang and its libFuzzer runtime.
fuzzer_links() {
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /dev/null 2>/dev/null
}
if ! command -v clang++ >/dev/null || ! fuzzer_links; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  command -v clang++ >/dev/null || apt-get install -y -qq --no-install-recommends clang >/dev/null
  if ! fuzzer_links; then
    major=$(clang++ -dumpversion | cut -d. -f1)
    apt-get install -y -qq --no-install-recommends "libclang-rt-$major-dev" >/dev/null
  fi
  fuzzer_links || { echo "clang cannot link libFuzzer programs" >&2; exit 1; }
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIA_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

runs=$build/fuzz-runs
# The server list targets save a file per input: on tmpfs that costs little.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/quorvia-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/fuzz/ubsan.supp"
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp"
export QT_QPA_PLATFORM=offscreen

# Runs in the background; the fuzzer replaces the subshell, so its PID is $!.
run_target() {
  local name=$1 dir=$runs/$1
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$scratch/$name"
  cp -r "$root/tests/fuzz/corpus/$name/." "$dir/corpus/"
  # The targets' own log lines (damaged files, cipher errors) would fill the
  # log: their stderr is closed, libFuzzer's and the sanitizers' reports stay.
  export TMPDIR=$scratch/$name
  exec "$build/tests/fuzz/fuzz_$name" "$dir/corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix="$dir/" >"$dir/log" 2>&1
}

children=()
stop() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  exit 130
}
trap stop INT TERM
echo "fuzzing ${targets[*]} for $seconds s each, two at a time; logs in $runs/<target>/log"
for name in "${targets[@]}"; do
  if [ ${#children[@]} -ge 2 ]; then
    wait -n || true
    alive=()
    for pid in "${children[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    children=("${alive[@]}")
  fi
  run_target "$name" &
  children+=($!)
done
wait || true

printf '\n%-16s %8s %7s %8s  %s\n' target exec/s cov ft outcome
for name in "${targets[@]}"; do
  dir=$runs/$name
  status=$(grep -E '^#[0-9]+.*cov: ' "$dir/log" | tail -n 1 || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$status")
  speed=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$dir/log" | tail -n 1)
  [ -n "$speed" ] || speed=$(sed -nE 's/.* exec\/s: ([0-9]+).*/\1/p' <<<"$status")
  finding=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | sort | head -n 1)
  if [ -n "$finding" ]; then
    # The report names the finding; the target's own check message shows
    # when it runs the input once with its stderr open.
    reason=$(grep -m1 -E 'ERROR: |runtime error:|ALARM:|check failed:' "$dir/log" | sed 's/^==[0-9]*==//' || true)
    detail=$(TMPDIR=$scratch/$name timeout 60 "$build/tests/fuzz/fuzz_$name" "$finding" 2>&1 |
      grep -m1 -E 'check failed:|runtime error:' || true)
    outcome="$(basename "$finding" | cut -d- -f1): ${detail:-$reason} ($finding)"
  elif grep -q 'DONE' "$dir/log"; then
    outcome=clean
  else
    outcome="did not finish (see $dir/log)"
  fi
  printf '%-16s %8s %7s %8s  %s\n' "$name" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$outcome"
done
