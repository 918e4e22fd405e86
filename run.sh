#!/usr/bin/env bash
# Installs what is needed, builds the engine in Release and runs it on the
# bundled example.
set -euo pipefail
cd "$(dirname "$0")"
# Build and test jobs at a time: CMAKE_BUILD_PARALLEL_LEVEL when set (as
# CMake reads it), else every core.
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
case $jobs in
  '' | *[!0-9]* | 0)
    echo "CMAKE_BUILD_PARALLEL_LEVEL must be a whole number of jobs above 0," \
      "not \"$jobs\"." >&2
    exit 2 ;;
esac
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKM_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$jobs"
example=examples/basic/run.ini
if [ -f "$example" ]; then
  ./build/kinkmark "$example"
else
  echo "Built ./build/kinkmark"
fi
