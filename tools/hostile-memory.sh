#!/usr/bin/env bash
# Measures what hostile levels cost the release game (bin/paddlestone): each level is the
# story's garden (Content/Levels/Story_Garden.irr) with something added, played from the
# command line on an Xvfb of its own (1280x720x24) for some seconds and then ended with
# SIGTERM as a closed window would be. Prints one line a level: the maximum resident set
# (/usr/bin/time -v); the longest time between two frames shown, from the first frame on (the
# start-up and the load among them) and from a third of the seconds on (play), both through
# tools/frame-counter.c, preloaded; the exit status (0: ended in order, settings and save
# written); and the load budget's lines in the log.
#   tools/hostile-memory.sh [seconds a level (20)] [level ...]
# Levels: garden (as shipped); text1, text5, clothpool, particles200, particles1000, cloth20,
# cloth200 (what the memory budget bounds); bytes, nodes, pixels, frames (one older budget
# just under its limit, as src/core/LoadBudget.h has it); budgets4 (all four at once); all
# (the four and the memory filled by a text at size 256); cratesN and cratesN-noshadows (N
# static crates, with the garden's shadows on and off); bigmeshN (N static objects of one
# mesh of 130,050 triangles); held (the garden without its end-of-level event, so that it
# plays on: the crates and the large mesh are added to it) and gardenersN (held, its lawn five
# times as wide, N - 1 more gardeners walking its path).
# All of the first fourteen when none is named; a path ending in .irr plays that level (its
# folder copied beside it).
# Each level plays with the garden held (below) beside it, started and ended with it on an
# X server of its own, and a second line compares the two over the same seconds of play (from
# a third of the seconds on, once both levels have shown for 10 s, until the signal): the
# median frame; the processor time a frame (every thread's, as utime + stime in
# /proc/<pid>/stat count it, stamped at each frame by tools/frame-counter.c) and a second
# (physics steps are 0.0167 s of play each, so a second of play is as many steps whatever the
# frame, while no frame reaches the cap of ten steps), each with its ratio to the garden's;
# the shares of the game's main thread, of the software renderer's threads (llvmpipe) and of
# the rest; and the load average at the end.
# HOSTILE_MEMORY_BESIDE=level plays another beside each (none: none);
# HOSTILE_MEMORY_BUSY=N runs N busy loops while the levels play (a loaded machine), ended
# with the tool however it ends.
# HOSTILE_MEMORY_KEEP=folder keeps every level's files, log and output there;
# HOSTILE_MEMORY_DISPLAY=N runs the game on the X server :N (started when none runs there)
# instead of one the tool starts; HOSTILE_MEMORY_GAME=path runs another build of the game; a
# game whose resident set passes HOSTILE_MEMORY_CAP_MB (4608) is ended at once. Build first
# with ./play.sh --build-only.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source "$root/tools/own-xvfb.sh"
seconds=${1:-20}
cap=${HOSTILE_MEMORY_CAP_MB:-4608}
shift || true
levels=("$@")
[ ${#levels[@]} -gt 0 ] ||
  levels=(garden text1 text5 clothpool particles200 particles1000 cloth20 cloth200 bytes nodes pixels frames budgets4 all)
binary=${HOSTILE_MEMORY_GAME:-$root/bin/paddlestone}
[ -x "$binary" ] || { echo "$binary is missing: run ./play.sh --build-only"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)"; exit 2; }
work=${HOSTILE_MEMORY_KEEP:-$(mktemp -d /tmp/hostile-memory.XXXXXX)}
mkdir -p "$work"
cc -O2 -shared -fPIC -o "$work/frame-counter.so" "$root/tools/frame-counter.c" -ldl ||
  { echo "the frame counter did not build"; exit 2; }
export LC_ALL=C.UTF-8

garden="$root/Content/Levels/Story_Garden.irr"

# 2,048 different characters the game's TrueType font draws, none of them special in XML.
manyCharacters() {
  local ranges="21 21 23 25 28 3b 3f 7e a1 2e9 3a3 525 531 556 561 587 5d0 5ea 1401 1550" out="" count=0 set
  set -- $ranges
  while [ $# -ge 2 ] && [ $count -lt 2048 ]; do
    for ((c = 16#$1; c <= 16#$2 && count < 2048; ++c)); do
      out+=$(printf "\\U$(printf %08x "$c")")
      count=$((count + 1))
    done
    shift 2
  done
  printf %s "$out"
}
textNode() { # size text
  printf '<node type="TextObject"><attributes><string name="Name" value="Text%s" /><vector3d name="Position" value="0.000000, 6.000000, 0.000000" /><bool name="Visible" value="true" /><string name="FontPath" value="Content/Font/NoMove.ttf" /><int name="FontSize" value="%s" /><string name="Text" value="%s" /></attributes></node>\n' "$1" "$1" "$2"
}
particleNode() { # index
  printf '<node type="ParticleObject"><attributes><string name="Name" value="Spray%s" /><vector3d name="Position" value="%s.000000, 3.000000, 0.000000" /><bool name="Visible" value="true" /><enum name="EmitterType" value="Box" /><int name="MinParticlesPerSecond" value="16250" /><int name="MaxParticlesPerSecond" value="16250" /><int name="MinLifeTime" value="2000" /><int name="MaxLifeTime" value="2000" /><vector3d name="Box" value="3.000000, 3.000000, 3.000000" /></attributes></node>\n' "$1" "$(($1 % 40 - 20))"
}
# A square sheet of 127 x 127 vertices (16,129 cloth particles) one unit across.
writeClothMesh() {
  awk 'BEGIN {
    n = 127
    for (z = 0; z < n; ++z) for (x = 0; x < n; ++x) printf "v %.5f %.5f 0\n", x / (n - 1) - 0.5, 0.5 - z / (n - 1)
    print "vn 0 0 1"
    for (z = 0; z < n - 1; ++z) for (x = 0; x < n - 1; ++x) {
      a = z * n + x + 1; b = a + 1; c = a + n; d = c + 1
      printf "f %d//1 %d//1 %d//1\nf %d//1 %d//1 %d//1\n", a, c, b, b, c, d
    }
  }' >"$1"
}
clothNode() { # index id
  printf '<node type="PhysicsObject"><attributes><string name="Name" value="Sheet%s" /><int name="Id" value="%s" /><vector3d name="Position" value="%s.000000, 8.000000, 4.000000" /><vector3d name="Scale" value="4.000000, 4.000000, 4.000000" /><bool name="Visible" value="true" /><string name="MeshFileName" value="Cloth127.obj" /><enum name="BoundType" value="Cloth" /><enum name="PhysicsState" value="Dynamic" /></attributes></node>\n' "$1" "$2" "$(($1 % 20 * 5 - 50))"
}
spawnNode() { # template id, pool size
  printf '<node type="TriggerObject"><attributes><string name="Name" value="Pool" /><int name="Id" value="990001" /><enum name="TriggerCondition" value="Immediately" /><enum name="OnTriggerEvent" value="Spawn Object" /><int name="PoolSize" value="%s" /><int name="BaseID" value="0" /><enum name="SpawnMode" value="Manual" /><int name="ObjectID" value="%s" /><vector3d name="TargetPosition" value="0.000000, 10.000000, 0.000000" /><vector3d name="TargetRotation" value="0.000000, 0.000000, 0.000000" /></attributes></node>\n' "$2" "$1"
}
# Static crates on a square of 40 x 40 a layer, in view of the garden's cameras.
crateNodes() { # count
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; ++i) printf "<node type=\"PhysicsObject\"><attributes><string name=\"Name\" value=\"Crate%d\" /><int name=\"Id\" value=\"%d\" /><vector3d name=\"Position\" value=\"%d.000000, %d.000000, %d.000000\" /><vector3d name=\"Scale\" value=\"0.250000, 0.250000, 0.250000\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"Content/Models/Props/Crate.obj\" /><enum name=\"BoundType\" value=\"Box\" /><enum name=\"PhysicsState\" value=\"Static\" /></attributes></node>\n", i, 990100 + i, i % 40 - 20, int(i / 1600) + 1, int(i / 40) % 40 - 20 }'
}
# A square sheet of 256 x 256 vertices (130,050 triangles) one unit across, and static
# objects showing it, ten to a row.
writeSheetMesh() {
  awk 'BEGIN {
    n = 256
    for (z = 0; z < n; ++z) for (x = 0; x < n; ++x) printf "v %.5f %.5f %.5f\n", x / (n - 1) - 0.5, 0.05 * sin(x / 8.0) * cos(z / 8.0), z / (n - 1) - 0.5
    print "vn 0 1 0"
    for (z = 0; z < n - 1; ++z) for (x = 0; x < n - 1; ++x) {
      a = z * n + x + 1; b = a + 1; c = a + n; d = c + 1
      printf "f %d//1 %d//1 %d//1\nf %d//1 %d//1 %d//1\n", a, c, b, b, c, d
    }
  }' >"$1"
}
sheetNodes() { # count
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; ++i) printf "<node type=\"PhysicsObject\"><attributes><string name=\"Name\" value=\"Sheet%d\" /><int name=\"Id\" value=\"%d\" /><vector3d name=\"Position\" value=\"%d.000000, %d.000000, %d.000000\" /><vector3d name=\"Scale\" value=\"2.000000, 2.000000, 2.000000\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"Sheet256.obj\" /><enum name=\"BoundType\" value=\"Box\" /><enum name=\"PhysicsState\" value=\"Static\" /></attributes></node>\n", i, 990100 + i, (i % 10) * 3 - 15, int(i / 100) + 1, int(i / 10) % 10 * 3 - 15 }'
}
# The garden held: its end-of-level event left out, so that it plays on.
heldGarden() {
  awk '/<node type="TriggerEventObject">/ { buf = $0 "\n"; inEvent = 1; next }
    inEvent { buf = buf $0 "\n"; if ($0 ~ /^    <\/node>/) { if (buf !~ /"EndOfLevel"/) printf "%s", buf; inEvent = 0 }; next }
    { print }' "$garden"
}
# The garden with the nodes of standard input added at its end; heldWith: the garden held.
gardenWith() { head -n -1 "$garden"; cat; echo "</irr_scene>"; }
heldWith() { heldGarden | head -n -1; cat; echo "</irr_scene>"; }
# The held garden with its lawn five times as wide and count - 1 more gardeners walking its
# path, on a grid 4 units apart round it (nearest the path first, none within 8 units of its
# middle).
gardeners() { # count
  heldGarden | awk '{ print } /<string name="Name" value="Lawn" \/>/ { print "      <vector3d name=\"Scale\" value=\"5.000000, 1.000000, 5.000000\" />" }' | head -n -1
  awk 'BEGIN {
    for (i = -20; i <= 20; ++i) for (j = -20; j <= 20; ++j) {
      x = -2 + 4 * i; z = -8 + 4 * j; d = (x + 2.5) ^ 2 + (z + 8) ^ 2
      if (d >= 64) printf "%09.3f %d %d\n", d, x, z
    }
  }' | sort -n | head -n "$(($1 - 1))" | awk '{
    printf "  <node type=\"CharacterObject\">\n    <attributes>\n      <string name=\"Name\" value=\"Gardener%d\" />\n      <int name=\"Id\" value=\"%d\" />\n      <vector3d name=\"Position\" value=\"%d.000000, 3.200000, %d.000000\" />\n      <vector3d name=\"Rotation\" value=\"0.000000, 90.000000, 0.000000\" />\n      <bool name=\"Visible\" value=\"true\" />\n      <enum name=\"StartState\" value=\"Walking\" />\n      <float name=\"WalkSpeed\" value=\"3.000000\" />\n      <int name=\"ParentWaypointID\" value=\"1500\" />\n      <enum name=\"PathBehavior\" value=\"Loop\" />\n      <string name=\"ProfileName\" value=\"Content/Models/Characters/EverymanProfile.xml\" />\n      <float name=\"ConeDistance\" value=\"20.000000\" />\n    </attributes>\n  </node>\n", NR, 990100 + NR, $2, $3 }'
  echo "</irr_scene>"
}
# The level with its shadows off.
noShadows() { sed 's|<bool name="DisableShadows" value="false" />|<bool name="DisableShadows" value="true" />|'; }
# A PNG of width x height pixels (grey), made with the system's Python when there is one.
writePicture() { # file side
  python3 - "$1" "$2" <<'EOF'
import struct, sys, zlib
path, side = sys.argv[1], int(sys.argv[2])
row = b"\x00" + b"\x80\x80\x80" * side
data = zlib.compress(row * side, 9)
chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) + chunk(b"IDAT", data) + chunk(b"IEND", b""))
EOF
}
# The load budget's limits as the game has them (src/core/LoadBudget.h, gameLimits): bytes
# read, scene nodes, texture pixels, sprite-animation frames, bytes of memory.
read -r -a limits < <(awk '/gameLimits\[kindCount\] = \{/ { on = 1; next }
  on && /\};/ { exit }
  on { sub(/,.*/, ""); gsub(/ull/, ""); gsub(/ /, ""); printf "%s ", $0 }' "$root/src/core/LoadBudget.h")
