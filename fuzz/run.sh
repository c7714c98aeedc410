#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for a short, bounded time from its seed corpus. Fails on a crash, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.ccache}" CCACHE_BASEDIR="$PWD"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTOLMARE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzz_archive fuzz_lzrw1kh fuzz_dbf
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in archive lzrw1kh dbf; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing $target for ${seconds}s"
  (cd "$work" && TOLMARE_ARCHIVE_STATE="$work/state.txt" \
    "$OLDPWD/build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=0 "$work/$target" 2>&1 | tail -n 3)
done
# Round trips through the engine and restores from lying volumes.
cmake --build build-fuzz --target fuzz_roundtrip fuzz_volumes
for target in roundtrip volumes; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing $target for ${seconds}s"
  (cd "$work" && TOLMARE_ARCHIVE_STATE="$work/state.txt" \
    "$OLDPWD/build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=0 "$work/$target" 2>&1 | tail -n 3)
done
