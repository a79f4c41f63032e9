#!/usr/bin/env bash
# Compiles sources of src, tests, bench and tools on their own, and headers that no source
# includes first, syntax only: a file that builds only because a neighbour in its unity batch
# or a precompiled header brought in what it uses fails here. Prints each failing file with
# the compiler's first error and exits 1 when any failed.
#
# Usage: tools/check-standalone.sh [--all | --since <revision>] [build folder]
#   (default)         the files a change can reach: those that differ from the base (the fork
#                     point from main; on main, the parent of the last commit or merge) or
#                     include such a file, working-tree changes counted; every file of a test
#                     folder whose CMake list changed; everything when no base is found or
#                     another CMake file changed
#   --all             every file (on 2 cores about as long as the test build itself)
#   --since <rev>     the files a change since <rev> can reach
# The build folder (default build/standalone) is only configured, never built: no unity
# batches, no precompiled headers, no sanitizers, no optimisation. PADDLESTONE_JOBS sets the
# parallel compilers (default: nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
source tools/build-common.sh

scope=changes
base=
while [ $# -gt 0 ]; do
  case "$1" in
    --all) scope=all; shift ;;
    --since) base="$2"; shift 2 ;;
    -*) echo "usage: $0 [--all | --since <revision>] [build folder]" >&2; exit 2 ;;
    *) break ;;
  esac
done
dir=${1:-build/standalone}
jobs=${PADDLESTONE_JOBS:-$(nproc 2>/dev/null || echo 2)}

mkdir -p "$dir"
dir=$(cd "$dir" && pwd -P)
configure_build "$dir" -DCMAKE_BUILD_TYPE=Debug -DPADDLESTONE_UNITY=OFF -DPADDLESTONE_PCH=OFF \
  -DPADDLESTONE_BIN_DIR="$dir/bin"
work="$dir/standalone"
rm -rf "$work"
mkdir -p "$work/headers"

# The files changed since the base, absolute, one a line (empty file: check everything).
: >"$work/changed"
if [ "$scope" = changes ]; then
  if [ -z "$base" ]; then
    main=$(git rev-parse -q --verify main 2>/dev/null || git rev-parse -q --verify origin/main 2>/dev/null || true)
    fork=${main:+$(git merge-base HEAD "$main" 2>/dev/null || true)}
    if [ -n "$fork" ] && [ "$fork" != "$(git rev-parse HEAD)" ]; then
      base=$fork
    else
      base=$(git rev-parse -q --verify 'HEAD^' 2>/dev/null || true)
    fi
  fi
  if [ -n "$base" ] && git rev-parse -q --verify "$base^{commit}" >/dev/null; then
    { git diff --name-only --no-renames "$base" -- && git ls-files --others --exclude-standard; } \
      | sort -u | sed "s|^|$root/|" >"$work/changed"
    # New compile flags can break any file. A test folder's own list only names that folder's
    # sources and their flags: then every file of that folder is checked, not all of them.
    lists=$(grep -E '(^|/)(CMakeLists\.txt|cmake/.*|tools/check-standalone\.sh)$' "$work/changed" || true)
    if [ -n "$lists" ]; then
      if grep -qvE "^$root/tests/[^/]+(/[^/]+)*/CMakeLists\.txt$" <<<"$lists" ||
         grep -qE "^$root/tests/support/" <<<"$lists"; then
        : >"$work/changed"
      else
        while read -r list; do
          find "$(dirname "$list")" -type f \( -name '*.cpp' -o -name '*.h' \)
        done <<<"$lists" >>"$work/changed"
        sort -u -o "$work/changed" "$work/changed"
      fi
    fi
  fi
  if [ ! -s "$work/changed" ]; then
    if [ -n "$base" ] && git diff --quiet "$base" -- && [ -z "$(git ls-files --others --exclude-standard)" ]; then
      echo "standalone check: nothing changed since $(git rev-parse --short "$base")"
      exit 0
    fi
    echo "standalone check: no base to compare with, or a CMake file or this check changed: checking every file"
  fi
fi

# One line per compile of compile_commands.json: directory, source, command (a shell command
# line, without its output). A source that two targets compile alike is checked once.
awk '
  function value(line) {
    sub(/^ *"[a-z]+": "/, "", line); sub(/",?$/, "", line)
    gsub(/\\\\/, "\001", line); gsub(/\\"/, "\"", line); gsub(/\001/, "\\", line)
    return line
  }
  /^ *"directory": / { directory = value($0) }
  /^ *"command": /   { command = value($0); sub(/ -o [^ ]+/, "", command) }
  /^ *"file": /      {
    file = value($0)
    if (!seen[file "\t" command]++) print directory "\t" file "\t" command
  }
