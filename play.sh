#!/usr/bin/env bash
# Builds the release build and runs the game from the repository root.
# Usage: ./play.sh [level.irr]      build, then run the game (with a level: that level)
#        ./play.sh --build-only     build only
# PADDLESTONE_BUILD_DIR chooses the build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh
source tools/build-common.sh

build=${PADDLESTONE_BUILD_DIR:-build/release}
jobs=$(nproc 2>/dev/null || echo 2)
configure_build "$build" -DCMAKE_BUILD_TYPE=Release -DPADDLESTONE_TESTS=OFF -DPADDLESTONE_BENCH=OFF
cmake --build "$build" -j "$jobs" --target paddlestone
if [ "${1:-}" = "--build-only" ]; then
  exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "No display found: running the game under xvfb-run (nothing will be visible)."
  exec xvfb-run -a -s '-screen 0 1280x720x24' bin/paddlestone "$@"
fi
exec bin/paddlestone "$@"
