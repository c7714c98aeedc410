#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test
# (CTest), then the short bounded fuzz runs, then the whole suite again built with
# AddressSanitizer and UndefinedBehaviorSanitizer (the "asan" preset). Usage: scripts/test.sh
# (TOLMARE_NO_ASAN=1 leaves the sanitized run out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.ccache}" CCACHE_BASEDIR="$PWD"
phase() { echo "== $1 ($(date -u +%H:%M:%S), ${SECONDS}s since the start)"; }
phase "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMARE_WERROR=ON >/dev/null
cmake --build build
phase "fuzz"
if [ -f fuzz/run.sh ]; then fuzz/run.sh; fi
phase "tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j2)
if [ -z "${TOLMARE_NO_ASAN:-}" ]; then
  phase "sanitized build"
  cmake --preset asan -DTOLMARE_WERROR=ON >/dev/null
  cmake --build --preset asan
  phase "sanitized tests"
  ctest --preset asan -j2
fi
phase "done"
