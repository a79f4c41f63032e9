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

if [ -n "${DISPLAY:-}" ]; then
  exec bin/paddlestone "$@"
fi

# No display: the game runs on an X server of its own, as this script's child, so that a quit
# signal sent to the script (SIGTERM, SIGHUP, Ctrl+C) reaches the game and it ends in order;
# the server goes after it. (Under xvfb-run a signal to the script left the game running.)
command -v Xvfb >/dev/null || { echo "play.sh: no display and no Xvfb (package xvfb)" >&2; exit 1; }
echo "No display found: running the game on an X server of its own (nothing will be visible)."
folder=$(mktemp -d "${TMPDIR:-/tmp}/paddlestone-x.XXXXXX")
xvfb=
game=
cleanup() {
  [ -n "$game" ] && kill -TERM "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$folder"
}
trap cleanup EXIT
# The server picks a free display itself and writes its number once it takes connections.
mkfifo "$folder/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$folder/display" >"$folder/xvfb.log" 2>&1 &
xvfb=$!
number=
read -r -t 60 number <"$folder/display" || true
if [ -z "$number" ]; then
  echo "play.sh: Xvfb did not start:" >&2
  cat "$folder/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$number" bin/paddlestone "$@" &
game=$!
trap 'kill -TERM "$game" 2>/dev/null' TERM INT HUP
# A trapped signal ends a wait early: wait again until the game has ended.
while kill -0 "$game" 2>/dev/null; do
  wait "$game" 2>/dev/null || true
done
status=0
wait "$game" 2>/dev/null || status=$?
game=
exit "$status"
