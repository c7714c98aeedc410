#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for a short, bounded time from its seed corpus. Fails on a crash, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolmare-ccache}" CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTOLMARE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The archive reader, the block decoder, the legacy table reader, archives built and restored
# through the engine, restores from lying volumes, the return file reader and import, and the
# reader of the older (Paradox) table files.
targets=(archive lzrw1kh dbf roundtrip volumes retorno paradox)
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing $target for ${seconds}s"
  (cd "$work" && TOLMARE_ARCHIVE_STATE="$work/state.txt" \
    "$OLDPWD/build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=0 "$work/$target" 2>&1 | tail -n 3)
done
