#!/usr/bin/env bash
# Builds the Google Benchmark programs (optimised, no sanitizers) into
# build-bench/bench/ and runs the ones named (all when none is named).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON -DQC_BUILD_TESTS=ON \
  -DQC_BUILD_WINDOW=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"
if [[ $# -eq 0 ]]; then set -- build-bench/bench/bench_*; else set -- "${@/#/build-bench/bench/}"; fi
for b in "$@"; do echo "== $b"; "$b"; done
