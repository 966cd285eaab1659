#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
set -euo pipefail
packages=(
  cmake g++ make libgtest-dev libgmock-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
  libocct-data-exchange-dev libocct-ocaf-dev libocct-visualization-dev libocct-draw-dev
  libvtk9-dev nlohmann-json3-dev libeasyloggingpp-dev libyaml-cpp-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Missing packages (${missing[*]}): run this script as root or install sudo." >&2
      exit 1
    fi
    sudo_cmd=(sudo)
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
