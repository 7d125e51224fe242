#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libopenimageio-dev libjpeg-dev libtinyobjloader-dev libfreetype-dev
  fonts-dejavu-core clang-format libzstd-dev libxxhash-dev zlib1g-dev libpng-dev clang libclang-rt-14-dev
  python3 python3-jsonschema libsdl2-dev libepoxy-dev xvfb xauth libgl1-mesa-dri)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
