#!/usr/bin/env bash
# Installs the build dependencies with apt-get when any is missing, and
# fetches the newmat source package that the build compiles.
set -euo pipefail
packages=(cmake ninja-build g++ make libnewmat10-dev zlib1g-dev libgtest-dev libbenchmark-dev
          clang-format dpkg-dev clang lld)
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

# newmat is built from its Debian source package with per-thread error state
# (cmake/FindNewmat.cmake); fetch it once into the shared source directory.
newmat_src=${KM_NEWMAT_SOURCE_DIR:-/usr/local/src/kinkmark-newmat}
if [ ! -f "$newmat_src/myexcept.cpp" ]; then
  echo "Fetching the newmat source package"
  work=$(mktemp -d)
  chmod 755 "$work"  # apt's download user writes here
  trap 'rm -rf "$work"' EXIT
  # The machine's own package sources, as source entries, used for this
  # download only.
  mkdir -p "$work/parts"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" > "$work/parts/$(basename "$f")"
  done
  : > "$work/src.list"
  [ -f /etc/apt/sources.list ] && sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list > "$work/src.list"
  apt_src=(-o Dir::Etc::SourceList="$work/src.list"
           -o Dir::Etc::SourceParts="$work/parts" -o APT::Get::List-Cleanup=0)
  apt-get update -qq "${apt_src[@]}"
  (cd "$work" && apt-get source -qq "${apt_src[@]}" newmat >/dev/null)
  mkdir -p "$newmat_src"
  cp "$work"/newmat-*/*.cpp "$work"/newmat-*/*.h "$newmat_src"/
fi
