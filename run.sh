#!/usr/bin/env bash
# Installs what is needed, builds the engine in Release and runs it on the
# bundled example.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(tools/build-jobs.sh)  # CMAKE_BUILD_PARALLEL_LEVEL, or every core
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKM_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$jobs"
example=examples/basic/run.ini
if [ -f "$example" ]; then
  ./build/kinkmark "$example"
else
  echo "Built ./build/kinkmark"
fi
