#!/usr/bin/env bash
# What a frame of the title screen costs against a frame of the peer's main menu (a Debian
# package, installed on its own: `peer` below): each run starts both games at the same moment
# on one Xvfb of their own (1280x720x24, Mesa's software renderer, sound to the null output),
# waits until both show their menus, then reads over the same seconds each process's CPU time
# (every thread: the software renderer shades on threads of its own) and the frames it showed.
# A frame is counted the same way for both: tools/frame-counter.c, preloaded into each game,
# counts the window-sized images the renderer puts on the X server, one a frame.
#   tools/title-cost.sh [runs (5)] [seconds measured a run (10)]
# Prints each run's CPU milliseconds a frame and frame rates, and last the median over the
# runs of title / peer's menu (goal: at most 1.0). Without the peer it measures the title
# alone and says that the peer is missing. Build first with ./play.sh --build-only.
# TITLE_COST_GAME=path measures another build of the game (to compare with an older one).
# The peer's first start asks questions (a profile name, the network, its tutorial); the tool
# answers them once, by clicks at fixed places of its 1280x720 window, in a home folder kept
# for it in ${XDG_CACHE_HOME:-~/.cache}/paddlestone-title-cost (remove it to set up again).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-5}
seconds=${2:-10}
binary=${TITLE_COST_GAME:-$root/bin/paddlestone}
peer=/usr/games/supertuxkart
peerHome=${XDG_CACHE_HOME:-$HOME/.cache}/paddlestone-title-cost
# After both show frames: the title's fade-in and the preview scenes' load, the peer's menu.
settleSeconds=6
startBound=120
[ -x "$binary" ] || { echo "$binary is missing: run ./play.sh --build-only"; exit 2; }
for tool in Xvfb xdotool cc; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb xdotool gcc)"; exit 2; }
done
havePeer=0
[ -x "$peer" ] && havePeer=1
work=$(mktemp -d /tmp/title-cost.XXXXXX)
pids=()
cleanUp() {
  local pid
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -TERM "$pid" 2>/dev/null
  done
  sleep 1
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanUp EXIT
cc -O2 -shared -fPIC -o "$work/frame-counter.so" "$root/tools/frame-counter.c" -ldl ||
  { echo "the frame counter did not build"; exit 2; }

ticksPerSecond=$(getconf CLK_TCK)
cpuTicks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
frames() { od -An -t u8 "$1" 2>/dev/null | tr -d ' '; }
# frameCost <frames> <ticks>: "ms-a-frame frames-a-second" over the run's seconds, or "none".
frameCost() {
  awk -v f="$1" -v t="$2" -v hz="$ticksPerSecond" -v s="$seconds" \
    'BEGIN { if (f <= 0) { print "none"; exit } printf "%.2f %.1f", t * 1000 / hz / f, f / s }'
}

source "$root/tools/own-xvfb.sh"

startGame() { # folder display
  mkdir -p "$1/data"
  ln -sfn "$root/Content" "$1/Content"
  (cd "$1" && DISPLAY=":$2" XDG_DATA_HOME="$1/data" ALSOFT_DRIVERS=null LD_PRELOAD="$work/frame-counter.so" \
    FRAME_COUNTER_FILE="$1/frames" exec "$binary" >"$1/output.txt" 2>&1) &
  echo "$!"
}

startPeer() { # folder display
  mkdir -p "$peerHome"
  (cd "$1" && DISPLAY=":$2" HOME="$peerHome" XDG_CONFIG_HOME="$peerHome/config" XDG_DATA_HOME="$peerHome/data" \
    XDG_CACHE_HOME="$peerHome/cache" ALSOFT_DRIVERS=null LD_PRELOAD="$work/frame-counter.so" \
    FRAME_COUNTER_FILE="$1/peer-frames" exec "$peer" --windowed --screensize=1280x720 >"$1/peer.txt" 2>&1) &
  echo "$!"
}

endProcess() {
  kill -0 "$1" 2>/dev/null || return
  kill -TERM "$1"
  for _ in $(seq 1 50); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# Waits until the counter has passed `count` frames; false after the bound or when the
# process ended.
waitForFrames() { # file count pid
  local began=$SECONDS
  while [ $((SECONDS - began)) -lt "$startBound" ]; do
    kill -0 "$3" 2>/dev/null || return 1
    [ "$(frames "$1")" -gt "$2" ] 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

# The peer's questions of its first start, answered once (its default profile, no network, no
# tutorial); it keeps the answers in its home folder when it ends.
setUpPeer() {
  [ -f "$peerHome/.set-up" ] && return 0
  echo "Setting up the peer's home folder $peerHome (its first start's questions)"
  local out="$work/setup"
  mkdir -p "$out"
  read -r display server < <(startOwnXvfb "$out")
  pids+=("$server")
  [ "$display" != none ] || { echo "no X server for the set-up"; return 1; }
  local pid
  pid=$(startPeer "$out" "$display")
  pids+=("$pid")
  click() { DISPLAY=":$display" xdotool mousemove "$1" "$2" click 1; sleep "$3"; }
  if waitForFrames "$out/peer-frames" 60 "$pid"; then
    sleep 3
    DISPLAY=":$display" xdotool key Return # the network question: no (its default)
    sleep 5
    click 820 160 1                         # the profile's name
    DISPLAY=":$display" xdotool type --delay 60 bench
    sleep 1
    click 515 630 6                         # create
    click 175 615 8                         # log in
    click 767 490 5                         # the tutorial question: no
    endProcess "$pid"
    touch "$peerHome/.set-up"
  else
    echo "the peer did not start"
    endProcess "$pid"
  fi
  endProcess "$server"
  [ -f "$peerHome/.set-up" ]
}

if [ "$havePeer" -eq 1 ]; then
  setUpPeer || havePeer=0
fi

ratios=()
titleCosts=()
peerCosts=()
for run in $(seq 1 "$runs"); do
  out="$work/run-$run"
  mkdir -p "$out"
  read -r display server < <(startOwnXvfb "$out")
  pids+=("$server")
  if [ "$display" = none ]; then
    echo "run $run: no X server"
    continue
  fi
  game=$(startGame "$out" "$display")
  pids+=("$game")
  peerPid=""
  if [ "$havePeer" -eq 1 ]; then
    peerPid=$(startPeer "$out" "$display")
    pids+=("$peerPid")
  fi
  # The title shows once its background level has loaded.
  began=$SECONDS
  until grep -q "Loading level: Content/Levels/MainScreen_Background" "$out/PaddlestoneLog.txt" 2>/dev/null; do
    if [ $((SECONDS - began)) -ge "$startBound" ] || ! kill -0 "$game" 2>/dev/null; then
      break
    fi
    sleep 0.2
  done
  ready=1
  waitForFrames "$out/frames" 30 "$game" || ready=0
  if [ -n "$peerPid" ]; then
    waitForFrames "$out/peer-frames" 60 "$peerPid" || ready=0
  fi
  if [ "$ready" -eq 0 ]; then
    echo "run $run: a game did not reach its menu within $startBound s"
    endProcess "$game"
    [ -n "$peerPid" ] && endProcess "$peerPid"
    endProcess "$server"
    continue
  fi
  sleep "$settleSeconds"
  gameFrames0=$(frames "$out/frames") gameTicks0=$(cpuTicks "$game")
  [ -n "$peerPid" ] && peerFrames0=$(frames "$out/peer-frames") peerTicks0=$(cpuTicks "$peerPid")
  sleep "$seconds"
  gameFrames1=$(frames "$out/frames") gameTicks1=$(cpuTicks "$game")
  [ -n "$peerPid" ] && peerFrames1=$(frames "$out/peer-frames") peerTicks1=$(cpuTicks "$peerPid")
  endProcess "$game"
  [ -n "$peerPid" ] && endProcess "$peerPid"
  endProcess "$server"

  line=$(frameCost $((gameFrames1 - gameFrames0)) $((gameTicks1 - gameTicks0)))
  if [ "$line" = none ]; then
    echo "run $run: the title showed no frame"
    continue
  fi
  read -r titleCost titleRate <<<"$line"
  titleCosts+=("$titleCost")
  if [ -z "$peerPid" ]; then
    echo "run $run: title $titleCost ms CPU a frame ($titleRate frames a second)"
    continue
  fi
  line=$(frameCost $((peerFrames1 - peerFrames0)) $((peerTicks1 - peerTicks0)))
  if [ "$line" = none ]; then
    echo "run $run: title $titleCost ms CPU a frame ($titleRate frames a second); the peer showed no frame"
    continue
  fi
  read -r peerCost peerRate <<<"$line"
  peerCosts+=("$peerCost")
  ratio=$(awk -v a="$titleCost" -v b="$peerCost" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio")
  echo "run $run: title $titleCost ms CPU a frame ($titleRate frames a second), peer's menu $peerCost ms" \
    "($peerRate frames a second): $ratio"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
[ ${#titleCosts[@]} -gt 0 ] || { echo "no run measured the title"; exit 1; }
echo "title: median $(median "${titleCosts[@]}") ms CPU a frame over ${#titleCosts[@]} runs"
if [ "$havePeer" -eq 0 ]; then
  echo "the peer is missing ($peer; apt-get install $(basename "$peer")): no ratio"
  exit 0
fi
[ ${#ratios[@]} -gt 0 ] || { echo "no run measured the peer's menu"; exit 1; }
echo "peer's menu: median $(median "${peerCosts[@]}") ms CPU a frame over ${#peerCosts[@]} runs"
echo "title / peer's menu, CPU a frame, median of ${#ratios[@]} runs: $(median "${ratios[@]}") (goal: at most 1.0)"
