#!/usr/bin/env bash
# Fuzzes the mesh formats the game loads (OBJ and B3D) for longer than ./test.sh does:
# mutated copies of the game's own meshes go through the mesh gate in the sanitizer build.
#   tools/fuzz-meshes.sh [iterations per format, default 1000000] [seed]
exec "$(dirname "$0")/fuzz-campaign.sh" 'MeshFuzzTest.*' "${1:-1000000}" "${2:-$RANDOM}"
