#!/usr/bin/env bash
# Ends the release game (bin/paddlestone) with quit signals in a level's first seconds: a level
# started by path, SIGTERM at each moment after the log's "Transition Outro." (the level first
# shows); then two signals 50 ms apart (SIGTERM twice, SIGINT twice) at the same moments, each
# of those a first run (no settings file before it). Each start runs on its own Xvfb in a folder
# of its own (tools/quit-moment.c times it). With a load, the game and the busy loops share two
# cores (taskset): four loops a core load them to four times their count, beside the game.
#   tools/quit-moments-levels.sh [busy loops (0)] [level ...]
# QUIT_LEVELS_CORES="2,3" the two cores (default: the last two), QUIT_LEVELS_MOMENTS="200 500
# 1000 2000" the moments in milliseconds, QUIT_LEVELS_DOUBLE=0 leaves out the double signals.
# Levels default to the story's three and a menu level. Prints one line a start and a summary;
# exits 1 when a start did not end in order (status 0, "Quit signal received.", "Shutting
# down." last, the settings whole) within 3 s of its first signal.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source "$root/tools/quit-start.sh"
loops=${1:-0}
shift || true
levels=("$@")
[ ${#levels[@]} -gt 0 ] ||
  levels=(Content/Levels/Story_Garden.irr Content/Levels/Story_Shed.irr Content/Levels/Story_Greenhouse.irr
    Content/Levels/Menu_Greenhouse.irr)
cpus=$(nproc)
cores=${QUIT_LEVELS_CORES:-$((cpus - 2)),$((cpus - 1))}
read -r -a moments <<<"${QUIT_LEVELS_MOMENTS:-200 500 1000 2000}"
game=$root/bin/paddlestone
quitSetUp quit-levels "$game"
startLoad "$loops" taskset -c "$cores" sh -c 'while :; do :; done'

# kinds: "TERM" one SIGTERM; "TERM2", "INT2" the signal twice, 50 ms apart (first runs)
kinds=(TERM)
[ "${QUIT_LEVELS_DOUBLE:-1}" = 1 ] && kinds+=(TERM2 INT2)
echo "cores $cores, $loops busy loops on them; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
total=0
inOrder=0
worstWall=0
failed=0
start=0
for kind in "${kinds[@]}"; do
  for level in "${levels[@]}"; do
    for ms in "${moments[@]}"; do
      start=$((start + 1))
      total=$((total + 1))
      out="$work/start-$start"
      options=(--after "Transition Outro.")
      settingsFile=0
      case $kind in
        TERM) settingsFile=1 ;;
        TERM2) options+=(--again 50) ;;
        INT2) options+=(--signal INT --again 50) ;;
      esac
      quitRun "$out" "$settingsFile" "start $start" taskset -c "$cores" "$work/quit-moment" \
        "${options[@]}" "$game" "$out/run" "$ms" "$root/$level" || continue
      [ "$verdict" = ok ] && inOrder=$((inOrder + 1))
      worstWall=$(awk -v a="$worstWall" -v b="$wall" 'BEGIN { print (b > a ? b : a) }')
      printf 'start %2d %-5s %-22s at %4d ms: %s, status %s, wall %s s, cpu %s s, main thread ended %s s, "Quit signal received." %s, settings %s, last line "%s"\n' \
        "$start" "$kind" "$(basename "$level")" "$ms" "$verdict" "$status" "$wall" "$cpu" "$mainEnded" "$quitLine" \
        "$settings" "${last:0:100}"
      [ "$verdict" = ok ] && rm -rf "$out"
    done
  done
done
echo "$inOrder of $total starts ended in order within 3 s; the longest end $worstWall s"
quitEnd
