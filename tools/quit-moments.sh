#!/usr/bin/env bash
# Ends the release game (bin/paddlestone) with SIGTERM at moments from its first millisecond
# on, each start on its own Xvfb in a folder of its own (every other one a first run, without
# a settings file), optionally on a machine loaded with busy loops, and says how each ended:
# the exit status, the log's last line, whether the settings file is whole, the wall time
# from the signal to the end and the processor time the whole process used in it
# (tools/quit-moment.c). The first three moments are 1, 10 and 50 ms; then every other one
# falls in the first 3 s, the others up to 12 s (on a loaded machine still in the start-up,
# or in play).
#   tools/quit-moments.sh [starts (30)] [busy loops (0; 4 x the cores loads the machine)]
# QUIT_MOMENTS_GAMES="path path..." runs several builds side by side, each at the same moments
# one after the other (the code before a change and after it); QUIT_MOMENTS_SEED=n other
# moments; QUIT_MOMENTS_OPTIONS="--again 50" (or "--signal INT --again 50") passes options
# to tools/quit-moment.c: a second signal 50 ms after the first. Prints one line a start and
# game and a summary a game; exits 1 when a start did not
# end in order (status 0, "Quit signal received.", "Shutting down." last, the settings whole)
# within 3 s.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source "$root/tools/quit-start.sh"
starts=${1:-30}
loops=${2:-0}
read -r -a games <<<"${QUIT_MOMENTS_GAMES:-$root/bin/paddlestone}"
quitSetUp quit-moments "${games[@]}"
startLoad "$loops" yes

options=${QUIT_MOMENTS_OPTIONS:-}
RANDOM=${QUIT_MOMENTS_SEED:-1}
moment() {
  case $1 in
    1) echo 1 ;;
    2) echo 10 ;;
    3) echo 50 ;;
    *) local span=12000
      (($1 % 2)) && span=3000
      echo $(((RANDOM * 32768 + RANDOM) % span + 1)) ;;
  esac
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg), $loops busy loops started"
declare -A inOrder worstWall worstCpu
failed=0
for start in $(seq 1 "$starts"); do
  ms=$(moment "$start")
  for index in "${!games[@]}"; do
    game=${games[$index]}
    out="$work/start-$start-$index"
    quitRun "$out" $((start % 2 == 0)) "start $start, $game" "$work/quit-moment" $options "$game" "$out/run" "$ms" || continue
    [ "$verdict" = ok ] && inOrder[$index]=$((${inOrder[$index]:-0} + 1))
    worstWall[$index]=$(awk -v a="${worstWall[$index]:-0}" -v b="$wall" 'BEGIN { print (b > a ? b : a) }')
    worstCpu[$index]=$(awk -v a="${worstCpu[$index]:-0}" -v b="$cpu" 'BEGIN { print (b > a ? b : a) }')
    printf 'start %2d at %5d ms, %s: %s, status %s, wall %s s, cpu %s s, main thread ended %s s, "Quit signal received." %s, settings %s, last line "%s"\n' \
      "$start" "$ms" "$game" "$verdict" "$status" "$wall" "$cpu" "$mainEnded" "$quitLine" "$settings" "${last:0:100}"
    [ "$verdict" = ok ] && rm -rf "$out"
  done
done
for index in "${!games[@]}"; do
  echo "${games[$index]}: ${inOrder[$index]:-0} of $starts starts ended in order within 3 s; the longest end ${worstWall[$index]:-0} s, the most processor time ${worstCpu[$index]:-0} s"
done
quitEnd
