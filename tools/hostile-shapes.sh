#!/usr/bin/env bash
# Writes the levels that measure what collision shapes cost: each is the story's garden
# (Content/Levels/Story_Garden.irr) with objects added, in a folder of its own beside its
# meshes, ready for tools/hostile-memory.sh to play:
#   shapes100  100 static objects whose collision mesh ("ColMeshFileName") is one OBJ of
#              538,000 triangles (about 15 MB), each drawn as a crate;
#   shapepool  one static object of an OBJ of 179,000 triangles (about 4.5 MB) as its mesh
#              and collision mesh, and a Spawn Object pool of 256 copies of it;
#   hulls10    ten dynamic convex objects whose collision mesh is one OBJ sphere of 65,002
#              points, every one of them on its hull, each drawn as a ball.
# Usage: tools/hostile-shapes.sh <folder> [case ...]   (all three when none is named)
# then:  tools/hostile-memory.sh 30 garden <folder>/shapes100/shapes100.irr ...
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ $# -ge 1 ] || { echo "usage: $0 <folder> [shapes100|shapepool|hulls10 ...]"; exit 2; }
out=$1
shift
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(shapes100 shapepool hulls10)
garden="$root/Content/Levels/Story_Garden.irr"
gardenWith() { head -n -1 "$garden"; cat; echo "</irr_scene>"; }

# A bumpy grid of across x deep points 0.1 apart, two triangles a cell. Each row's faces come
# right after its points and count back from them (negative indices), which keeps the file
# small.
writeGrid() { # file across deep
  awk -v n="$2" -v m="$3" 'BEGIN {
    for (z = 0; z < m; ++z) {
      for (x = 0; x < n; ++x) printf "v %.1f %.2f %.1f\n", x * 0.1, 0.3 * sin(0.37 * x) * cos(0.23 * z), z * 0.1
      if (z == 0) continue
      for (x = 0; x + 1 < n; ++x) {
        a = -2 * n + x; b = a + 1; c = -n + x; d = c + 1
        printf "f %d %d %d\nf %d %d %d\n", a, c, b, b, c, d
      }
    }
  }' >"$1"
}

# A sphere of radius 1: two poles and rings x segments points, every one on its hull.
writeSphere() { # file rings segments
  awk -v r="$2" -v s="$3" 'BEGIN {
    pi = 3.14159265358979
    print "v 0 1 0"
    for (i = 1; i <= r; ++i) for (j = 0; j < s; ++j) {
      p = pi * i / (r + 1); a = 2 * pi * j / s
      printf "v %.6f %.6f %.6f\n", sin(p) * cos(a), cos(p), sin(p) * sin(a)
    }
    print "v 0 -1 0"
    for (j = 0; j < s; ++j) printf "f 1 %d %d\n", 2 + (j + 1) % s, 2 + j
    for (i = 1; i < r; ++i) for (j = 0; j < s; ++j) {
      a = 2 + (i - 1) * s + j; b = 2 + (i - 1) * s + (j + 1) % s; c = a + s; d = b + s
      printf "f %d %d %d\nf %d %d %d\n", a, b, d, a, d, c
    }
    last = 2 + r * s
    for (j = 0; j < s; ++j) printf "f %d %d %d\n", last, 2 + (r - 1) * s + j, 2 + (r - 1) * s + (j + 1) % s
  }' >"$1"
}

physicsNode() { # name id x y z mesh collision-mesh bound state
  printf '<node type="PhysicsObject"><attributes><string name="Name" value="%s" /><int name="Id" value="%s" /><vector3d name="Position" value="%s, %s, %s" /><bool name="Visible" value="true" /><string name="MeshFileName" value="%s" /><enum name="BoundType" value="%s" /><string name="ColMeshFileName" value="%s" /><enum name="PhysicsState" value="%s" /></attributes></node>\n' \
    "$1" "$2" "$3" "$4" "$5" "$6" "$8" "$7" "$9"
}

for c in "${cases[@]}"; do
  dir="$out/$c"
  mkdir -p "$dir"
  case $c in
    shapes100)
      writeGrid "$dir/Ground538k.obj" 501 539
      for ((i = 0; i < 100; ++i)); do
        physicsNode "Ground$i" $((990100 + i)) $((i % 10 * 6 - 30)) -40 $((i / 10 * 6 - 30)) \
          Content/Models/Props/Crate.obj Ground538k.obj Mesh Static
      done | gardenWith >"$dir/$c.irr"
      ;;
    shapepool)
      writeGrid "$dir/Ground179k.obj" 300 300
      {
        physicsNode Slab 990100 -15 -20 -15 Ground179k.obj "" Mesh Static
        printf '<node type="TriggerObject"><attributes><string name="Name" value="Pool" /><int name="Id" value="990001" /><enum name="TriggerCondition" value="Immediately" /><enum name="OnTriggerEvent" value="Spawn Object" /><int name="PoolSize" value="256" /><int name="BaseID" value="0" /><enum name="SpawnMode" value="Manual" /><int name="ObjectID" value="990100" /><vector3d name="TargetPosition" value="-15.000000, -30.000000, -15.000000" /><vector3d name="TargetRotation" value="0.000000, 0.000000, 0.000000" /></attributes></node>\n'
      } | gardenWith >"$dir/$c.irr"
      ;;
    hulls10)
      writeSphere "$dir/Sphere65002.obj" 250 260
      for ((i = 0; i < 10; ++i)); do
        physicsNode "Ball$i" $((990100 + i)) $((i * 3 - 15)) 6 -12 Content/Models/Props/Ball.obj Sphere65002.obj \
          Convex Dynamic
      done | gardenWith >"$dir/$c.irr"
      ;;
    *) echo "unknown case $c" >&2; exit 2 ;;
  esac
  echo "$dir/$c.irr"
done
