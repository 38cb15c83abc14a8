#pragma once
// Modified Huffman (T.4 one-dimensional) coding of raster rows into the APF
// bit order: codes are placed least significant bit first.

#include <cstddef>
#include <cstdint>

namespace faximage {

// Appends codes least significant bit first to a caller's byte buffer.
// Pending bits are kept in a register and stored whole bytes at a time.
class MhBitWriter {
public:
  explicit MhBitWriter(uint8_t* out) : m_out(out), m_start(out) {}

  // Places `length` (at most 25) bits, lowest first. Completed bits go out
  // four bytes at a time, so the buffer needs three bytes of slack.
  void put(uint32_t lsbBits, unsigned length) {
    m_acc |= uint64_t(lsbBits) << m_pending;
    m_pending += length;
    if (m_pending >= 32) {
      store32(uint32_t(m_acc));
      m_acc >>= 32;
      m_pending -= 32;
    }
  }
  // Carries on in a new buffer that starts with a copy of everything placed
  // so far (the caller grew the old one).
  void rebase(uint8_t* base) {
    m_out = base + (m_out - m_start);
    m_start = base;
  }
  // Bits placed since construction.
  std::size_t bitCount() const { return std::size_t(m_out - m_start) * 8 + m_pending; }
  // Writes the pending bits, the unused high bits of the last byte 0.
  void flush() {
    while (m_pending > 0) {
      *m_out++ = uint8_t(m_acc);
      m_acc >>= 8;
      m_pending = m_pending > 8 ? m_pending - 8 : 0;
    }
  }

  void putRun(int colour, int run);
  void putEol() { put(0x800, 12); }

private:
  void store32(uint32_t v) {
    m_out[0] = uint8_t(v);
    m_out[1] = uint8_t(v >> 8);
    m_out[2] = uint8_t(v >> 16);
    m_out[3] = uint8_t(v >> 24);
    m_out += 4;
  }

  uint8_t* m_out;
  uint8_t* m_start;
  uint64_t m_acc = 0;
  unsigned m_pending = 0;
};

// How a raw row is laid onto a fax row of `width` pixels: `leftMargin` white
// pixels first, then the raw pixels (each twice with doubleWidth), white to
// the end; raw pixels that do not fit are not coded.
struct RowLayout {
  int width = 1728;
  int leftMargin = 0;
  bool doubleWidth = false;
};

// Largest record encodeRowRecord can produce (alternating single pixels at
// 2560 pixels, plus EOL and padding), so callers can size fixed buffers.
inline constexpr std::size_t kMaxRowRecord = 2048;

// Codes a row given as its changing elements (see ChangingElements.h) as
// the runs between them, no EOL.
void encodeChangesAsRuns(const int* changes, int count, int width, MhBitWriter& w);

// Codes the run codes of one row (no EOL) into w. `raw` holds MSB-first
// pixels, 1 = black, at least ceil(rawPixels(layout) / 8) bytes.
void encodeRowRuns(const uint8_t* raw, const RowLayout& layout, MhBitWriter& w);

// One row record as APF files store it: EOL with four fill bits (00 80), the
// run codes, zero bits to the byte boundary and one more zero byte. `out`
// needs kMaxRowRecord bytes; it is fully written up to the returned length.
std::size_t encodeRowRecord(const uint8_t* raw, const RowLayout& layout, uint8_t* out);

// The blank row record used for top margins: EOL without fill, one white run
// of `width`, zero bits to a whole byte count (4 bytes at 1728, 5 at 2048).
std::size_t encodeBlankRowRecord(int width, uint8_t* out);

// How many raw pixels a layout takes from the raw row.
int rawPixels(const RowLayout& layout);

} // namespace faximage
