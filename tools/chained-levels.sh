#!/usr/bin/env bash
# Plays the release game (bin/paddlestone) through levels that chain into each other, each
# with something of its own, and watches what the run keeps: docs/hardening.md, "What a run
# keeps". The levels are written into a folder under /tmp; each shows its own thing in front of
# its camera for about two seconds and then ends ("End Level") into the next, the last into the
# first. The game runs on an Xvfb of its own at 1280 x 720 for some seconds and is then ended
# with SIGTERM, as a closed window ends it.
#   tools/chained-levels.sh [pictures|meshes|mixed|sounds|soundself|garden|ring|ringcontent|poolself|manypictures] [levels] [seconds]
#   tools/chained-levels.sh level <file.irr> [seconds]
# pictures (40 levels): a 4096 x 4096 picture of each level's own (a PNG of about 50 KB) on a
# board (1 level: a level that ends into itself); meshes (30 levels): a mesh of each level's
# own, read from an OBJ file of 15 MB (see writeMesh); mixed (20 levels): each with a picture
# (2048 x 2048), a drawn mesh (an OBJ of 7 MB with texture coordinates and normals), a
# collision mesh (a static triangle mesh from an OBJ of 5 MB of positions, 133,902 triangles)
# and a sound file (10 s of Ogg Vorbis at 48 kHz, two channels) of its own, the sound played
# 0.1 s in; garden: the story's garden as shipped with its own end of level turned off, to set
# the others beside; sounds (150 objects): the garden with that many sound objects naming one
# Ogg Vorbis file of 29.5 s at 192 kHz, two channels (22.7 MB decoded), each played by a Play
# Sound of its own 1 s in; soundself: the garden with one such object played 0.1 s in, the
# level ending into itself 2 s in; level: a level file of the caller's (its folder copied;
# the garden's own end of level, where it has one, turned off), such as those
# tools/hostile-shapes.sh writes; ring (40 levels): the story's shed (every kind of object, its
# own end of level turned off) with a 1024 x 1024 picture on a board, a dynamic object of a
# convex OBJ of 8,100 vertices and a Spawn Object pool of 8 copies of it (drawn merged), each of
# the level's own; ringcontent: the same with the levels and their files in a folder under
# Content/ (removed at the end); poolself: the pool of the ring alone, in a level that ends into
# itself; manypictures (2 levels): two levels ending into each other, each with that many
# (the second argument, 2,000 unless given) pictures of its own, 4 x 4 pixels, on as many
# small boards.
# Prints the resident set every 10 s (the most in each stretch), the most of the whole run
# (/usr/bin/time -v), how many loads began, the middle and the longest time between two frames
# shown in play (from a second after a load's end, its cover lifting, to the next load's
# beginning, through tools/frame-counter.c, preloaded), then how long the game took to end
# after the signal, its exit status and the last line of its log, and whether the player's
# files read back (the settings and the save, whole XML, no save put aside as unreadable and
# no write that failed).
# CHAINED_LEVELS_KEEP=folder keeps the levels, the log and the figures there;
# CHAINED_LEVELS_GAME=path runs another build. Build first with ./play.sh --build-only.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source "$root/tools/own-xvfb.sh"
kind=${1:-pictures}
case $kind in
  pictures) count=${2:-40} ;;
  meshes) count=${2:-30} ;;
  mixed) count=${2:-20} ;;
  sounds) count=${2:-150} ;;
  ring | ringcontent) count=${2:-40} ;;
  garden | soundself | poolself) count=1 ;;
  manypictures) count=${2:-2000} ;;
  level)
    count=1
    levelFile=$(realpath "${2:-}" 2>/dev/null) && [ -r "$levelFile" ] || { echo "cannot read the level ${2:-}"; exit 2; }
    ;;
  *) echo "unknown kind $kind (pictures, meshes, mixed, sounds, soundself, garden, ring, ringcontent, poolself, manypictures or level)"; exit 2 ;;
