#!/usr/bin/env bash
# Fuzzes the level formats (engine scene files and binary levels) for longer than ./test.sh
# does: mutated copies of the story levels are loaded in the sanitizer build.
#   tools/fuzz-levels.sh [iterations per format, default 100000] [seed]
exec "$(dirname "$0")/fuzz-campaign.sh" 'LevelFuzzTest.*' "${1:-100000}" "${2:-$RANDOM}"
