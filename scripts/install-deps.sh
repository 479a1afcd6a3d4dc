#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need. Safe to run again:
# it does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libpng-dev libopenexr-dev openexr
  libgl-dev libglu1-mesa-dev libegl-dev libegl1-mesa-dev libosmesa6-dev libgl1-mesa-dri
  freeglut3-dev libx11-dev libxtst-dev
  xvfb xauth x11-utils xdotool
  clang libclang-rt-14-dev
  gcovr python3
  slurmctld slurmd slurm-client munge
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
