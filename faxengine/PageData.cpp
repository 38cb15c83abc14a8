// Byte-level helpers of page data: DLE doubling and decoding, row filling,
// bit reversal and the minimum bytes per scan line.

#include "faxengine/PageData.h"

namespace faxengine {

namespace {
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;
} // namespace

void AppendDleDoubled(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(data[i]);
    if (data[i] == kDle)
      out.push_back(kDle);
  }
}

void AppendRowFilled(std::vector<uint8_t>& out, const uint8_t* row, std::size_t size,
                     int minBytes) {
  AppendDleDoubled(out, row, size);
  for (int n = static_cast<int>(size); n < minBytes; ++n)
    out.push_back(0);
}

int MinBytesPerLine(int scanTimeCode, bool fine, int bps) {
  static const int kNormal[8] = {0, 5, 10, 10, 20, 20, 40, 40};
  static const int kFine[8] = {0, 5, 5, 10, 10, 20, 20, 40};
  if (scanTimeCode < 0 || scanTimeCode > 7)
    scanTimeCode = 0;
  const int ms = fine ? kFine[scanTimeCode] : kNormal[scanTimeCode];
  return ms * bps / 8000;
}

uint8_t ReverseBits(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

std::size_t DleDecoder::Decode(const uint8_t* in, std::size_t size, std::vector<uint8_t>& out,
                               bool& ended) {
  ended = false;
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t b = in[i];
    if (!m_dle) {
      if (b == kDle)
        m_dle = true;
      else
        out.push_back(b);
      continue;
    }
    m_dle = false;
    if (b == kEtx) {
      ended = true;
      return i + 1;
    }
    out.push_back(b); // DLE DLE and DLE with any other byte: that byte
  }
  return size;
}

int RtcScanner::Feed(uint8_t b) {
  for (int bit = 0; bit < 8 && !m_done; ++bit) {
    const bool one = b & (1u << bit);
    if (m_waitTag) { // the last EOL's tag bit, in two-dimensional coding
      m_done = true;
      return bit;
    }
    if (!one) {
      ++m_zeros;
      continue;
    }
    if (m_zeros >= 11) {
      m_afterEol = true;
      if (++m_eols == kRtcEols) {
        m_waitTag = m_tagged;
        m_done = !m_waitTag;
        if (m_done)
          return bit;
      }
    } else if (m_afterEol && m_zeros == 0) {
      // A tag bit (two-dimensional coding), or the first bit of a row's code.
      m_afterEol = false;
      m_tagged = true;
    } else {
      m_eols = 0; // coded data: the EOLs so far were row ends
      m_afterEol = m_tagged = false;
    }
    m_zeros = 0;
  }
  return -1;
}

} // namespace faxengine