[ ${#limits[@]} -ge 5 ] || { echo "could not read the limits from src/core/LoadBudget.h"; exit 2; }
for i in "${!limits[@]}"; do limits[$i]=$((limits[i])); done

# The older budgets, each named one just under its limit (the garden's own use left room):
# drawn nodes (cubes), pictures outside Content/, sprite frames, and the file padded to just
# under the bytes.
writeBudgets() { # folder level kinds...
  local dir=$1 level=$2 i
  shift 2
  local kinds=" $* "
  {
    head -n -1 "$garden"
    if [[ $kinds == *" pixels "* ]]; then
      # Four square pictures sharing the pixels, less the garden's mirror target (1024 x 1024).
      local side
      side=$(awk -v p="$((limits[2] - 2 * 1024 * 1024))" 'BEGIN { print int(sqrt(p / 4)) }')
      for i in 1 2 3 4; do
        writePicture "$dir/Picture$i.png" "$side"
        printf '<node type="cube"><attributes><string name="Name" value="Board%s" /><vector3d name="Position" value="%s.000000, 4.000000, 6.000000" /><bool name="Visible" value="true" /><float name="Size" value="2.000000" /></attributes><materials><attributes><enum name="Type" value="solid" /><texture name="Texture1" value="Picture%s.png" /></attributes></materials></node>\n' "$i" "$((i * 3 - 7))" "$i"
      done
    fi
    if [[ $kinds == *" frames "* ]]; then
      # One object's animation: its frames are charged as read and again as the object
      # copies them; one-pixel cells on a 1024 x 1024 sheet.
      writePicture "$dir/Sheet.png" 1024
      printf '<SpriteAnimation file="Sheet.png"><Sprite width="1" height="1" overallWidth="1024" overallHeight="1024" frameCount="%s" /></SpriteAnimation>\n' \
        "$((limits[3] / 2 - 1024))" >"$dir/Frames.xml"
      printf '<node type="BillboardObject"><attributes><string name="Name" value="Flipbook" /><vector3d name="Position" value="0.000000, 6.000000, 6.000000" /><bool name="Visible" value="true" /></attributes><animators><attributes><string name="Type" value="animateTexture" /><string name="AnimFilePath" value="Frames.xml" /></attributes></animators></node>\n'
    fi
    if [[ $kinds == *" memory "* ]]; then
      # The memory filled by the text of the most memory a byte (glyph pages of 4096 x 4096).
      textNode 256 "$(manyCharacters)"
    fi
    if [[ $kinds == *" nodes "* ]]; then
      # Cubes in view of the garden's camera; the garden's own nodes are about a hundred.
      awk -v n="$((limits[1] - 200))" 'BEGIN { for (i = 0; i < n; ++i) printf "<node type=\"cube\"><attributes><vector3d name=\"Position\" value=\"%d, %d, %d\" /><bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"0.500000\" /></attributes></node>\n", i % 40 - 20, int(i / 1600) + 1, int(i / 40) % 40 - 20 }'
    fi
  } >"$dir/$level.part"
  {
    cat "$dir/$level.part"
    if [[ $kinds == *" bytes "* ]]; then
      # A comment of padding: read and parsed, and no node.
      local pad=$((limits[0] - $(stat -c %s "$dir/$level.part") - 64 * 1024))
      printf '<!-- '
      head -c "$pad" /dev/zero | tr '\0' 'x'
      printf ' -->\n'
    fi
    echo "</irr_scene>"
  } >"$dir/$level.irr"
  rm "$dir/$level.part"
}

# Writes the level of a case into the folder; echoes the level's file name.
makeLevel() { # case folder
  local dir=$2 i
  case $1 in
    garden) cp "$garden" "$dir/garden.irr" ;;
    held) heldGarden >"$dir/held.irr" ;;
    gardeners*) gardeners "${1#gardeners}" >"$dir/$1.irr" ;;
    text1) textNode 256 "$(manyCharacters)" | gardenWith >"$dir/text1.irr" ;;
    text5)
      local chars
      chars=$(manyCharacters)
      for i in 256 255 254 253 252; do textNode "$i" "$chars"; done | gardenWith >"$dir/text5.irr"
      ;;
    clothpool)
      writeClothMesh "$dir/Cloth127.obj"
      { clothNode 0 990100; spawnNode 990100 256; } | gardenWith >"$dir/clothpool.irr"
      ;;
    particles200 | particles1000)
      local count=${1#particles}
      for ((i = 0; i < count; ++i)); do particleNode "$i"; done | gardenWith >"$dir/$1.irr"
      ;;
    cloth20 | cloth200)
      local count=${1#cloth}
      writeClothMesh "$dir/Cloth127.obj"
      for ((i = 0; i < count; ++i)); do clothNode "$i" $((990100 + i)); done | gardenWith >"$dir/$1.irr"
      ;;
    crates*-noshadows)
      local count=${1#crates}
      crateNodes "${count%-noshadows}" | heldWith | noShadows >"$dir/$1.irr"
      ;;
    crates*) crateNodes "${1#crates}" | heldWith >"$dir/$1.irr" ;;
    bigmesh*)
      writeSheetMesh "$dir/Sheet256.obj"
      sheetNodes "${1#bigmesh}" | heldWith >"$dir/$1.irr"
      ;;
    budgets4) writeBudgets "$dir" budgets4 bytes nodes pixels frames ;;
    all) writeBudgets "$dir" all bytes nodes pixels frames memory ;;
    bytes | nodes | pixels | frames) writeBudgets "$dir" "$1" "$1" ;;
    *.irr)
      # A level file of the caller's, with the files beside it.
      [ -r "$1" ] || { echo "cannot read $1" >&2; return 1; }
      cp -r "$(dirname "$1")"/. "$dir/"
      rm -f "$dir/Content"
      ln -sfn "$root/Content" "$dir/Content"
      echo "$(basename "$1")"
      return 0
      ;;
    *) echo "unknown level $1" >&2; return 1 ;;
  esac
  echo "$1.irr"
}

