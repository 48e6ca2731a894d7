#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
# Usage: scripts/test.sh [build-dir]              (default: build)
#        scripts/test.sh --sanitize [build-dir]   (default: build-asan)
#        scripts/test.sh --tsan [build-dir]       (default: build-tsan)
#
# --sanitize builds everything but the benchmarks unoptimized with
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer and runs the
# whole suite. --tsan builds the configurator's threaded tests with
# ThreadSanitizer and runs only those. In both, the first report stops its
# program, and any report, also from a program a test started, fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

mode=normal
case "${1:-}" in
  --sanitize) mode=asan; shift ;;
  --tsan)     mode=tsan; shift ;;
  -*)         echo "Usage: $0 [--sanitize|--tsan] [build-dir]" >&2; exit 2 ;;
esac

"$root/scripts/install-deps.sh"

jobs=$(nproc)
supp="$root/testing/sanitizers"

# Configures a Debug build with the given sanitizer flags, without benchmarks.
configure_sanitized() { # build-dir flags [cmake options...]
  local build=$1 flags=$2
  shift 2
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIA_BUILD_BENCH=OFF -DQUORVIA_WERROR=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$flags" "$@"
}

# An empty folder for the reports, writable by programs that tests run as
# another user.
report_dir() {
  local dir="$1/sanitizer-reports"
  rm -rf "$dir"
  mkdir -p "$dir"
  chmod 1777 "$dir"
  echo "$dir"
}

# Prints every report and fails if there was one. UBSan next to ASan writes
# to standard error whatever log_path says, so its reports are looked for in
# the output ctest kept of every test.
check_reports() { # report-dir build-dir
  local found f ub
  found=$(grep -l "SUMMARY: " "$1"/* 2>/dev/null || true)
  ub=$(grep -c "runtime error: " "$2/Testing/Temporary/LastTest.log" 2>/dev/null || true)
  [ -z "$found" ] && [ "${ub:-0}" -eq 0 ] && return 0
  for f in $found; do
    echo "==== $f"
    cat "$f"
  done
  if [ "${ub:-0}" -gt 0 ]; then
    echo "==== $2/Testing/Temporary/LastTest.log"
    grep -B2 -A12 "runtime error: " "$2/Testing/Temporary/LastTest.log"
  fi
  echo "Sanitizer reports: $(echo "$found" | grep -c . || true) in $1, $ub undefined behaviour" >&2
  return 1
}

case "$mode" in
normal)
  build=${1:-$root/build}
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIA_WERROR=ON
  cmake --build "$build" -j "$jobs"
  cd "$build"
  ctest --output-on-failure -j "$jobs" --timeout 600
  ;;

asan)
  build=${1:-$root/build-asan}
  # Unoptimized on purpose: only then does a library constant that is declared
  # but never defined fail to link when it is passed by reference.
  configure_sanitized "$build" "-fsanitize=address,undefined -fno-omit-frame-pointer"
  cmake --build "$build" -j "$jobs"
  logs=$(report_dir "$build")
  # ctest hands its environment to every test; the wrappers in testing/ and
  # the programs the tests start keep it. Reports go to files, so that one
  # from a server or program started by a test counts too.
  export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_odr_violation=2:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan:log_exe_name=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  cd "$build"
  status=0
  ctest --output-on-failure -j "$jobs" --timeout 900 || status=$?
  check_reports "$logs" "$build" || status=1
  exit "$status"
  ;;

tsan)
  build=${1:-$root/build-tsan}
  # The tests link testing/sanitizers/qthandoffs.cpp, which shows
  # ThreadSanitizer how Qt orders what it hands between threads.
  configure_sanitized "$build" "-fsanitize=thread -fno-omit-frame-pointer" -DQUORVIA_TSAN_QT_HANDOFFS=ON
  # The tests that run the verify worker and the printer rows' install and
  # poll threads, and what they start.
  tests=(configurator.window)
  targets=(tqp-generic-ppd cloudprint-reference-server)
  for t in "${tests[@]}"; do targets+=("tst_$t"); done
  cmake --build "$build" -j "$jobs" --target "${targets[@]}"
  logs=$(report_dir "$build")
  # Qt, GLib, libdbus and libcups are not instrumented: what their own calls of
  # malloc, free or memcpy touch is not checked (their plain accesses never
  # are), while their locks and threads still order our code.
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:log_path=$logs/tsan:log_exe_name=1"
  cd "$build"
  regex="^($(IFS='|'; echo "${tests[*]//./\\.}"))\$"
  status=0
  ctest --output-on-failure -j "$jobs" --timeout 900 -R "$regex" || status=$?
  check_reports "$logs" "$build" || status=1
  exit "$status"
  ;;
esac
