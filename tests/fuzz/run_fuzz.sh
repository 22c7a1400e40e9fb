#!/bin/sh
# Builds the readers' fuzz target with clang (without Qt) and runs it for a fixed time.
# Usage: tests/fuzz/run_fuzz.sh [seconds]   (default 30; build folder: $FUZZ_BUILD_DIR or build-fuzz)
# Exits non-zero on a crash, a failed check, a sanitizer report or a hang.
set -eu
seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTIDEMARK_WITH_QT=OFF -DTIDEMARK_FUZZ_SECONDS="$seconds" >/dev/null
ninja -C "$build" config_fuzz
ctest --test-dir "$build" -L fuzz --output-on-failure