ownDisplay=""
ownServer=""
if [ -n "${HOSTILE_MEMORY_DISPLAY:-}" ]; then
  ownDisplay=$HOSTILE_MEMORY_DISPLAY
  if ! DISPLAY=":$ownDisplay" xdotool getdisplaygeometry >/dev/null 2>&1; then
    Xvfb ":$ownDisplay" -screen 0 1280x720x24 -nolisten tcp >"$work/xvfb.txt" 2>&1 &
    ownServer=$!
    sleep 1
  fi
fi
beside=${HOSTILE_MEMORY_BESIDE-held}
[ "$beside" = none ] && beside=""

# Busy loops for a loaded machine; they, and the games and X servers still running, end
# with the tool, however it ends.
busy=()
running=()
stopBusy() {
  local pid
  for pid in "${running[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null; done
  busy=()
}
trap stopBusy EXIT
trap 'exit 130' INT TERM
for ((i = 0; i < ${HOSTILE_MEMORY_BUSY:-0}; ++i)); do
  yes >/dev/null &
  busy+=($!)
done

# prepareGame <level> <folder>: makes the level there and its X server; sets
# prepared="file display server" (the server empty when the tool's own display serves).
prepareGame() {
  local level=$1 out=$2 file display=$ownDisplay server=""
  prepared=""
  rm -rf "$out"
  mkdir -p "$out/run"
  ln -sfn "$root/Content" "$out/run/Content"
  file=$(makeLevel "$level" "$out/run") || return 1
  if [ -z "$display" ]; then
    read -r display server < <(startOwnXvfb "$out")
    [ "$display" != none ] || { echo "$level: no X server"; kill "$server" 2>/dev/null; return 1; }
  fi
  prepared="$file $display $server"
}