esac
seconds=${3:-120}
binary=${CHAINED_LEVELS_GAME:-$root/bin/paddlestone}
[ -x "$binary" ] || { echo "$binary is missing: run ./play.sh --build-only"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)"; exit 2; }
work=${CHAINED_LEVELS_KEEP:-$(mktemp -d /tmp/chained-levels.XXXXXX)}
run="$work/run"
mkdir -p "$run"
ln -sfn "$root/Content" "$run/Content"
# Where the levels lie, and the prefix of the names of their files (relative to the game's
# working folder).
levels=$run
prefix=
if [ "$kind" = ringcontent ]; then
  prefix="Content/ChainedRing.$$/"
  levels="$root/$prefix"
  mkdir -p "$levels"
  trap 'rm -rf "$levels"' EXIT
fi
cc -O2 -shared -fPIC -o "$work/frame-counter.so" "$root/tools/frame-counter.c" -ldl ||
  { echo "the frame counter did not build"; exit 2; }

# A grey PNG of side x side pixels, one deflate stream of equal rows (small on the disk).
writePicture() { # file side
  python3 - "$1" "$2" <<'EOF'
import struct, sys, zlib
path, side = sys.argv[1], int(sys.argv[2])
row = b"\x00" + bytes([0x80, 0x70 + side % 64, 0x60]) * side
data = zlib.compress(row * side, 9)
chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) + chunk(b"IDAT", data) + chunk(b"IEND", b""))
EOF
}
# A wavy sheet of n x n vertices, 8 units across, as an OBJ file as exporters write them, with
# texture coordinates and normals (n = 280 makes 15 MB: 78,400 vertices, 155,682 triangles);
# with CHAINED_LEVELS_BARE_MESHES=1 positions alone, the most triangles a file of that size
# holds (n = 450 makes 15 MB: 202,500 vertices, 403,202 triangles). A side and "bare" after
# the seed choose them for the one file.
writeMesh() { # file seed [n bare]
  local bare=${CHAINED_LEVELS_BARE_MESHES:-0}
  awk -v bare="${4:-$bare}" -v seed="$2" -v side="${3:-0}" 'BEGIN {
    n = side > 0 ? side : bare == 1 ? 450 : 280
    for (z = 0; z < n; ++z) for (x = 0; x < n; ++x) {
      printf "v %.6f %.6f %.6f\n", 8 * x / (n - 1) - 4, 8 * z / (n - 1) - 4, 0.3 * sin(x * 0.07 + seed) * cos(z * 0.05)
      if (bare != 1)
        printf "vt %.6f %.6f\nvn %.6f %.6f -1\n", x / (n - 1), z / (n - 1), 0.021 * cos(x * 0.07 + seed) * cos(z * 0.05), -0.015 * sin(x * 0.07 + seed) * sin(z * 0.05)
    }
    for (z = 0; z < n - 1; ++z) for (x = 0; x < n - 1; ++x) {
      a = z * n + x + 1; b = a + 1; c = a + n; d = c + 1
      if (bare == 1)
        printf "f %d %d %d\nf %d %d %d\n", a, c, b, b, c, d
      else
        printf "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, b, b, b, b, b, b, c, c, c, d, d, d
    }
  }' >"$1"
}
# The level's camera, light and information, the thing of its own, and its end into the next.
writeLevel() { # file next own-nodes
  cat >"$1" <<EOF
<?xml version="1.0"?>
<irr_scene>
  <attributes><string name="Name" value="Chained" /><colorf name="AmbientLight" value="0.45, 0.45, 0.5, 1" /></attributes>
  <node type="LevelInfo"><attributes><string name="Name" value="LevelInfo" /><int name="Id" value="10" /><int name="InitialCameraID" value="11" /></attributes></node>
  <node type="CameraObject"><attributes><string name="Name" value="Camera" /><int name="Id" value="11" /><vector3d name="Position" value="0, 0, -9" /><bool name="Visible" value="true" /><int name="PriorityLevel" value="1" /><enum name="CameraMode" value="Stationary" /><float name="FOV" value="60" /></attributes></node>
  <node type="light"><attributes><string name="Name" value="Sun" /><vector3d name="Position" value="-20, 40, -30" /><bool name="Visible" value="true" /><float name="Radius" value="400" /><enum name="LightType" value="Point" /></attributes></node>
$3
  <node type="TriggerObject"><attributes><string name="Name" value="Next" /><int name="Id" value="12" /><enum name="TriggerCondition" value="Immediately" /><float name="MinimumTimeUntilMet" value="2" /><enum name="OnTriggerEvent" value="End Level" /><string name="NextLevel" value="$2" /><enum name="TransitionType" value="None" /><float name="HoldLength" value="0" /><bool name="SetSaveLevelPath" value="true" /><string name="SaveLevelPath" value="" /></attributes></node>
</irr_scene>
EOF
}

