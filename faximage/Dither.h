#pragma once
// Reduction of colour bitmaps to black and white with an ordered 16 x 16
// dither matrix.

#include "faximage/PageBitmap.h"

#include <cstdint>

namespace faximage {

// Thresholds 0..124 in steps of 4, indexed [row][column].
struct TDitherMatrix {
  uint8_t value[16][16];
  static const TDitherMatrix& instance();
};

// A pixel of intensity (red + green + blue) div 3 at (x, y) is white when the
// intensity exceeds the threshold at (y mod 16, x mod 16), else black.
inline bool ditherIsBlack(int intensity, int x, int y) {
  return intensity <= TDitherMatrix::instance().value[y & 15][x & 15];
}

} // namespace faximage
