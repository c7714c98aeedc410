#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (CTest), then the short
# bounded fuzz runs, then builds the Debian package and tests it installed
# (scripts/package-test.sh). Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.ccache}" CCACHE_BASEDIR="$PWD"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
if [ -f fuzz/run.sh ]; then fuzz/run.sh; fi
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900
cd ..
scripts/package-test.sh
