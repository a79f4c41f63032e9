#!/usr/bin/env bash
# Times a clean `./test.sh` and the build of `./play.sh` on a given number of cores, split
# into configure, the compile of each target, the links and the two test runs.
#
# Usage: tools/build-times.sh [--cores N] [--no-release] [--keep]
#   --cores N     run on the first N processors (taskset), default 2
#   --no-release  skip the release build that ./play.sh makes
#   --keep        keep the timing build folders (build/times-*) afterwards
#
# ccache is switched off for the run, so the figures are those of a first build.
set -euo pipefail
cd "$(dirname "$0")/.."

cores=2
release=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cores) cores="$2"; shift 2 ;;
    --no-release) release=0; shift ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--cores N] [--no-release] [--keep]" >&2; exit 2 ;;
  esac
done
cpus="0-$((cores - 1))"
test_dir=build/times-test
release_dir=build/times-release
rm -rf "$test_dir" "$release_dir"
mkdir -p build

export CCACHE_DISABLE=1

# Prints the per-target split of a finished Ninja build from its log: the summed seconds of
# the compile jobs of each target and of each link or archive step.
ninja_split() {
  awk -F'\t' '
    /^#/ { next }
    {
      secs = ($2 - $1) / 1000.0; out = $4
      if (out ~ /\.o$/) {
        n = split(out, parts, "/"); target = "?"
        for (i = 1; i <= n; i++) if (parts[i] ~ /\.dir$/) { target = parts[i]; sub(/\.dir$/, "", target) }
        compile[target] += secs; total_compile += secs
      } else if (out ~ /\.gch$|\.pch$/) {
        pch += secs
      } else if (out ~ /\.(a|so)$/ || out !~ /\.[a-z]+$/) {
        n = split(out, parts, "/"); link[parts[n]] += secs; total_link += secs
      }
    }
    END {
      printf "  %-34s %8.1f s\n", "precompiled headers", pch
      for (t in compile) printf "  compile %-26s %8.1f s\n", t, compile[t] | "sort -k3 -rn"
      close("sort -k3 -rn")
      for (t in link) printf "  link    %-26s %8.1f s\n", t, link[t] | "sort -k3 -rn"
      close("sort -k3 -rn")
      printf "  %-34s %8.1f s\n", "all compile jobs", total_compile
      printf "  %-34s %8.1f s\n", "all link jobs", total_link
    }' "$1/.ninja_log"
}

echo "Timing a clean ./test.sh on $cores cores (processors $cpus)"
start=$SECONDS
PADDLESTONE_BUILD_DIR="$test_dir" taskset -c "$cpus" ./test.sh > "$test_dir.log" 2>&1 || {
  echo "./test.sh failed; its output is in $test_dir.log" >&2
}
echo
echo "./test.sh (clean): $((SECONDS - start)) s wall"
grep -E '^(configure|build|tests|gl tests) took' "$test_dir.log" | sed 's/^/  /'
echo "Job times of the test build (summed over parallel jobs):"
ninja_split "$test_dir"
grep -E '^[0-9]+ passed, [0-9]+ failed' "$test_dir.log" | sed 's/^/  /'

if [ "$release" -eq 1 ]; then
  echo
  start=$SECONDS
  PADDLESTONE_BUILD_DIR="$release_dir" taskset -c "$cpus" ./play.sh --build-only > "$release_dir.log" 2>&1
    echo "./play.sh build (clean release): $((SECONDS - start)) s wall"
  ninja_split "$release_dir"
fi

if [ "$keep" -eq 0 ]; then
  rm -rf "$test_dir" "$release_dir"
fi
