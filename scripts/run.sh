#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on its default data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolmare-ccache}" CCACHE_BASEDIR="$PWD"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tolmare
exec build/bin/tolmare "$@"
