#pragma once
// One-dimensional Modified Huffman coding of fax rows (ITU-T T.4 clause 4.1)
// for the test DTE's page data. Rows are packed one bit per pixel, leftmost
// pixel in the most significant bit, 1 = black.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvane::sim::mh {

using Row = std::vector<uint8_t>;

// Appends bits to a byte string; the first bit of the code goes to the least
// significant bit of a byte (the order bits travel on the line) unless
// msbFirst is set.
class BitWriter {
public:
  explicit BitWriter(bool msbFirst) : m_msbFirst(msbFirst) {}
  void put(uint32_t code, int length); // code's leftmost bit first
  void padToByte();
  size_t bitCount() const { return m_bits; }
  std::vector<uint8_t> take();

private:
  std::vector<uint8_t> m_bytes;
  size_t m_bits = 0;
  bool m_msbFirst;
};

// Codes one row: EOL, then the alternating white and black runs, then fill
// zero bits up to minBits bits for the row (EOL included).
void encodeRow(BitWriter& out, const Row& row, int width, int minBits = 0);
// The end of a page: six EOLs (RTC).
void encodeRtc(BitWriter& out);

} // namespace tolvane::sim::mh
