#!/usr/bin/env bash
# The whole run measured: each hostile case of tools/chained-levels.sh (and the levels of
# tools/hostile-shapes.sh) played by the release game, the shipped garden played beside it at
# the same time for as long (each game on an Xvfb of its own), and one table row a case: the
# most resident, the middle and the longest frame in play against the garden's beside it, how
# long the game took to end after SIGTERM with its status, and whether the player's files read
# back. The figures of docs/hardening.md, "The whole run".
#   tools/whole-run.sh [case ...]
# Cases: pictures40, meshes30, bare30, self, shapes100, shapepool, hulls10, sounds150,
# soundself, mixed20, ring40, ringcontent40, poolself (all of them when none is named).
# The rings play 300 s (about 50 loads), or WHOLE_RUN_RING_SECONDS.
# WHOLE_RUN_KEEP=folder keeps every run's output there. Build first with ./play.sh --build-only.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(pictures40 meshes30 bare30 self shapes100 shapepool hulls10 sounds150 soundself mixed20 ring40 ringcontent40 poolself)
work=${WHOLE_RUN_KEEP:-$(mktemp -d /tmp/whole-run.XXXXXX)}
mkdir -p "$work"
shapes="$work/shapes"

# The arguments of tools/chained-levels.sh for a case, and its seconds last.
caseArguments() {
  case $1 in
    pictures40) echo "pictures 40 160" ;;
    meshes30 | bare30) echo "meshes 30 160" ;;
    self) echo "pictures 1 60" ;;
    shapes100 | shapepool | hulls10)
      [ -r "$shapes/$1/$1.irr" ] || tools/hostile-shapes.sh "$shapes" "$1" >/dev/null || return 1
      echo "level $shapes/$1/$1.irr 40"
      ;;
    sounds150) echo "sounds 150 50" ;;
    soundself) echo "soundself 1 150" ;;
    mixed20) echo "mixed 20 160" ;;
    ring40) echo "ring 40 ${WHOLE_RUN_RING_SECONDS:-300}" ;;
    ringcontent40) echo "ringcontent 40 ${WHOLE_RUN_RING_SECONDS:-300}" ;;
    poolself) echo "poolself 1 60" ;;
    *) return 1 ;;
  esac
}
# One figure of a run's output.
figure() { # file what
  case $2 in
    resident) sed -n 's/^most resident over the run: \([0-9?]*\) MB.*/\1/p' "$1" ;;
    middle) sed -n 's/.*the middle one \([0-9.]*\) s.*/\1/p' "$1" ;;
    longest) sed -n 's/.*the longest \([0-9.]*\) s.*/\1/p' "$1" ;;
    loads) sed -n 's/.*loads begun: \([0-9]*\).*/\1/p' "$1" ;;
    ended) sed -n 's/^after SIGTERM: ended in \([0-9.]*\) s.*/\1/p' "$1" ;;
    status) sed -n 's/^after SIGTERM: .*, status \([0-9]*\),.*/\1/p' "$1" ;;
    last) sed -n 's/^after SIGTERM: .*last log line: \(.*\)/\1/p' "$1" ;;
    files) sed -n 's/^player files: //p' "$1" ;;
  esac
}

echo "| Case | most resident | loads | frames in play: middle, longest (the garden beside) | ratio | after SIGTERM | player files |"
echo "|---|---|---|---|---|---|---|"
for c in "${cases[@]}"; do
  read -r -a arguments < <(caseArguments "$c") || { echo "unknown case $c" >&2; continue; }
  seconds=${arguments[-1]}
  bare=0
  [ "$c" = bare30 ] && bare=1
  CHAINED_LEVELS_BARE_MESHES=$bare tools/chained-levels.sh "${arguments[@]}" >"$work/$c.txt" 2>&1 &
  one=$!
  tools/chained-levels.sh garden 1 "$seconds" >"$work/$c.garden.txt" 2>&1 &
  other=$!
  wait "$one" "$other"
  out="$work/$c.txt"
  garden="$work/$c.garden.txt"
  ratio=$(awk -v a="$(figure "$out" middle)" -v b="$(figure "$garden" middle)" -v c="$(figure "$out" longest)" \
    -v d="$(figure "$garden" longest)" 'BEGIN { if (b > 0 && d > 0) printf "%.1f, %.1f", a / b, c / d; else print "?" }')
  printf '| %s | %s MB | %s | %s s, %s s (%s s, %s s) | %s | %s s, status %s, "%s" | %s |\n' "$c" \
    "$(figure "$out" resident)" "$(figure "$out" loads)" "$(figure "$out" middle)" "$(figure "$out" longest)" \
    "$(figure "$garden" middle)" "$(figure "$garden" longest)" "$ratio" "$(figure "$out" ended)" \
    "$(figure "$out" status)" "$(figure "$out" last)" "$(figure "$out" files)"
done
[ -n "${WHOLE_RUN_KEEP:-}" ] || rm -rf "$work"