# Ogg Vorbis of the seconds at the rate, two channels of tones (sox).
writeSound() { # file seconds rate tone
  sox -V1 -n -r "$3" -c 2 "$1" synth "$2" sine "$4" sine "$(($4 * 3 / 2))" ||
    { echo "sox could not write $1 (apt-get install sox libsox-fmt-all)"; exit 2; }
}
# The level with the garden's own end of level (the event "EndOfLevel") turned off.
withoutGardenEnd() { perl -0pe 's/(value="EndOfLevel".*?name="OnTriggerEvent" value=")End Level"/$1Nothing"/s'; }
gardenWith() { head -n -1 "$root/Content/Levels/Story_Garden.irr" | withoutGardenEnd; cat; echo "</irr_scene>"; }
soundNode() { # id file
  echo "  <node type=\"SoundObject\"><attributes><string name=\"Name\" value=\"Sound$1\" /><int name=\"Id\" value=\"$1\" /><string name=\"SoundFile\" value=\"$2\" /></attributes></node>"
}
playNode() { # id sound-id seconds
  echo "  <node type=\"TriggerObject\"><attributes><string name=\"Name\" value=\"Play$2\" /><int name=\"Id\" value=\"$1\" /><enum name=\"TriggerCondition\" value=\"Immediately\" /><float name=\"MinimumTimeUntilMet\" value=\"$3\" /><enum name=\"OnTriggerEvent\" value=\"Play Sound\" /><bool name=\"UndoOnTriggerRevert\" value=\"false\" /><int name=\"ObjectID\" value=\"$2\" /><enum name=\"SoundAction\" value=\"Play\" /></attributes></node>"
}
endNode() { # id next seconds
  echo "  <node type=\"TriggerObject\"><attributes><string name=\"Name\" value=\"Next\" /><int name=\"Id\" value=\"$1\" /><enum name=\"TriggerCondition\" value=\"Immediately\" /><float name=\"MinimumTimeUntilMet\" value=\"$3\" /><enum name=\"OnTriggerEvent\" value=\"End Level\" /><string name=\"NextLevel\" value=\"$2\" /><enum name=\"TransitionType\" value=\"None\" /><float name=\"HoldLength\" value=\"0\" /><bool name=\"SetSaveLevelPath\" value=\"true\" /><string name=\"SaveLevelPath\" value=\"\" /></attributes></node>"
}

# A physics object of the level's own convex mesh and a pool of 8 copies of it beside.
poolNodes() { # mesh
  echo "  <node type=\"PhysicsObject\"><attributes><string name=\"Name\" value=\"Rock\" /><int name=\"Id\" value=\"990200\" /><vector3d name=\"Position\" value=\"0, 2, 0\" /><vector3d name=\"Scale\" value=\"0.25, 0.25, 0.25\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"$1\" /><enum name=\"BoundType\" value=\"Convex\" /><enum name=\"PhysicsState\" value=\"Dynamic\" /></attributes></node>
  <node type=\"TriggerObject\"><attributes><string name=\"Name\" value=\"Pool\" /><int name=\"Id\" value=\"990201\" /><enum name=\"TriggerCondition\" value=\"Immediately\" /><enum name=\"OnTriggerEvent\" value=\"Spawn Object\" /><int name=\"PoolSize\" value=\"8\" /><int name=\"BaseID\" value=\"990300\" /><enum name=\"SpawnMode\" value=\"Manual\" /><int name=\"ObjectID\" value=\"990200\" /><vector3d name=\"TargetPosition\" value=\"2, 4, 0\" /></attributes></node>"
}
boardNode() { # picture
  echo "  <node type=\"cube\"><attributes><string name=\"Name\" value=\"Board\" /><vector3d name=\"Position\" value=\"0, 3, 4\" /><vector3d name=\"Scale\" value=\"3, 3, 0.1\" /><bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"1\" /></attributes><materials><attributes><enum name=\"Type\" value=\"solid\" /><bool name=\"Lighting\" value=\"false\" /><texture name=\"Texture1\" value=\"$1\" /></attributes></materials></node>"
}
# The shed with its own end of level turned off.
shedWith() { head -n -1 "$root/Content/Levels/Story_Shed.irr" | perl -pe 's/(name="OnTriggerEvent" value=")End Level"/$1Nothing"/'; cat; echo "</irr_scene>"; }

