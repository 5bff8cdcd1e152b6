#!/usr/bin/env bash
# Release build of the programs into build/ (build/quillcast, build/quillcast-cli).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQC_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
