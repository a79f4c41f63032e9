# Sourced by the tools that end the game with quit signals (quit-moments.sh,
# quit-moments-levels.sh): the steps every start shares. The caller sets root (the checkout)
# and failed=0; these set work, busy and the last start's outcome.
source "$root/tools/own-xvfb.sh"

# quitSetUp <folder name> <game...>: checks the games and Xvfb, makes the work folder ($work)
# and builds tools/quit-moment.c into it; exits 2 when something is missing.
quitSetUp() {
  local name=$1 game
  shift
  for game in "$@"; do
    [ -x "$game" ] || { echo "$game is missing: run ./play.sh --build-only"; exit 2; }
  done
  command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)"; exit 2; }
  work=$(mktemp -d "/tmp/$name.XXXXXX")
  cc -O2 -o "$work/quit-moment" "$root/tools/quit-moment.c" || { echo "cannot build tools/quit-moment.c"; exit 2; }
}

# startLoad <loops> <command...>: starts the command that many times in the background; they
# stop when the script exits.
busy=()
stopLoad() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  wait "${busy[@]}" 2>/dev/null
}
startLoad() {
  local loops=$1
  shift
  trap stopLoad EXIT
  for _ in $(seq 1 "$loops"); do
    "$@" >/dev/null &
    busy+=($!)
  done
}

# quitRun <folder> <settings: 1|0> <label> <command...>: runs the command (quit-moment and
# its arguments) on an Xvfb of its own, in <folder>/run beside a link to Content, with a
# settings file there first (1) or none (0: a first run). Sets status, wall, cpu, mainEnded, last
# (the log's last line), quitLine, settings and verdict (ok: status 0, "Quit signal
# received.", "Shutting down." last, the settings whole, within 3 s), and failed=1 when not
# ok. Returns 1, saying "<label>: no X server", when the server never came.
quitRun() {
  local out=$1 withSettings=$2 label=$3 display xvfb result log
  shift 3
  mkdir -p "$out/run/data"
  ln -sfn "$root/Content" "$out/run/Content"
  if [ "$withSettings" = 1 ]; then
    printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
      '<Game><string name="Graphics_Driver" value="OpenGL"/><bool name="Graphics_Vsync" value="false"/></Game>' \
      >"$out/run/PaddlestoneConfig.xml"
  fi
  read -r display xvfb < <(startOwnXvfb "$out")
  if [ "$display" = none ]; then
    kill "$xvfb" 2>/dev/null
    echo "$label: no X server"
    failed=1
    return 1
  fi
  result=$(DISPLAY=":$display" ALSOFT_DRIVERS=null "$@")
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
  else
    failed=1
  fi
  return 0
}

# quitEnd: the closing lines; keeps the work folder when a start failed. Returns 1 then.
quitEnd() {
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  if [ "$failed" -eq 0 ]; then
    rm -rf "$work"
  else
    echo "the failed starts' folders: $work"
  fi
  [ "$failed" -eq 0 ]
}