# startGame <folder> <file> <display>: starts the game on the level; sets started="timer
# game" (the timing wrapper and the game).
startGame() {
  local out=$1 file=$2 display=$3 timer
  (cd "$out/run" && DISPLAY=":$display" XDG_DATA_HOME="$out/data" ALSOFT_DRIVERS=null \
    LD_PRELOAD="$work/frame-counter.so" FRAME_TIMES_FILE="$out/frames" FRAME_CPU_FILE="$out/cpu" FRAME_COUNTER_FILE="$out/count" \
    exec /usr/bin/time -v -o "$out/time.txt" "$binary" "$file" >"$out/output.txt" 2>&1) &
  timer=$!
  started="$timer $(gameUnder "$timer")"
}

# True once the game's level is loaded (its loading cover clears).
levelShown() { grep -q "Transition Outro." "$1/run/PaddlestoneLog.txt" 2>/dev/null; }

# sampleGame <pid> <folder> <name>: the frames counted so far and the page faults, then "tid
# ticks comm" for each thread of the game (its processor time in clock ticks), into
# <folder>/<name>.
sampleGame() {
  local pid=$1 frames
  frames=$(od -An -t u8 -N8 "$2/count" 2>/dev/null | tr -d ' ')
  {
    # The frames, and the process's minor page faults (every thread's).
    echo "${frames:-0} $(awk '{ sub(/.*\) /, ""); print $8 }' "/proc/$1/stat" 2>/dev/null)"
    awk '{ tid = FILENAME; sub(/\/stat$/, "", tid); sub(/.*\//, "", tid)
      line = $0; sub(/^[0-9]+ \(/, "", line); comm = substr(line, 1, index(line, ") ") - 1)
      sub(/.*\) /, "", line); split(line, f, " "); print tid, f[12] + f[13], comm }' /proc/"$pid"/task/*/stat 2>/dev/null
  } >"$2/$3"
}

