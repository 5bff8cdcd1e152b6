#!/usr/bin/env bash
# Installs what is missing, builds the suite under sanitizers and runs it:
# first the thread tests under ThreadSanitizer, then every test under
# AddressSanitizer + UndefinedBehaviorSanitizer (its ctest summary closes
# the output).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DQC_SANITIZE=thread -DQC_WERROR=ON \
  -DQC_BUILD_WINDOW=OFF >/dev/null
cmake --build build-tsan -j"$jobs"
(cd build-tsan && ctest -L thread -j"$jobs" --output-on-failure --no-tests=ignore)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DQC_SANITIZE=address -DQC_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
cd build-asan && ctest -j"$jobs" --output-on-failure
