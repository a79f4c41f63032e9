#!/usr/bin/env bash
# Runs one of the level tests' fuzz tests for longer than ./test.sh does, in the sanitizer build.
#   tools/fuzz-campaign.sh <gtest filter> <iterations per format> <seed> [seconds per class]
# tools/fuzz-levels.sh and tools/fuzz-meshes.sh call it with their own filter and defaults.
# Build the test build first (./test.sh, or cmake --build build/test --target level_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
filter=$1
iterations=$2
seed=$3
seconds=${4:-2}
binary=build/test/tests/level/level_tests
if [ ! -x "$binary" ]; then
  echo "Build the test build first: $binary is missing." >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "Fuzzing with $iterations mutations per format and $seconds s per content class, seed $seed"
cd "$work"
PADDLESTONE_SOURCE_DIR="$OLDPWD" PADDLESTONE_FUZZ_ITERATIONS="$iterations" PADDLESTONE_FUZZ_SEED="$seed" \
  PADDLESTONE_FUZZ_SECONDS="$seconds" \
  ASAN_OPTIONS="detect_leaks=1:$(cat "$OLDPWD/tests/support/fuzz-asan-caps")" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$OLDPWD/tests/lsan.supp:print_suppressions=0" \
  "$OLDPWD/$binary" --gtest_filter="$filter"
