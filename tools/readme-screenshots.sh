#!/usr/bin/env bash
# Takes the README's pictures from the running game: builds the test build's whole-game tests,
# drives the main road by keyboard under Xvfb at 1280 x 720 on the OpenGL driver, and copies
# the title screen, the first story level and the pause menu into docs/screenshots/.
# PADDLESTONE_BUILD_DIR chooses the build folder (default build/test, as ./test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/install-deps.sh
source tools/build-common.sh

build=${PADDLESTONE_BUILD_DIR:-build/test}
jobs=$(nproc 2>/dev/null || echo 2)
configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPADDLESTONE_SANITIZE=ON \
      -DPADDLESTONE_BIN_DIR="$root/bin-test"
cmake --build "$build" -j "$jobs" --target game_gl_tests

shots="$build/tests/game"
rm -f "$shots"/main-road-keyboard-*.png
PADDLESTONE_ROAD_SIZE=1280x720 xvfb-run -a -s '-screen 0 1280x720x24' \
  ctest --test-dir "$build" -R '^game_gl_tests\.MainRoadGlTest\.TheRoadByKeyboard$' --output-on-failure

mkdir -p docs/screenshots
cp "$shots/main-road-keyboard-1-title.png" docs/screenshots/title-screen.png
cp "$shots/main-road-keyboard-2-level.png" docs/screenshots/story-level.png
cp "$shots/main-road-keyboard-3-pause.png" docs/screenshots/pause-menu.png
echo "Wrote docs/screenshots/title-screen.png, story-level.png and pause-menu.png"