' "$dir/compile_commands.json" >"$work/sources"

# The header each source includes first is checked by that source's own compile. The other
# headers get a unit of their own, compiled with the flags of a source beside them (the one of
# the same name when there is one), else of a source that names them.
declare -A command_of
while IFS=$'\t' read -r directory source command; do
  command_of[$source]=$command
done <"$work/sources"
cut -f2 "$work/sources" | sort -u | xargs -d '\n' awk '
  FNR == 1 { done = 0 }
  !done && /^[ \t]*#/ {
    done = 1
    if (match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]+"/)) {
      name = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", name); sub(/"$/, "", name)
      print FILENAME "\t" name
    }
  }
' | while IFS=$'\t' read -r source name; do
  for base_dir in "$(dirname "$source")" $(grep -oE '(^| )-I ?[^ ]+' <<<"${command_of[$source]}" | sed -E 's/^ ?-I ?//'); do
    if [ -f "$base_dir/$name" ]; then realpath "$base_dir/$name"; break; fi
  done
done | sort -u >"$work/checked-headers"

find "$root/src" "$root/tests" "$root/bench" "$root/tools" -name '*.h' | sort \
  | comm -23 - "$work/checked-headers" | while read -r header; do
  rel=${header#"$root/"}
  donor=$(awk -F'\t' -v d="$(dirname "$header")" -v s="${header%.h}" '
    { n = $2; sub(/\/[^\/]*$/, "", n); m = $2; sub(/\.[a-z]+$/, "", m) }
    n == d && !any { any = $0 }
    n == d && m == s { print; found = 1; exit }
    END { if (!found && any) print any }' "$work/sources")
  if [ -z "$donor" ]; then
    user=$(grep -rlF --include='*.cpp' "$(basename "$header")" "$root/${rel%%/*}" | head -n 1 || true)
    donor=$(awk -F'\t' -v f="$user" '$2 == f { print; exit }' "$work/sources")
  fi
  if [ -z "$donor" ]; then
    echo "$rel: no compiled source beside it or naming it: not checked" >&2
    continue
  fi
  IFS=$'\t' read -r directory source command <<<"$donor"
  unit="$work/headers/${rel//\//__}.cpp"
  printf '#include "%s"\n' "$header" >"$unit"
  printf '%s\t%s\t%s\n' "$directory" "$unit" "${command/" -c $source"/" -c $unit"}"
done >"$work/header-units"

# A unit is compiled when it or a file it includes changed (or always, with no change list).
# Each failure is a line: the file, a tab, the compiler's first error.
check_one() {
  local directory source command out deps first
  IFS=$'\t' read -r directory source command <<<"$1"
  if [ -s "$work/changed" ]; then
    if deps=$(cd "$directory" && eval "$command -MM" 2>/dev/null); then
      deps=$(tr -s ' \\' '\n' <<<"${deps#*:}" | sed '/^$/d' | (cd "$directory" && xargs -r realpath -m --))
      grep -qxF -f "$work/changed" <<<"$deps" || return 0
    fi
  fi
  echo >"$work/compiled.$BASHPID.$RANDOM"
  out=$(cd "$directory" && eval "$command -fsyntax-only" 2>&1) && return 0
  first=$(grep -m 1 -E 'error:' <<<"$out" || head -n 1 <<<"$out")
  case "$source" in "$work/headers/"*) source=$(sed -n 's/^#include "\(.*\)"$/\1/p' "$source") ;; esac
  printf '%s\t%s\n' "${source#"$root/"}" "$first"
}
export -f check_one
export work root
cat "$work/sources" "$work/header-units" \
  | xargs -d '\n' -n 1 -P "$jobs" bash -c 'check_one "$1"' _ >"$work/failures"

units=$(cat "$work/sources" "$work/header-units" | wc -l)
compiled=$(find "$work" -maxdepth 1 -name 'compiled.*' | wc -l)
scope_text="$units files"
[ -s "$work/changed" ] && scope_text="$compiled of $units files (those the changes since $(git rev-parse --short "$base") reach)"
failed=$(wc -l <"$work/failures")
if [ "$failed" -gt 0 ]; then
  sort "$work/failures" | sed 's/\t/\n    /'
  echo "standalone check: $scope_text checked, $failed do not compile on their own"
  exit 1
fi
echo "standalone check: $scope_text checked, each compiles on its own"
