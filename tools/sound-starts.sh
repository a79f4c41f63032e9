#!/usr/bin/env bash
# Starts the release game (bin/paddlestone) several times under Xvfb with OpenAL Soft's
# wave-file writer and checks each start: no "File not found" line in its log, and the menu
# music heard in the recording (not silence). Stops each run with SIGTERM after the given
# seconds. Build first with ./play.sh --build-only.
#   tools/sound-starts.sh [starts (10)] [seconds a start (8)]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
starts=${1:-10}
seconds=${2:-8}
[ -x bin/paddlestone ] || { echo "bin/paddlestone is missing: run ./play.sh --build-only"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for start in $(seq 1 "$starts"); do
  out="$work/$start"
  mkdir -p "$out"
  printf '[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\n[wave]\nfile = %s\n' \
    "$out/sound.wav" > "$out/alsoft.conf"
  # The game writes its log into the working folder; each start gets its own copy of the
  # folder's entries (a link to Content/).
  mkdir -p "$out/run/bin"
  ln -s "$root/Content" "$out/run/Content"
  ALSOFT_CONF="$out/alsoft.conf" XDG_DATA_HOME="$out/data" \
    xvfb-run -a -s '-screen 0 1280x720x24' \
    bash -c "cd '$out/run' && timeout -s TERM $seconds '$root/bin/paddlestone'" > "$out/output.txt" 2>&1
  log="$out/run/PaddlestoneLog.txt"
  missing=$(grep -c "File not found" "$log" 2>/dev/null)
  rms=$(sox "$out/sound.wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  verdict=ok
  if [ ! -s "$log" ] || [ "${missing:-0}" -ne 0 ] || ! awk -v r="${rms:-0}" 'BEGIN { exit !(r > 0.003) }'; then
    verdict=FAILED
    failed=$((failed + 1))
  fi
  echo "start $start: ${missing:-?} missing files, RMS amplitude ${rms:-none}: $verdict"
done
echo "$((starts - failed)) of $starts starts heard the music with every sound file found"
[ "$failed" -eq 0 ]
