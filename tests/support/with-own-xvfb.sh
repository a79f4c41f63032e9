#!/usr/bin/env bash
# Runs one gl test on an X server of its own: a fresh Xvfb (1280x720x24) on a display number
# the server picks itself (-displayfd), ended with the test. gl tests then run side by side
# (ctest -j) without finding each other's windows or sharing a busy server.
#   with-own-xvfb.sh <test program> <arguments...>
# CTest runs every gl test program through this script (tests/CMakeLists.txt); the query of
# the test list runs without a server. The software OpenGL driver renders on
# LP_NUM_THREADS threads (1 unless the environment chooses): parallel tests share the cores.
set -uo pipefail

for argument in "$@"; do
  [ "$argument" = --gtest_list_tests ] && exec "$@"
done

command -v Xvfb >/dev/null || { echo "with-own-xvfb: Xvfb is not installed (package xvfb)" >&2; exit 1; }

folder=$(mktemp -d "${TMPDIR:-/tmp}/own-xvfb.XXXXXX") || exit 1
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The server writes its display number into the pipe once it accepts connections; a server
# that cannot start closes the pipe without one.
mkfifo "$folder/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset \
  3>"$folder/display" >"$folder/xvfb.log" 2>&1 &
xvfb=$!
number=
read -r -t 60 number <"$folder/display"
if [ -z "$number" ]; then
  echo "with-own-xvfb: Xvfb did not start:" >&2
  cat "$folder/xvfb.log" >&2
  exit 1
fi
# Nothing is left behind should the test and its server be killed (a CTest timeout).
rm -rf "$folder"

export DISPLAY=":$number"
export LP_NUM_THREADS="${LP_NUM_THREADS:-1}"
# The tests' pictures are smaller than the smallest window the game offers players.
export PADDLESTONE_SMALL_WINDOWS="${PADDLESTONE_SMALL_WINDOWS:-1}"
"$@"
status=$?
exit "$status"