case $kind in
garden)
  gardenWith </dev/null >"$run/Level1.irr"
  ;;
poolself)
  writeMesh "$run/Rock.obj" 1 90
  writeLevel "$run/Level1.irr" Level1.irr "$(poolNodes Rock.obj)"
  ;;
manypictures)
  for level in 1 2; do
    mkdir -p "$run/Pictures$level"
    python3 - "$run/Pictures$level" "$count" "$level" <<'EOF'
import struct, sys, zlib
folder, count, level = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)
for i in range(count):
    row = b"\x00" + bytes([i % 256, (i // 256) % 256, 40 * level]) * 4
    open(f"{folder}/P{i}.png", "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(row * 4)) + chunk(b"IEND", b""))
EOF
    own=$(awk -v n="$count" -v level="$level" 'BEGIN { side = int(sqrt(n)) + 1
      for (i = 0; i < n; ++i)
        printf "  <node type=\"cube\"><attributes><string name=\"Name\" value=\"Board%d\" /><vector3d name=\"Position\" value=\"%.3f, %.3f, 0\" /><vector3d name=\"Scale\" value=\"0.1, 0.1, 0.01\" /><bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"1\" /></attributes><materials><attributes><enum name=\"Type\" value=\"solid\" /><bool name=\"Lighting\" value=\"false\" /><texture name=\"Texture1\" value=\"Pictures%d/P%d.png\" /></attributes></materials></node>\n", i, 10 * (i % side) / side - 5, 10 * int(i / side) / side - 5, level, i }')
    writeLevel "$run/Level$level.irr" "Level$((3 - level)).irr" "$own"
  done
  ;;
ring | ringcontent)
  for ((i = 1; i <= count; ++i)); do
    writePicture "$levels/Picture$i.png" 1024
    writeMesh "$levels/Rock$i.obj" "$i" 90
    { boardNode "${prefix}Picture$i.png"; poolNodes "${prefix}Rock$i.obj"; endNode 990202 "${prefix}Level$((i % count + 1)).irr" 2; } |
      shedWith >"$levels/Level$i.irr"
  done
  ;;
sounds)
  writeSound "$run/Long.ogg" 29.5 192000 300
  for ((i = 0; i < count; ++i)); do
    soundNode $((990100 + i)) Long.ogg
    playNode $((990400 + i)) $((990100 + i)) 1
  done | gardenWith >"$run/Level1.irr"
  ;;
soundself)
  writeSound "$run/Long.ogg" 29.5 192000 300
  { soundNode 990100 Long.ogg; playNode 990101 990100 0.1; endNode 990102 Level1.irr 2; } | gardenWith >"$run/Level1.irr"
  ;;
level)
  cp -r "$(dirname "$levelFile")"/. "$run/"
  rm -f "$run/Content"
  ln -sfn "$root/Content" "$run/Content"
  withoutGardenEnd <"$levelFile" >"$run/Level1.irr"
  ;;
