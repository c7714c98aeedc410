#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for a short, bounded time from its seed corpus. Fails on a crash, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.ccache}" CCACHE_BASEDIR="$PWD"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTOLMARE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzz_archive fuzz_lzrw1kh
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in archive lzrw1kh; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing $target for ${seconds}s"
  (cd "$work" && TOLMARE_ARCHIVE_STATE="$work/state.txt" \
    "$OLDPWD/build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=0 "$work/$target" 2>&1 | tail -n 3)
done
# The return file reader and import (a data folder of its own, made by the target).
cmake --build build-fuzz --target fuzz_retorno
mkdir -p "$work/retorno"
cp fuzz/corpus/retorno/* "$work/retorno/"
echo "fuzzing retorno for ${seconds}s"
(cd "$work" && "$OLDPWD/build-fuzz/bin/fuzz_retorno" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=0 "$work/retorno" 2>&1 | tail -n 3)
