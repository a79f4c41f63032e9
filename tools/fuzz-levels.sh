#!/usr/bin/env bash
# Fuzzes the level formats (engine scene files and binary levels) for longer than ./test.sh
# does: mutated copies of the story levels are loaded in the sanitizer build; then random
# trigger graphs, animators, GUI layouts and content tables, each class for its seconds.
#   tools/fuzz-levels.sh [iterations per format, default 100000] [seed] [seconds per class, default 300]
exec "$(dirname "$0")/fuzz-campaign.sh" 'LevelFuzzTest.*:ClassFuzzTest.*' "${1:-100000}" "${2:-$RANDOM}" "${3:-300}"
