#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer and UBSan, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNELLO_SANITIZE=ON
cmake --build build/test --parallel "$(nproc)"
# The sanitizer options and leak suppressions are built into the programs (cmake/Varnello.cmake).
cd build/test
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
