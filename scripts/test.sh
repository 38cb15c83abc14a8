#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs all tests:
# installs packages, builds from scratch in build-test/, runs CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

BUILD=${TOLVANE_BUILD_DIR:-build-test}
rm -rf "$BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON
cmake --build "$BUILD" -j"$(nproc)"
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)" --timeout 600 "$@"
