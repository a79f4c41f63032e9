#!/usr/bin/env bash
# Builds the test build (RelWithDebInfo with AddressSanitizer and UndefinedBehaviorSanitizer),
# runs every test, then the tests labelled gl side by side, each on an Xvfb server of its own,
# and closes with the line "N passed, N failed" over both runs. PADDLESTONE_BUILD_DIR chooses
# the build folder.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

tools/install-deps.sh
source tools/build-common.sh

build=${PADDLESTONE_BUILD_DIR:-build/test}
jobs=$(nproc 2>/dev/null || echo 2)

phase_start=$SECONDS
configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADDLESTONE_SANITIZE=ON \
      -DPADDLESTONE_BIN_DIR="$root/bin-test"
echo "configure took $((SECONDS - phase_start)) s"

phase_start=$SECONDS
if ! cmake --build "$build" -j "$jobs"; then
  echo "build took $((SECONDS - phase_start)) s"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "build took $((SECONDS - phase_start)) s"

status=0
passed=0
failed=0
# Adds the counts of a CTest summary line ("97% tests passed, 2 tests failed out of 60").
count_ctest() {
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1 || true)
  [ -n "$line" ] || return 0
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Every include runs down the layers (docs/architecture.md).
tools/check-layers.sh || { failed=$((failed + 1)); status=1; }

# What the unity batches and precompiled headers would hide: each changed source alone.
phase_start=$SECONDS
tools/check-standalone.sh "$build-standalone" || { failed=$((failed + 1)); status=1; }
echo "standalone check took $((SECONDS - phase_start)) s"

phase_start=$SECONDS
ctest --test-dir "$build" -LE gl --output-on-failure -j "$jobs" 2>&1 | tee "$log" || status=1
count_ctest "$log"
echo "tests took $((SECONDS - phase_start)) s"

if [ -n "$(ctest --test-dir "$build" -N -L gl | grep -E '^ *Test +#')" ]; then
  phase_start=$SECONDS
  echo "Running the gl tests, $jobs at a time, each on an Xvfb server of its own"
  # Each gl test starts its own server (tests/support/with-own-xvfb.sh), so they run side by
  # side, one per core: the software renderer keeps each busy, and more at a time only slows
  # each. One that hangs is stopped by its timeout (tests/CMakeLists.txt).
  ctest --test-dir "$build" -L gl --output-on-failure -j "$jobs" 2>&1 | tee "$log" || status=1
  count_ctest "$log"
  echo "gl tests took $((SECONDS - phase_start)) s"
fi

# A run that failed without a summary (a crash of CTest itself) still counts as a failure.
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
  failed=1
fi
echo "$passed passed, $failed failed"
exit $status
