#!/usr/bin/env bash
# Prints how many build and test jobs ./run.sh and ./test.sh run at a time:
# CMAKE_BUILD_PARALLEL_LEVEL when set (as CMake itself reads it), else every
# core. Anything but a whole number above 0 is refused (status 2).
set -euo pipefail
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
case $jobs in
  *[!0-9]* | 0)
    echo "CMAKE_BUILD_PARALLEL_LEVEL must be a whole number of jobs above 0," \
      "not \"$jobs\"." >&2
    exit 2 ;;
esac
echo "$jobs"
