#!/usr/bin/env bash
# Builds the test build (RelWithDebInfo with AddressSanitizer and UndefinedBehaviorSanitizer),
# runs every test, then the tests labelled gl under one Xvfb server.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

tools/install-deps.sh

build=build/test
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADDLESTONE_SANITIZE=ON \
      -DPADDLESTONE_BIN_DIR="$root/bin-test" >/dev/null
cmake --build "$build" -j "$jobs"

status=0
ctest --test-dir "$build" -LE gl --output-on-failure -j "$jobs" || status=1

if [ -n "$(ctest --test-dir "$build" -N -L gl | grep -E '^ *Test +#')" ]; then
  echo "Running the gl tests under Xvfb"
  xvfb-run -a -s '-screen 0 1280x720x24' \
    ctest --test-dir "$build" -L gl --output-on-failure || status=1
fi

exit $status