*)
  for ((i = 1; i <= count; ++i)); do
    next="Level$((i % count + 1)).irr"
    if [ "$kind" = pictures ]; then
      writePicture "$run/Picture$i.png" 4096
      own="  <node type=\"cube\"><attributes><string name=\"Name\" value=\"Board\" /><vector3d name=\"Scale\" value=\"6, 6, 0.1\" /><bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"1\" /></attributes><materials><attributes><enum name=\"Type\" value=\"solid\" /><bool name=\"Lighting\" value=\"false\" /><texture name=\"Texture1\" value=\"Picture$i.png\" /></attributes></materials></node>"
    elif [ "$kind" = mixed ]; then
      writePicture "$run/Picture$i.png" 2048
      writeMesh "$run/Mesh$i.obj" "$i" 190 0
      writeMesh "$run/Ground$i.obj" "$i" 260 1
      writeSound "$run/Sound$i.ogg" 10 48000 $((200 + 10 * i))
      own="  <node type=\"cube\"><attributes><string name=\"Name\" value=\"Board\" /><vector3d name=\"Position\" value=\"-3, 0, 0\" /><vector3d name=\"Scale\" value=\"3, 3, 0.1\" /><bool name=\"Visible\" value=\"true\" /><float name=\"Size\" value=\"1\" /></attributes><materials><attributes><enum name=\"Type\" value=\"solid\" /><bool name=\"Lighting\" value=\"false\" /><texture name=\"Texture1\" value=\"Picture$i.png\" /></attributes></materials></node>
  <node type=\"PhysicsObject\"><attributes><string name=\"Name\" value=\"Sheet\" /><int name=\"Id\" value=\"13\" /><vector3d name=\"Position\" value=\"2.5, 0, 0\" /><vector3d name=\"Scale\" value=\"0.5, 0.5, 0.5\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"Mesh$i.obj\" /><enum name=\"BoundType\" value=\"Mesh\" /><string name=\"ColMeshFileName\" value=\"Ground$i.obj\" /><enum name=\"PhysicsState\" value=\"Static\" /></attributes></node>
$(soundNode 14 "Sound$i.ogg")
$(playNode 15 14 0.1)"
    else
      writeMesh "$run/Mesh$i.obj" "$i"
      own="  <node type=\"PhysicsObject\"><attributes><string name=\"Name\" value=\"Sheet\" /><int name=\"Id\" value=\"13\" /><vector3d name=\"Rotation\" value=\"0, 0, 0\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"Mesh$i.obj\" /><enum name=\"BoundType\" value=\"Box\" /><vector3d name=\"BoxExtents\" value=\"8, 8, 0.5\" /><enum name=\"PhysicsState\" value=\"Static\" /></attributes></node>"
    fi
    writeLevel "$run/Level$i.irr" "$next" "$own"
  done
  ;;
esac

read -r display server < <(startOwnXvfb "$work")
[ "$display" != none ] || { echo "no X server"; kill "$server" 2>/dev/null; exit 2; }
export LC_ALL=C.UTF-8
(cd "$run" && DISPLAY=":$display" XDG_DATA_HOME="$work/data" ALSOFT_DRIVERS=null \
  LD_PRELOAD="$work/frame-counter.so" FRAME_TIMES_FILE="$work/frames" \
  exec /usr/bin/time -v -o "$work/time.txt" "$binary" "${prefix}Level1.irr" >"$work/output.txt" 2>&1) &
