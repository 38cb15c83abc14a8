#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs Tolvane's main job.
# Installs packages, builds in build-run/, converts the sample letter into a
# fax file and exports its pages as PNG into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

BUILD=${TOLVANE_BUILD_DIR:-build-run}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)" --target tolvane-fax

mkdir -p out
FAX="$BUILD/tools/tolvane-fax"
"$FAX" convert samples/letter.txt out/letter.apf
"$FAX" info out/letter.apf
"$FAX" export out/letter.apf out/letter-page%d.png
echo "Fax pages written to $(pwd)/out/"
ls -l out/