# playFigures <folder> <pid>: "median-frame-s cpu-a-frame-ms cpu-a-second-s main% llvmpipe%
# other% frames page-faults-a-frame" over the frames counted between the samples "play" and
# "end": the frame times and the process's processor time at each frame
# (tools/frame-counter.c), the threads' shares from the samples.
playFigures() {
  local out=$1 pid=$2 first last median figures
  [ -s "$out/play" ] && [ -s "$out/end" ] || { echo "? ? ? ? ? ? 0 ?"; return; }
  read -r first faultsBefore < "$out/play"
  read -r last faultsAfter < "$out/end"
  [ "$first" -ge 1 ] && [ "$last" -gt "$first" ] 2>/dev/null || { echo "? ? ? ? ? ? 0 ?"; return; }
  median=$(od -An -v -t u8 -w8 "$out/frames" 2>/dev/null |
    awk -v first="$first" -v last="$last" 'NR >= first && NR <= last { if (NR > first) print $1 - t; t = $1 }' |
    sort -n | awk '{ g[NR] = $1 } END { if (NR) printf "%.4f\n", (NR % 2 ? g[(NR + 1) / 2] : (g[NR / 2] + g[NR / 2 + 1]) / 2) / 1e6; else print "?" }')
  # Wall and processor microseconds from frame first to frame last.
  figures=$(paste -d' ' <(od -An -v -t u8 -w8 "$out/frames") <(od -An -v -t u8 -w8 "$out/cpu") 2>/dev/null |
    awk -v first="$first" -v last="$last" 'NR == first { w = $1; c = $2 } NR == last { print $1 - w, $2 - c; exit }')
  awk -v pid="$pid" -v frames="$((last - first))" -v median="$median" -v figures="${figures:-0 0}" \
    -v faults="$((${faultsAfter:-0} - ${faultsBefore:-0}))" '
    FNR == 1 { ++file; next }
    file == 1 { before[$1] = $2; next }
    { after[$1] = $2; name[$1] = $3 }
    END {
      split(figures, f, " ")
      for (t in after) {
        d = after[t] - (t in before ? before[t] : 0)
        total += d
        if (t == pid) main += d; else if (name[t] ~ /^llvmpipe/) pipe += d
      }
      if (f[1] <= 0 || f[2] <= 0 || total <= 0) { print "? ? ? ? ? ? " frames " ?"; exit }
      printf "%s %.1f %.3f %d %d %d %d %d\n", median, f[2] / 1000 / frames, f[2] / f[1],
        100 * main / total + 0.5, 100 * pipe / total + 0.5, 100 * (total - main - pipe) / total + 0.5, frames,
        faults / frames + 0.5
    }' "$out/play" "$out/end"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "?" }'; }

