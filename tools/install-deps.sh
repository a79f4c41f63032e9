#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need; does nothing when
# every one is there already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libirrlicht-dev libbullet-dev libfreetype-dev libx11-dev libsdl2-dev
  libopenal-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ninja-build ccache mold
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core
)

# One query for every package: a package dpkg does not know at all is missing too.
declare -A installed=()
while read -r name state; do
  [ "$state" = "installed" ] && installed[${name%%:*}]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
run=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "error: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  run=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -q
"${run[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
