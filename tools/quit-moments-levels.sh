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
source "$root/tools/own-xvfb.sh"
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
[ -x "$game" ] || { echo "$game is missing: run ./play.sh --build-only"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)"; exit 2; }
work=$(mktemp -d /tmp/quit-levels.XXXXXX)
cc -O2 -o "$work/quit-moment" "$root/tools/quit-moment.c" || { echo "cannot build tools/quit-moment.c"; exit 2; }

busy=()
stopLoad() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  wait "${busy[@]}" 2>/dev/null
}
trap stopLoad EXIT
for _ in $(seq 1 "$loops"); do
  taskset -c "$cores" sh -c 'while :; do :; done' &
  busy+=($!)
done

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
      mkdir -p "$out/run/data"
      ln -sfn "$root/Content" "$out/run/Content"
      options=(--after "Transition Outro.")
      case $kind in
        TERM) printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
          '<Game><string name="Graphics_Driver" value="OpenGL"/><bool name="Graphics_Vsync" value="false"/></Game>' \
          >"$out/run/PaddlestoneConfig.xml" ;;
        TERM2) options+=(--again 50) ;;
        INT2) options+=(--signal INT --again 50) ;;
      esac
      read -r display xvfb < <(startOwnXvfb "$out")
      if [ "$display" = none ]; then
        kill "$xvfb" 2>/dev/null
        echo "start $start: no X server"
        failed=1
        continue
      fi
      result=$(DISPLAY=":$display" ALSOFT_DRIVERS=null taskset -c "$cores" "$work/quit-moment" "${options[@]}" \
        "$game" "$out/run" "$ms" "$root/$level")
      kill "$xvfb" 2>/dev/null
      wait "$xvfb" 2>/dev/null
      read -r _ status _ wall _ cpu _ mainEnded <<<"$result"
      log="$out/run/PaddlestoneLog.txt"
      last=$(tail -n 1 "$log" 2>/dev/null | tr -d '\r' | sed 's/^\[[^]]*\] //')
      quitLine=no
      grep -q "Quit signal received." "$log" 2>/dev/null && quitLine=yes
      settings=missing
      [ -f "$out/run/PaddlestoneConfig.xml" ] && settings=broken
      grep -q "</Game>" "$out/run/PaddlestoneConfig.xml" 2>/dev/null && settings=whole
      verdict=FAILED
      if [ "$status" = 0 ] && [ "$last" = "Shutting down." ] && [ "$settings" = whole ] && [ "$quitLine" = yes ] &&
        awk -v w="$wall" 'BEGIN { exit !(w < 3.0) }'; then
        verdict=ok
        inOrder=$((inOrder + 1))
      else
        failed=1
      fi
      worstWall=$(awk -v a="$worstWall" -v b="$wall" 'BEGIN { print (b > a ? b : a) }')
      printf 'start %2d %-5s %-22s at %4d ms: %s, status %s, wall %s s, cpu %s s, main thread ended %s s, "Quit signal received." %s, settings %s, last line "%s"\n' \
        "$start" "$kind" "$(basename "$level")" "$ms" "$verdict" "$status" "$wall" "$cpu" "$mainEnded" "$quitLine" \
        "$settings" "${last:0:100}"
      [ "$verdict" = ok ] && rm -rf "$out"
    done
  done
done
echo "$inOrder of $total starts ended in order within 3 s; the longest end $worstWall s"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$failed" -eq 0 ]; then
  rm -rf "$work"
else
  echo "the failed starts' folders: $work"
fi
[ "$failed" -eq 0 ]