# endGame <timer> <game> <server> <folder> <level> [capped]: ends the game by SIGTERM and
# prints its line.
endGame() {
  local timer=$1 game=$2 server=$3 out=$4 level=$5 capped=${6:-} status rss gap playGap budget
  [ -n "$game" ] && kill -TERM "$game" 2>/dev/null
  wait "$timer"
  status=$?
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%d", $2 / 1024}' "$out/time.txt" 2>/dev/null)
  # The longest time between two frames from the first frame on (start-up and the load
  # among them), and the longest from a third of the run on (play).
  read -r gap playGap < <(od -An -v -t u8 -w8 "$out/frames" 2>/dev/null | awk -v third="$((seconds * 1000000 / 3))" '
    { t = $1; if (NR == 1) first = t; else { g = t - last; if (g > all) all = g; if (last - first >= third && g > play) play = g }; last = t }
    END { printf "%.2f %.2f\n", all / 1e6, play / 1e6 }')
  budget=$(grep -o 'ERROR: The level load reached its budget of [0-9]* [a-z -]* at "[^"]*"' "$out/run/PaddlestoneLog.txt" 2>/dev/null |
    sed 's/ERROR: The level load reached its budget of //; s| at ".*/| at |; s|"||g' | paste -sd, -)
  printf '%-14s max resident %5s MB, longest frame %6s s (in play %s s), status %s%s; budgets reached: %s\n' \
    "$level" "${rss:-?}" "${gap:-none}" "${playGap:-none}" "$status" "$capped" "${budget:-none}"
}

for level in "${levels[@]}"; do
  out="$work/$(basename "$level" .irr)"
  prepareGame "$level" "$out" || continue
  read -r file display server <<<"$prepared"
  side=""
  sideServer=""
  if [ -n "$beside" ]; then
    sideOut="$out/beside-$beside"
    prepareGame "$beside" "$sideOut" && side=$prepared
    read -r sideFile sideDisplay sideServer <<<"${side:-- - -}"
  fi
  running=($server $sideServer)
  began=$SECONDS
  startGame "$out" "$file" "$display"
  read -r timer game <<<"$started"
  if [ -n "$side" ]; then
    startGame "$sideOut" "$sideFile" "$sideDisplay"
    read -r sideTimer sideGame <<<"$started"
    running+=($sideGame)
  fi
  running+=($game)
  # Play is measured from a third of the seconds on, once both levels have been shown for 10 s
  # (their covers cleared; from two thirds on however they are), until the signal.
  shown=""
  played=""
  # A game past the cap is ended at once (the machine is shared): its line says so.
  capped=""
  until [ $((SECONDS - began)) -ge "$seconds" ] || ! kill -0 "$timer" 2>/dev/null; do
    resident=$(awk '/^VmRSS/ {print int($2 / 1024)}' "/proc/$game/status" 2>/dev/null)
    if [ "${resident:-0}" -gt "$cap" ]; then
      capped=" (ended past the cap of $cap MB after $((SECONDS - began)) s)"
      kill -KILL "$game" 2>/dev/null
      break
    fi
    if [ -z "$shown" ] && levelShown "$out" && { [ -z "$side" ] || levelShown "$sideOut"; }; then
      shown=$SECONDS
    fi
    if [ -z "$played" ] && [ $((SECONDS - began)) -ge $((seconds / 3)) ] &&
      { { [ -n "$shown" ] && [ $((SECONDS - shown)) -ge 10 ]; } || [ $((SECONDS - began)) -ge $((seconds * 2 / 3)) ]; }; then
      played=$((SECONDS - began))
      sampleGame "$game" "$out" play
      [ -n "$side" ] && sampleGame "$sideGame" "$sideOut" play
    fi
    sleep 0.2
  done
  if [ -n "$played" ] && [ -z "$capped" ]; then
    sampleGame "$game" "$out" end
    [ -n "$side" ] && sampleGame "$sideGame" "$sideOut" end
  fi
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  endGame "$timer" "$game" "$server" "$out" "$level" "$capped"
  [ -n "$side" ] && endGame "$sideTimer" "$sideGame" "$sideServer" "$sideOut" "  ($beside)"
  running=()
  [ -n "$played" ] && [ -z "$capped" ] || continue
  read -r median cpu share main pipe other frames faults < <(playFigures "$out" "$game")
  line=$(printf '  in play from %s s, %s frames: median frame %s s, processor time %s ms a frame, %s s a second (main thread %s %%, llvmpipe %s %%, other %s %%), %s page faults a frame' \
    "$played" "$frames" "$median" "$cpu" "$share" "$main" "$pipe" "$other" "$faults")
  if [ -n "$side" ]; then
    read -r gMedian gCpu gShare gMain gPipe gOther gFrames gFaults < <(playFigures "$sideOut" "$sideGame")
    line+=$(printf '; %s beside it: %s s, %s ms, %s s (main %s %%, llvmpipe %s %%), %s faults; times it: frame %s, a frame %s, a second %s' \
      "$beside" "$gMedian" "$gCpu" "$gShare" "$gMain" "$gPipe" "$gFaults" "$(ratio "$median" "$gMedian")" "$(ratio "$cpu" "$gCpu")" \
      "$(ratio "$share" "$gShare")")
  fi
  echo "$line; load average $load"
done
stopBusy
[ -n "$ownServer" ] && kill "$ownServer" 2>/dev/null
[ -n "${HOSTILE_MEMORY_KEEP:-}" ] || rm -rf "$work"
