#include "faximage/ChangingElements.h"

#include "faximage/WordLoad.h"

#include <bit>

namespace faximage {

namespace {

// Appends the positions of the set bits of `diff` (top bit = pixel `base`).
int emit(uint64_t diff, int base, int* out, int n) {
  while (diff) {
    const int k = std::countl_zero(diff);
    out[n++] = base + k;
    diff ^= (uint64_t(1) << 63) >> k;
  }
  return n;
}

// Pixel colours from a row holding only its changing elements: each pixel is
// the parity of the marks at and before it, a prefix XOR, here over the 64
// pixels of a word (the first in bit 63); `carry` is the colour left of it.
uint64_t prefixParity(uint64_t marks, uint64_t carry) {
  marks ^= marks >> 1;
  marks ^= marks >> 2;
  marks ^= marks >> 4;
  marks ^= marks >> 8;
  marks ^= marks >> 16;
  marks ^= marks >> 32;
  return marks ^ carry;
}

void storeBigEndian64(uint8_t* p, uint64_t word) {
  if constexpr (std::endian::native == std::endian::little)
    word = __builtin_bswap64(word);
  std::memcpy(p, &word, 8);
}

} // namespace

// The changes are marked as single pixels, one store each and no branch on
// the runs' lengths, and the colours are then filled in 64 pixels at a time.
void fillRow(const int* changes, int count, int width, uint8_t* row) {
  const std::size_t bytes = (std::size_t(width) + 7) / 8;
  std::memset(row, 0, bytes);
  for (int i = 0; i < count; ++i)
    row[changes[i] >> 3] ^= uint8_t(0x80 >> (changes[i] & 7));
  uint64_t carry = 0; // all ones after an odd number of changes
  std::size_t at = 0;
  for (; at + 8 <= bytes; at += 8) {
    const uint64_t marks = loadBigEndian64(row + at);
    if (marks == 0) { // inside a run: all white (as it is) or all black
      if (carry != 0)
        storeBigEndian64(row + at, carry);
      continue;
    }
    const uint64_t word = prefixParity(marks, carry);
    storeBigEndian64(row + at, word);
    carry = uint64_t(0) - (word & 1);
  }
  if (at < bytes) {
    uint8_t tail[8] = {};
    std::memcpy(tail, row + at, bytes - at);
    storeBigEndian64(tail, prefixParity(loadBigEndian64(tail), carry));
    std::memcpy(row + at, tail, bytes - at);
  }
  // A black run to the end of the row leaves the bits after it black too.
  if (width % 8 != 0)
    row[bytes - 1] &= uint8_t(0xFF << (8 - width % 8));
}

int findChanges(const uint8_t* row, int width, int* out) {
  int n = 0;
  uint64_t before = 0; // the pixel left of the current word, in bit 63
  int x = 0;
  // A pixel is a changing element where it differs from its left neighbour:
  // the word XOR itself shifted one pixel right, with the neighbour shifted in.
  for (; x + 64 <= width; x += 64) {
    const uint64_t word = loadBigEndian64(row + x / 8);
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
