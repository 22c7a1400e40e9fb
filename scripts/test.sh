#!/usr/bin/env bash
# Installs what is missing, builds Tidemark and runs every test: a warnings-as-errors build, a
# Clang build of the core without Qt under ThreadSanitizer (so a stray Qt include breaks it,
# the compiler checks every lock with -Wthread-safety and the worker threads are checked while
# they run), and a Clang build with Qt under AddressSanitizer and UndefinedBehaviorSanitizer
# (so both compilers build the windows with warnings as errors).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
  local name=$1
  shift
  echo "=== ${name}"
  cmake -S . -B "build/${name}" -G Ninja -DTIDEMARK_WERROR=ON "$@" > /dev/null
  cmake --build "build/${name}" -j "${jobs}"
  rm -f "build/${name}/nothing-lost.txt"
  ctest --test-dir "build/${name}" --output-on-failure -j "${jobs}"
  # One row per nothing-lost check (hostile trees, fault injection, crash campaign).
  printf '%-34s %11s %14s %10s %6s %8s\n' suite "cases tried" "files compared" "bytes lost" hangs crashes
  cat "build/${name}/nothing-lost.txt"
}

run_suite checked -DCMAKE_BUILD_TYPE=RelWithDebInfo
# scripts/run.sh starts the program where a build puts it: a move of the program breaks it.
program=$(sed -n 's/^program=\([^ ]*\).*/\1/p' scripts/run.sh)
if [[ -z ${program} || ! -x build/checked/${program} ]]; then
  echo "scripts/run.sh would start build/release/${program}, which no build makes" >&2
  exit 1
fi
TSAN_OPTIONS=halt_on_error=1 \
  run_suite core-without-qt -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_WITH_QT=OFF -DTIDEMARK_SANITIZE_THREADS=ON \
  -DCMAKE_CXX_COMPILER=clang++
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/sanitizers/lsan.supp" \
  run_suite sanitized -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++

echo "=== fuzzing the configuration, index and exclude-list readers"
FUZZ_BUILD_DIR=build/fuzz tests/fuzz/run_fuzz.sh 30
