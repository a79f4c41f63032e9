#!/usr/bin/env bash
# Builds the release build and runs the game from the repository root.
# Usage: ./play.sh [level.irr]
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPADDLESTONE_TESTS=OFF -DPADDLESTONE_BENCH=OFF >/dev/null
cmake --build build/release -j "$jobs" --target paddlestone

if [ -z "${DISPLAY:-}" ]; then
  echo "No display found: running the game under xvfb-run (nothing will be visible)."
  exec xvfb-run -a -s '-screen 0 1280x720x24' bin/paddlestone "$@"
fi
exec bin/paddlestone "$@"
