#pragma once
// Page data as it goes to and comes from the modem: DLE doubling and
// decoding, rows filled to the minimum bytes per scan line, bit order, and
// the end of a received page (RTC: six EOL codes in a row).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxengine {

// Appends `data` to `out` with every DLE (0x10) doubled.
void AppendDleDoubled(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size);
// Appends `size` bytes of row data and zero bytes up to `minBytes`.
void AppendRowFilled(std::vector<uint8_t>& out, const uint8_t* row, std::size_t size, int minBytes);
// The minimum bytes per scan line for a scan-time code, resolution and speed.
int MinBytesPerLine(int scanTimeCode, bool fine, int bps);

// Decoder of DLE-framed page data from the modem: DLE DLE is one 0x10,
// DLE ETX ends the page, DLE with another byte stands for that byte.
class DleDecoder {
public:
  // Decodes `in` into `out`; returns the bytes of `in` used. Sets `ended`
  // when DLE ETX was seen (the bytes after it are not used).
  std::size_t Decode(const uint8_t* in, std::size_t size, std::vector<uint8_t>& out, bool& ended);
  void Reset() { m_dle = false; }

private:
  bool m_dle = false;
};

uint8_t ReverseBits(uint8_t b);

// Finds the end of a page in T.4 data stored least significant bit first:
// the RTC, six EOL codes (eleven or more zero bits and a one) with nothing
// but fill between them. In two-dimensional coding each EOL carries a tag
// bit, which is kept with the RTC. Bytes are fed in order; the scanner says in
// which bit of the last byte the RTC ended.
class RtcScanner {
public:
  // Feeds one byte; returns the bit (0 = least significant) in which the
  // sixth EOL ends, or -1.
  int Feed(uint8_t b);
  bool Found() const { return m_done; }
  void Reset() { *this = RtcScanner(); }

private:
  static constexpr int kRtcEols = 6;
  int m_zeros = 0;
  int m_eols = 0;
  bool m_afterEol = false; // the last one bit ended an EOL
  bool m_tagged = false;   // the EOLs of this run carry tag bits
  bool m_waitTag = false;  // the RTC ends with the next bit, its tag
  bool m_done = false;
};

} // namespace faxengine
