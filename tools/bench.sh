#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them (not part of CI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=OFF -DVARNELLO_BENCH=ON
cmake --build build/bench --parallel "$(nproc)"
for b in build/bench/bench/bench_*; do
  if [ -f "$b" ] && [ -x "$b" ]; then "$b" "$@"; fi
done