timer=$!
game=$(gameUnder "$timer")
# Every tenth of a second: the resident set, and each load begun or ended since, in the frame
# counter's clock (the monotonic clock, microseconds).
python3 - "$game" "$run/PaddlestoneLog.txt" "$seconds" >"$work/samples" <<'EOF'
import os, sys, time
pid, log, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
start, seen = time.monotonic(), 0
while time.monotonic() - start < seconds:
    now = int(time.monotonic() * 1e6)
    try:
        rss = next(int(l.split()[1]) // 1024 for l in open(f"/proc/{pid}/status") if l.startswith("VmRSS"))
    except (OSError, StopIteration):
        break
    print("rss", now, rss)
    try:
        with open(log, errors="replace") as f:
            lines = f.readlines()
    except OSError:
        lines = []
    for line in lines[seen:]:
        if "Loading level: " in line:
            print("load", now)
        elif "Transition Outro." in line:  # the cover lifts: the load has ended
            print("play", now)
    seen = len(lines)
    sys.stdout.flush()
    time.sleep(0.1)
EOF
signalled=$(date +%s%N)
kill -TERM "$game" 2>/dev/null
wait "$timer"
status=$?
ended=$(date +%s%N)
kill "$server" 2>/dev/null
rss=$(awk -F': ' '/Maximum resident set size/ {printf "%d", $2 / 1024}' "$work/time.txt" 2>/dev/null)
echo "$kind: $count level(s), $seconds s"
awk '$1 == "rss" { if (!t0) t0 = $2; s = int(($2 - t0) / 10e6); if ($3 > most[s]) most[s] = $3; if (s > last) last = s }
  END { line = "resident (MB, most in each 10 s):"; for (s = 0; s <= last; ++s) line = line " " most[s]; print line }' "$work/samples"
echo "most resident over the run: ${rss:-?} MB; loads begun: $(grep -c '^load' "$work/samples")"
# The times between two frames that both lie in play: from a second after a load's end to
# the next load's beginning.
od -An -v -t u8 -w8 "$work/frames" 2>/dev/null | awk -v samples="$work/samples" '
  BEGIN { while ((getline line < samples) > 0) { split(line, f, " "); if (f[1] == "play") from[++n] = f[2] + 1000000
      else if (f[1] == "load" && n > 0 && !(n in to)) to[n] = f[2] } }
  function inPlay(t,   i) { for (i = 1; i <= n; ++i) if (t >= from[i] && (!(i in to) || t < to[i])) return i; return 0 }
  { t = $1; k = inPlay(t); if (k && k == inPlay(last)) print t - last; last = t }' | sort -n >"$work/gaps"
awk '{ gap[NR] = $1 } END { if (NR) printf "frames in play: %d, the middle one %.3f s, the longest %.3f s\n", NR, gap[int((NR + 1) / 2)] / 1e6, gap[NR] / 1e6
  else print "no frames in play" }' "$work/gaps"
# Each load's seconds (from its beginning to its cover lifting, to a tenth), and the longest
# time between two frames of the whole run, loads too.
awk '$1 == "load" { begun = $2 } $1 == "play" && begun { line = line sprintf(" %.1f", ($2 - begun) / 1e6); begun = 0 }
  END { print "seconds a load:" line }' "$work/samples"
od -An -v -t u8 -w8 "$work/frames" 2>/dev/null |
  awk 'NR > 1 && $1 - last > most { most = $1 - last } { last = $1 } END { printf "longest frame of the whole run: %.3f s\n", most / 1e6 }'
printf 'after SIGTERM: ended in %.2f s, status %s, last log line: %s\n' "$(((ended - signalled) / 10000000))e-2" "$status" \
  "$(tail -n 1 "$run/PaddlestoneLog.txt" 2>/dev/null | sed 's/^\[[0-9:]*\] //')"
# The player's files: each reads back whole, and the log names no save put aside or write
# that failed.
python3 - "$run/PaddlestoneConfig.xml" "$work/data" "$run/PaddlestoneLog.txt" <<'EOF'
import glob, os, sys, xml.dom.minidom
settings, data, log = sys.argv[1:4]
def whole(path):
    try:
        xml.dom.minidom.parse(path)
        return True
    except Exception:
        return False
saves = glob.glob(os.path.join(data, "**", "save.tsav"), recursive=True)
bad = glob.glob(os.path.join(data, "**", "*.bad"), recursive=True)
try:
    failed = sum(1 for l in open(log, errors="replace") if "Could not write the save" in l)
except OSError:
    failed = -1
parts = ["settings " + ("read back" if whole(settings) else "MISSING OR BROKEN")]
if saves:
    parts.append("save %s (%d bytes)" % ("read back" if all(whole(s) for s in saves) else "BROKEN", os.path.getsize(saves[0])))
else:
    parts.append("NO SAVE")
parts.append("%d put aside, %d failed writes" % (len(bad), failed))
print("player files: " + ", ".join(parts))
EOF
[ -n "${CHAINED_LEVELS_KEEP:-}" ] || rm -rf "$work"
