#!/usr/bin/env bash
# Builds the Debian package tidemark_<version>_amd64.deb in build/release: a release build
# installed under /usr, with its dependencies found by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDEMARK_BUILD_TESTS=OFF
cmake --build build/release
(cd build/release && cpack)
ls build/release/tidemark_*_amd64.deb
