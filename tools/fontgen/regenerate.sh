#!/usr/bin/env bash
# Rebuilds the fax font from free Debian fonts (fonts-dejavu-core, xfonts-base,
# libfreetype-dev). The generated files are committed, so normal builds do not
# need any of these packages.
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
g++ -O1 -std=c++20 $(pkg-config --cflags freetype2) tools/fontgen/FontGen.cpp \
  -o "$OUT/fontgen" $(pkg-config --libs freetype2)
"$OUT/fontgen" /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf \
  /usr/share/fonts/X11/misc/5x8.pcf.gz resources/faxfont.bin faximage/FaxFontData.cpp
