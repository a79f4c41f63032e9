#!/usr/bin/env bash
# Makes a level of many copies of one level, to measure how the frame grows with the level.
# Usage: tools/multiply-level.sh <level.irr> <copies> <out.irr> [spacing]
# The copies stand side by side on a square grid, `spacing` units apart (default 60, about
# the width of a story level). Copy k adds k * 100000 to every positive object ID and to every
# reference to one (attributes named ...ID or ...Id, with an optional digit), so the copies
# keep their own joints, ties and paths. The level's information node and its triggers come
# only with the first copy: the level's story runs once.
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 <level.irr> <copies> <out.irr> [spacing]" >&2
  exit 2
fi
source_level=$1
copies=$2
out=$3
spacing=${4:-60}
if ! [[ $copies =~ ^[1-9][0-9]*$ ]] || [ "$copies" -gt 1000 ]; then
  echo "copies must be a whole number from 1 to 1000" >&2
  exit 2
fi
if [ ! -r "$source_level" ]; then
  echo "cannot read $source_level" >&2
  exit 1
fi

awk -v copies="$copies" -v spacing="$spacing" '
  function flush_header() { if (!headerDone) { printf "%s", header; headerDone = 1 } }
  # Top-level nodes start and end at an indent of two spaces.
  /^  <node type="/ {
    inNode = 1; block = $0 "\n"
    match($0, /type="[^"]*"/); nodeType = substr($0, RSTART + 6, RLENGTH - 7)
    next
  }
  inNode {
    block = block $0 "\n"
    if ($0 ~ /^  <\/node>/) { blocks[++count] = block; types[count] = nodeType; inNode = 0 }
    next
  }
  /^<\/irr_scene>/ { next }
  { if (count == 0) header = header $0 "\n" }
  END {
    side = int(sqrt(copies)); if (side * side < copies) side++
    flush_header()
    for (k = 0; k < copies; k++) {
      dx = (k % side) * spacing; dz = int(k / side) * spacing; idOffset = k * 100000
      for (b = 1; b <= count; b++) {
        if (k > 0 && (types[b] == "LevelInfo" || types[b] == "TriggerObject")) continue
        n = split(blocks[b], lines, "\n"); positionDone = 0
        for (i = 1; i < n; i++) {
          line = lines[i]
          if (k > 0 && match(line, /<int name="[A-Za-z]*I[Dd][0-9]?" value="[0-9]+"/)) {
            match(line, /value="[0-9]+"/); value = substr(line, RSTART + 7, RLENGTH - 8) + 0
            if (value > 0) sub(/value="[0-9]+"/, "value=\"" (value + idOffset) "\"", line)
          }
          if (!positionDone && line ~ /^      <vector3d name="Position" value="/) {
            positionDone = 1
            match(line, /value="[^"]*"/); split(substr(line, RSTART + 7, RLENGTH - 8), p, ",")
            line = sprintf("      <vector3d name=\"Position\" value=\"%f, %f, %f\" />", p[1] + dx, p[2] + 0, p[3] + dz)
          }
          print line
        }
      }
    }
    print "</irr_scene>"
  }
' "$source_level" >"$out"
echo "$out: $copies copies of $source_level, $(grep -c '<node type=' "$out") level nodes"
