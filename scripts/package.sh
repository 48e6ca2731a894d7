#!/usr/bin/env bash
# Installs what is missing, makes an optimized build and the Debian packages
# from it (cmake/QuorviaPackaging.cmake).
# Usage: scripts/package.sh [build-dir]   (default: build; the .deb files land there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
cd "$build"
cpack -G DEB
ls -1 "$build"/*.deb
