#!/usr/bin/env bash
# Builds the physics-library layer and its tests with ThreadSanitizer and runs them.
# Run it after any change to src/phys: the layer steps on a worker thread, and races there
# show up nowhere else. Not part of CI (it needs its own build of everything it links).
# Usage: tools/tsan-phys.sh [gtest filter]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
source tools/build-common.sh

build=build/tsan
jobs=$(nproc 2>/dev/null || echo 2)
configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADDLESTONE_TSAN=ON -DPADDLESTONE_BENCH=OFF \
  -DPADDLESTONE_BIN_DIR="$(pwd)/$build/bin"
cmake --build "$build" -j "$jobs" --target phys_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  "$build/tests/phys/phys_tests" --gtest_filter="${1:-*}"
