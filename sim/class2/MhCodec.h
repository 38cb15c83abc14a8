#pragma once
// One-dimensional Modified Huffman coding of fax rows (ITU-T T.4 clause 4.1),
// the page data a Class 2 modem exchanges with the DTE. Rows are packed one
// bit per pixel, leftmost pixel in the most significant bit, 1 = black.
// The simulator keeps its own coder so that it stays an independent peer of
// the fax program it talks to.

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
  // Removes and returns the bytes already complete; a partial last byte stays.
  std::vector<uint8_t> takeCompleteBytes();

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

// Decodes a stream of coded rows. Rows that break off or overrun are kept as
// far as they decoded (the rest white) and decoding resumes at the next EOL,
// as a fax machine does with line errors.
struct DecodeResult {
  std::vector<Row> rows;
  int badRows = 0;
};
DecodeResult decodePage(const uint8_t* data, size_t len, int width, bool msbFirst);

} // namespace tolvane::sim::mh
