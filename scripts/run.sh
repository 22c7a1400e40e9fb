#!/usr/bin/env bash
# Installs what is missing, builds Tidemark and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
program=src/tidemark # where a build folder holds the program; scripts/test.sh checks it
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDEMARK_BUILD_TESTS=OFF
cmake --build build/release
exec "build/release/${program}" "$@"
