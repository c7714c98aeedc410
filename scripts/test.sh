#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test
# (CTest; the tests labelled "pg" against a throw-away PostgreSQL server, pg_virtualenv), then
# the short bounded fuzz runs, then the whole suite again built with
# AddressSanitizer and UndefinedBehaviorSanitizer (the "asan" preset), then builds the Debian
# package and tests it installed (scripts/package-test.sh). Usage: scripts/test.sh
# (TOLMARE_NO_ASAN=1 leaves the sanitized run out, TOLMARE_NO_PACKAGE=1 the package).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# The compiler cache lives with the user, not the clone, so a fresh clone builds from it.
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolmare-ccache}"
# Relative paths and no working folder in the key: a clone in another folder hits the same
# entries (the debug information then names the folder of the first build).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
phase() { echo "== $1 ($(date -u +%H:%M:%S), ${SECONDS}s since the start)"; }
phase "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMARE_WERROR=ON >/dev/null
cmake --build build
phase "fuzz"
if [ -f fuzz/run.sh ]; then fuzz/run.sh; fi
phase "tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j2 -LE pg)
# The server store's tests need a server: a cluster of their own, dropped when they end.
(cd build && pg_virtualenv -t ctest --output-on-failure --timeout 900 -L pg)
if [ -z "${TOLMARE_NO_ASAN:-}" ]; then
  phase "sanitized build"
  cmake --preset asan -DTOLMARE_WERROR=ON >/dev/null
  # The build runs some of its own programs (manual pages, the manual's pictures): leaks at
  # their exit are not faults, as in the sanitized tests.
  ASAN_OPTIONS=detect_leaks=0 cmake --build --preset asan
  phase "sanitized tests"
  ctest --preset asan -j2 -LE pg
  pg_virtualenv -t ctest --preset asan -L pg
fi
if [ -z "${TOLMARE_NO_PACKAGE:-}" ]; then
  phase "package"
  scripts/package-test.sh
fi
phase "done"
