#!/usr/bin/env bash
# Starts the release game (bin/paddlestone) again and again, each time on its own Xvfb
# (1280x720, default settings: High quality), chooses New Game on the title screen with
# xdotool and lets the story play by itself. While it plays, the game's main thread is watched
# through /proc: a frame takes longer than 5 s when the main thread goes that long without
# once giving up the processor (every frame waits for the rasterizer and the X server). Each
# such frame is a frozen frame: the tool takes a stack of every thread with gdb, says whether
# the process was computing or waiting meanwhile, and keeps the log. A start whose frame stays
# frozen for 40 s is ended (SIGTERM, then SIGKILL). Build first with ./play.sh --build-only.
#   tools/freeze-starts.sh [starts (50)] [levels a start (1: the Garden; 3: the whole story)]
#                          [starts at once (1)]
# Prints one line a start and the summary "N starts, K frozen frames"; exits 1 when K > 0.
# FREEZE_STARTS_GAME=path runs another build of the game (to compare with an older one).
# FREEZE_STARTS_KEEP=folder keeps every start's log and stacks there (else only the frozen
# starts' are kept, in a folder the summary names).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source "$root/tools/own-xvfb.sh"
starts=${1:-50}
levels=${2:-1}
parallel=${3:-1}
frozenSeconds=5
giveUpSeconds=40
levelSeconds=120
binary=${FREEZE_STARTS_GAME:-$root/bin/paddlestone}
[ -x "$binary" ] || { echo "$binary is missing: run ./play.sh --build-only"; exit 2; }
for tool in Xvfb xdotool gdb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb xdotool gdb)"; exit 2; }
done
work=${FREEZE_STARTS_KEEP:-$(mktemp -d /tmp/freeze-starts.XXXXXX)}
mkdir -p "$work"

# Voluntary context switches of the main thread (the process's first thread).
switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/task/$1/status" 2>/dev/null; }
# CPU time of the whole process, in clock ticks.
cpuTicks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
loadedLevels() { grep -c "Loading level: Content/Levels/Story_" "$1" 2>/dev/null; }
tap() { DISPLAY=$1 xdotool keydown "$2"; sleep 0.03; DISPLAY=$1 xdotool keyup "$2"; }

# One start: its line, ending in the count of frozen frames, goes into $work/result-N.
runStart() {
  local start=$1 out="$work/start-$1" display=""
  mkdir -p "$out/run"
  ln -sfn "$root/Content" "$out/run/Content"
  local xvfb
  read -r display xvfb < <(startOwnXvfb "$out")
  [ "$display" != none ] || display=""
  if [ -z "$display" ]; then
    kill "$xvfb" 2>/dev/null
    echo "start $start: no X server, 0 frozen frames" >"$work/result-$start"
    return
  fi
  (cd "$out/run" && DISPLAY=":$display" XDG_DATA_HOME="$out/data" ALSOFT_DRIVERS=null \
    exec "$binary" >"$out/output.txt" 2>&1) &
  local game=$!
  local log="$out/run/PaddlestoneLog.txt" frozen=0 state="ended by itself" began=$SECONDS
  local lastSwitches=-1 still=0 cpuAtStill=0 reported=0 pressed=0
  while kill -0 "$game" 2>/dev/null; do
    sleep 0.5
    local loaded now
    loaded=$(loadedLevels "$log")
    # New Game: the title menu's first entry, once the title level has loaded.
    if [ "${loaded:-0}" -eq 0 ] && grep -q "Loading level: Content/Levels/MainScreen_Background" "$log" 2>/dev/null &&
      [ $((SECONDS - pressed)) -ge 6 ]; then
      sleep 2
      tap ":$display" Return
      pressed=$SECONDS
    fi
    # The start ends when the level after the last one watched begins to load or the story
    # returns to the title.
    if [ "${loaded:-0}" -gt "$levels" ] || { [ "${loaded:-0}" -ge 3 ] &&
      [ "$(grep -c "Loading level: Content/Levels/MainScreen_Background" "$log")" -ge 2 ]; }; then
      state=finished
      break
    fi
    if [ $((SECONDS - began)) -ge $((30 + levelSeconds * levels)) ]; then
      state=timeout
      break
    fi
    now=$(switches "$game")
    [ -n "$now" ] || continue
    if [ "$now" != "$lastSwitches" ]; then
      lastSwitches=$now still=$SECONDS cpuAtStill=$(cpuTicks "$game") reported=0
      continue
    fi
    if [ "$reported" -eq 0 ] && [ $((SECONDS - still)) -ge "$frozenSeconds" ]; then
      reported=1
      frozen=$((frozen + 1))
      local used kind
      used=$(( $(cpuTicks "$game") - cpuAtStill ))
      kind=waiting
      [ "$used" -ge $((frozenSeconds * $(getconf CLK_TCK) / 5)) ] && kind=computing
      {
        echo "frozen frame $frozen at $((SECONDS - began)) s of the start, $kind" \
          "(process CPU ${used} ticks in ${frozenSeconds} s; main thread $(awk '{print $3}' "/proc/$game/task/$game/stat"))," \
          "in $(grep -o "Loading level: [^ ]*" "$log" | tail -n 1 | cut -d' ' -f3)"
        tail -n 3 "$log"
        timeout 60 gdb -p "$game" -batch -nx -ex "set pagination off" -ex "thread apply all bt 25" 2>&1 |
          grep -v "^\[New LWP\|^\[Thread debugging\|^Using host libthread_db"
      } >>"$out/stacks.txt"
    fi
    if [ "$reported" -eq 1 ] && [ $((SECONDS - still)) -ge "$giveUpSeconds" ]; then
      state="frozen for good"
      break
    fi
  done
  kill -0 "$game" 2>/dev/null && { kill -TERM "$game"; sleep 4; kill -KILL "$game" 2>/dev/null; }
  wait "$game" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  echo "start $start: $state after $((SECONDS - began)) s, $(loadedLevels "$log") levels loaded, $frozen frozen frames" \
    >"$work/result-$start"
  [ "$frozen" -gt 0 ] || [ -n "${FREEZE_STARTS_KEEP:-}" ] || rm -rf "$out"
}

total=0
for first in $(seq 1 "$parallel" "$starts"); do
  last=$((first + parallel - 1))
  [ "$last" -le "$starts" ] || last=$starts
  for start in $(seq "$first" "$last"); do
    runStart "$start" &
  done
  wait
  for start in $(seq "$first" "$last"); do
    line=$(cat "$work/result-$start" 2>/dev/null || echo "start $start: no result, 0 frozen frames")
    rm -f "$work/result-$start"
    echo "$line"
    total=$((total + $(echo "$line" | awk '{print $(NF-2)}')))
  done
done
echo "$starts starts, $total frozen frames"
if [ "$total" -gt 0 ] || [ -n "${FREEZE_STARTS_KEEP:-}" ]; then
  echo "stacks and logs: $work (stacks.txt in each start's folder)"
else
  rm -rf "$work"
fi
[ "$total" -eq 0 ]
