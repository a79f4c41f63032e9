#!/usr/bin/env bash
# Fails when a source under src/ includes a header of a higher layer. The layers, ground first
# (folders of one layer may include each other; a folder may include any lower layer):
#
#   0  platform phys        our layers over the operating system and over Bullet
#   1  core                 the application's services (settings, log, files, sound, utilities)
#   2  level                the level object model and level management
#   3  render physics player
#   4  gui                  the GUI toolkit
#   5  camera characters triggers
#   6  screens              the game's screens and menus
#   7  core/app             the shell: entry point, start-up, frame and shutdown orders
#
# A lower layer that must call up at run time does so through a slot table it owns, filled by
# the shell's registration. Usage: tools/check-layers.sh [source root] (default: src/).
set -euo pipefail
cd "$(dirname "$0")/.."
src=${1:-src}

# Includes that may run up, one a line: "<file> <included header>  # why".
allowed=(
)

awk -v allowed="$(printf '%s\n' "${allowed[@]+"${allowed[@]}"}")" '
  function layer_of(path,    parts, n) {
    n = split(path, parts, "/")
    if (parts[1] == "core" && n > 2 && parts[2] == "app") return 7
    return (parts[1] in rank) ? rank[parts[1]] : -1
  }
  BEGIN {
    rank["platform"] = 0; rank["phys"] = 0; rank["core"] = 1; rank["level"] = 2
    rank["render"] = 3; rank["physics"] = 3; rank["player"] = 3; rank["gui"] = 4
    rank["camera"] = 5; rank["characters"] = 5; rank["triggers"] = 5; rank["screens"] = 6
    n = split(allowed, rows, "\n")
    for (i = 1; i <= n; ++i) {
      split(rows[i], f, " ")
      if (f[1] != "") ok[f[1] " " f[2]] = 1
    }
    bad = 0
  }
  FNR == 1 {
    file = FILENAME
    sub("^" root "/", "", file)
    from = layer_of(file)
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    header = $0
    sub(/^[^"]*"/, "", header)
    sub(/".*$/, "", header)
    to = layer_of(header)
    if (from >= 0 && to > from && !((file " " header) in ok)) {
      printf "%s:%d: includes %s (layer %d above %d)\n", root "/" file, FNR, header, to, from
      ++bad
    }
  }
  END {
    if (bad) {
      print ""
      print "Layers, ground first: 0 platform phys | 1 core | 2 level | 3 render physics player |"
      print "4 gui | 5 camera characters triggers | 6 screens | 7 core/app (the shell)."
      print "A file includes only its own layer and those below; a call up goes through the lower"
      print "layer'"'"'s slot table (filled by the shell) or a forward declaration."
      printf "%d include(s) run up the layers\n", bad
      exit 1
    }
  }
' root="$src" $(find "$src" -name '*.h' -o -name '*.cpp' | sort)
echo "layer check: every include runs down the layers"
