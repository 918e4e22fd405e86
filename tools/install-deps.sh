#!/usr/bin/env bash
# Installs the build dependencies with apt-get when any is missing.
set -euo pipefail
packages=(cmake g++ make libnewmat10-dev zlib1g-dev libgtest-dev libbenchmark-dev
          clang-format clang)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
