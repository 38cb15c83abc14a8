#include "faximage/Dither.h"

namespace faximage {

namespace {

TDitherMatrix build() {
  TDitherMatrix m{};
  for (int row = 0; row < 16; ++row)
    for (int col = 0; col < 16; ++col) {
      // Interleaves the bits of row xor column and of column, lowest first,
      // into a recursive (Bayer-like) ordering of the 256 cells.
      int a = row, b = col, f = 0;
      for (int i = 0; i < 4; ++i) {
        f = (2 * ((a ^ b) & 1)) | (2 * f) | (b & 1);
        a /= 2;
        b /= 2;
      }
      m.value[row][col] = uint8_t(4 * f);
    }
  return m;
}

} // namespace

const TDitherMatrix& TDitherMatrix::instance() {
  static const TDitherMatrix matrix = build();
  return matrix;
}

} // namespace faximage
