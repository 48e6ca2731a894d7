#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it
# (the style is in .clang-format). With --fix, formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."

"$PWD/scripts/install-deps.sh"

mode=(--dry-run --Werror)
[ "${1:-}" = "--fix" ] && mode=(-i)
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --style=file "${mode[@]}"
