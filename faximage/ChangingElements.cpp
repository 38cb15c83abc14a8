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

// Collects 64-pixel words of a row and stores them in order, the last one
// cut to the row's bytes.
class WordStore {
public:
  WordStore(uint8_t* row, std::size_t bytes) : m_row(row), m_bytes(bytes) {}
  void put(uint64_t word) {
    if constexpr (std::endian::native == std::endian::little)
      word = __builtin_bswap64(word);
    const std::size_t at = std::size_t(m_index++) * 8;
    if (at + 8 <= m_bytes)
      std::memcpy(m_row + at, &word, 8);
    else if (at < m_bytes)
      std::memcpy(m_row + at, &word, m_bytes - at);
  }
  int index() const { return m_index; }

private:
  uint8_t* m_row;
  std::size_t m_bytes;
  int m_index = 0;
};

} // namespace

void fillRow(const int* changes, int count, int width, uint8_t* row) {
  WordStore out(row, (std::size_t(width) + 7) / 8);
  uint64_t word = 0; // pixels of word out.index(), the first in bit 63
  for (int i = 0; i < count; i += 2) {
    const int from = changes[i];
    const int to = i + 1 < count ? changes[i + 1] : width;
    while (out.index() < from >> 6) {
      out.put(word);
      word = 0;
    }
    const int last = (to - 1) >> 6;
    const uint64_t head = ~uint64_t(0) >> (from & 63);
    if (last == out.index()) {
      word |= head & ~(~uint64_t(0) >> 1 >> ((to - 1) & 63));
      continue;
    }
    out.put(word | head);
    while (out.index() < last)
      out.put(~uint64_t(0));
    word = ~(~uint64_t(0) >> 1 >> ((to - 1) & 63));
  }
  const int words = (width + 63) >> 6;
  while (out.index() < words) {
    out.put(word);
    word = 0;
  }
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
