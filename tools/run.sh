#!/usr/bin/env bash
# Installs what is needed, builds Varnello in Release and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=OFF
cmake --build build/release --parallel "$(nproc)" --target varnello
exec build/release/src/app/varnello "$@"
