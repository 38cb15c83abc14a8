#include "faximage/ChangingElements.h"

#include <bit>

namespace faximage {

namespace {

// 64 pixels, the first in the top bit.
uint64_t loadBigEndian(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::little)
    word = __builtin_bswap64(word);
  return word;
}

// Appends the positions of the set bits of `diff` (top bit = pixel `base`).
int emit(uint64_t diff, int base, int* out, int n) {
  while (diff) {
    const int k = std::countl_zero(diff);
    out[n++] = base + k;
    diff ^= (uint64_t(1) << 63) >> k;
  }
  return n;
}

} // namespace

int findChanges(const uint8_t* row, int width, int* out) {
  int n = 0;
  uint64_t before = 0; // the pixel left of the current word, in bit 63
  int x = 0;
  // A pixel is a changing element where it differs from its left neighbour:
  // the word XOR itself shifted one pixel right, with the neighbour shifted in.
  for (; x + 64 <= width; x += 64) {
    const uint64_t word = loadBigEndian(row + x / 8);
    const uint64_t diff = word ^ ((word >> 1) | before);
    before = word << 63;
    if (diff)
      n = emit(diff, x, out, n);
  }
  if (x < width) {
    const int left = width - x;
    uint64_t word = 0;
    for (int i = 0; i < (left + 7) / 8; ++i)
      word |= uint64_t(row[x / 8 + i]) << (56 - 8 * i);
    const uint64_t valid = ~uint64_t(0) << (64 - left);
    word &= valid;
    n = emit((word ^ ((word >> 1) | before)) & valid, x, out, n);
  }
  return n;
}

} // namespace faximage
