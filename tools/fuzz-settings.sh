#!/usr/bin/env bash
# Fuzzes the settings values for longer than ./test.sh does: the game started again and again
# with random mixes of hostile values for its settings keys, in the sanitizer build.
#   tools/fuzz-settings.sh [seconds, default 600] [seed]
# Build the test build first (./test.sh, or cmake --build build/test --target core_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build/test/tests/core/core_tests
if [ ! -x "$binary" ]; then
  echo "Build the test build first: $binary is missing." >&2
  exit 1
fi
seconds=${1:-600}
seed=${2:-$RANDOM}
echo "Fuzzing the settings for $seconds s, seed $seed"
PADDLESTONE_FUZZ_SECONDS="$seconds" PADDLESTONE_FUZZ_SEED="$seed" \
  ASAN_OPTIONS="$(cat tests/support/fuzz-asan-caps)" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  "$binary" --gtest_filter='SettingsFuzzTest.*'
