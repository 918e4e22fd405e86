#!/usr/bin/env bash
# Installs what is needed, checks the format, builds with tests and runs them:
# first every suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# in the build that also holds the fuzz targets of the file readers (with
# clang), then those fuzz targets on their seed corpus, then the
# thread-safety suites under ThreadSanitizer, then the Release build of the
# program and of the whole-run suites whose numbers depend on optimisation,
# whose ctest summary ends the output. Every C++ file is compiled at least
# once from its own includes alone: the Release build precompiles no header
# and also compiles on its own each header that its own file does not
# include first, and the test files of the sanitizer build that do not
# include GoogleTest's header first are compiled without it precompiled.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(tools/build-jobs.sh)  # CMAKE_BUILD_PARALLEL_LEVEL, or every core
tools/install-deps.sh

echo "== Formatting =="
# Every C++ file must match the repository's .clang-format; the files are
# checked in batches, as many at a time as there are jobs.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files '*.cpp' '*.h'
else
  find foundation stats session models results data engine reports driver \
    tests bench main.cpp -name '*.cpp' -o -name '*.h' 2>/dev/null
fi | xargs -P "$jobs" -n 40 clang-format --dry-run -Werror
echo "all files formatted"

# The targets a configured build directory defines, one a line.
known_targets() {
  if [ -f "$1/build.ninja" ]; then
    ninja -C "$1" -t targets all | sed 's/: .*//'
  else
    cmake --build "$1" --target help | sed -n 's/^\.\.\. //p'
  fi
}

# A new build directory is generated for Ninja: it starts each compile as
# soon as that file's inputs are there, not once every library it links is
# built, and adds less work of its own than make.
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

# The suites and the fuzz targets make and remove tens of thousands of files
# in their scratch folders (under TMPDIR). On an ext4 file system without a
# journal, as a virtual machine's disk often is, each new file then costs a
# scan of the inodes freed in the last seconds: a seventh of a whole-run
# test's time. Where /dev/shm is a memory file system with room, the
# scratch folders go in a folder of its own there, sticky and open to every
# account as /tmp is, and removed when this script ends.
use_memory_scratch() {
  local free_kib
  [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] || return 0
  free_kib=$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')
  [ "${free_kib:-0}" -ge $((4 * 1024 * 1024)) ] || return 0
  scratch=$(mktemp -d /dev/shm/kinkmark-tests.XXXXXX) || return 0
  chmod 1777 "$scratch"
  trap 'rm -rf "$scratch"' EXIT
  export TMPDIR=$scratch
  echo "scratch folders in $scratch"
}
use_memory_scratch

# build_and_test <dir> <ctest filter> <targets or "all"> <cmake args...>
build_and_test() {
  local dir=$1 filter=$2 targets=$3; shift 3
  local new=()
  [ -f "$dir/CMakeCache.txt" ] || new=("${generator[@]}")
  cmake "${new[@]}" -S . -B "$dir" -DKM_BUILD_TESTS=ON "$@" >/dev/null
  if [ "$targets" = all ]; then
    cmake --build "$dir" -j"$jobs"
  else
    # Build only the named targets that this tree defines.
    local present=() t known
    known=$(known_targets "$dir")
    for t in $targets; do
      grep -qx "$t" <<<"$known" && present+=("$t")
    done
    [ ${#present[@]} -gt 0 ] || { echo "(no such test binaries yet)"; return 0; }
    cmake --build "$dir" -j"$jobs" --target "${present[@]}"
  fi
  # Four times as many suites as jobs: most whole-run suites wait on the
  # runs they start, on their start-up and on the disk's syncs (at twice as
  # many, two cores stood idle a third of the time).
  (cd "$dir" && ctest -j"$((4 * jobs))" --output-on-failure --timeout 600 $filter)
}

# The sanitizer builds use clang when it is there: it compiles them faster
# than g++, and its libFuzzer lets one build serve the suites and the fuzz
# targets.
sanitizer_compiler=()
if command -v clang++ >/dev/null; then
  sanitizer_compiler=(-DCMAKE_CXX_COMPILER=clang++ -DKM_BUILD_FUZZERS=ON)
fi
# They link with lld when it is there: its links of the sanitized test
# binaries take a third of the time of the default linker's.
sanitizer_linker=()
if command -v clang++ >/dev/null && command -v ld.lld >/dev/null; then
  sanitizer_linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
build_and_test build-asan "" all "${sanitizer_compiler[@]}" \
  "${sanitizer_linker[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 \
  -DKM_SANITIZE=address,undefined

echo "== Fuzz targets (libFuzzer, 10 s each) =="
# Every reader of user files runs on its seed corpus under AddressSanitizer
# and UndefinedBehaviorSanitizer; any finding fails the run.
if grep -qx km_fuzzers <<<"$(known_targets build-asan)"; then
  tests/fuzz/run_fuzzers.sh build-asan 10 "$jobs"
else
  echo "(no clang with libFuzzer: fuzz targets skipped)"
fi

# Test binaries whose suites exercise the locks shared by worker threads.
tsan_targets="foundation_progress_tests stats_concurrency_tests models_apc_tests
  engine_pool_tests engine_run_tests engine_early_stopping_thread_tests
  engine_comparison_tests engine_clustering_tests"

echo "== ThreadSanitizer (concurrency suites) =="
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build_and_test build-tsan "-L concurrency" "$tsan_targets" \
  "${sanitizer_compiler[@]:0:1}" "${sanitizer_linker[@]}" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 -DKM_SANITIZE=thread

# The program, the benchmarks and the whole-run suites whose numbers depend
# on optimisation: the acceptance table and the run of more cohorts than 16
# bits count, which only a Release build runs. Every other suite ran above.
# The build precompiles no header, so each library file compiles from its
# own includes, and km_header_check compiles on its own each header that its
# own file does not include first: a file that uses a header it does not
# include fails here.
release_targets="kinkmark e2e_acceptance_tests stats_benchmark
  engine_run_benchmark engine_permutation_benchmark km_header_check"
release_tests='^Acceptance\.'

echo "== Release =="
build_and_test build "-R $release_tests" "$release_targets" \
  -DCMAKE_BUILD_TYPE=Release -DKM_BUILD_BENCHMARKS=ON -DKM_PRECOMPILE_HEADERS=OFF
