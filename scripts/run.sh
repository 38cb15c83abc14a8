#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs Tolvane's main job.
# Installs packages and builds in build-run/. With a display it starts the
# desktop program as `tolvane --demo`: its own data folder and a simulated fax
# modem whose line ends in simulated fax machines (no hardware needed).
# Without a display it converts the sample letter into a fax file, sends it
# through a simulated fax modem to a simulated remote fax machine, and exports
# the pages the remote received as PNG into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

BUILD=${TOLVANE_BUILD_DIR:-build-run}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=OFF

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cmake --build "$BUILD" -j"$(nproc)" --target tolvane tolvane-modemsim tolvane_dictionary
  echo "Starting the Tolvane demo (data in ~/.local/share/tolvane-demo/)"
  exec "$BUILD/app/tolvane" --demo
fi
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the desktop program needs one."
echo "Running the headless send-and-export demo instead."
cmake --build "$BUILD" -j"$(nproc)" --target tolvane-fax tolvane-modemsim

rm -rf out
mkdir -p out/remote
OUT="$(pwd)/out"
FAX="$BUILD/tools/tolvane-fax"
"$FAX" convert samples/letter.txt out/letter.apf
"$FAX" info out/letter.apf

# A simulated modem on a pseudo-terminal (out/modem) whose line reaches a
# remote fax machine at 5551234 that keeps what it receives in out/remote/.
"$BUILD/sim/tolvane-modemsim" --modem "com1 model=class120 link=$OUT/modem" \
  --number "5551234 fax ident=REMOTE-FAX dir=$OUT/remote" --speed 4 >out/modemsim.log 2>&1 &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; wait $SIM 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e out/modem ] && break; sleep 0.1; done

"$FAX" send out/modem 5551234 out/letter.apf --station "TOLVANE DEMO" \
  --header 'Tolvane demo  Page $P of $N' --history out/FXFAX.HIS

# The remote fax machine stored a G3 TIFF file: our converter reads it as it
# is, every page, and the exporter brings its pages back as PNG.
RECEIVED=$(ls out/remote/*.tif | head -n 1)
"$FAX" convert "$RECEIVED" out/received.apf
"$FAX" export out/received.apf out/received-page%d.png
echo "Pages received by the remote fax machine: $(pwd)/out/received-page*.png"
ls -l out/
