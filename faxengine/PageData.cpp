// Byte-level helpers of page data: DLE doubling and decoding, row filling,
// bit reversal and the minimum bytes per scan line.

#include "faxengine/FaxPageSender.h"

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

} // namespace faxengine
