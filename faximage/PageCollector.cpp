#include "faximage/PageCollector.h"

#include <algorithm>
#include <cstring>

namespace faximage {

void PageCollector::start(std::size_t slotBytes, bool inverted) {
  m_slotBytes = slotBytes;
  m_inverted = inverted;
  m_rows = 0;
  m_usedBytes = 1;
  m_block.assign(kGrowRows * slotBytes, 0);
}

void PageCollector::addRow(const uint8_t* data, std::size_t length) {
  if (m_rows > 0 && m_rows % kGrowRows == 0)
    m_block.resize(m_block.size() + kGrowRows * m_slotBytes);
  uint8_t* slot = m_block.data() + m_rows * m_slotBytes;
  const uint8_t white = m_inverted ? 0xFF : 0x00;
  const std::size_t copied = std::min(length, m_slotBytes);
  std::memcpy(slot, data, copied);
  // Whatever the row does not cover is white (a blank row covers nothing).
  std::memset(slot + copied, white, m_slotBytes - copied);
  for (std::size_t i = copied; i > 0; --i)
    if (slot[i - 1] != white) {
      m_usedBytes = std::max(m_usedBytes, i);
      break;
    }
  ++m_rows;
}

void PageCollector::finish(PageBitmap& out) {
  if (m_rows == 0) {
    out = PageBitmap();
    m_block.clear();
    return;
  }
  const std::size_t stride = std::min(m_usedBytes + (m_usedBytes & 1), m_slotBytes);
  PageBitmap page(int(stride * 8), int(m_rows));
  for (std::size_t y = 0; y < m_rows; ++y)
    std::memcpy(page.row(int(y)), m_block.data() + y * m_slotBytes, stride);
  m_block = std::vector<uint8_t>();
  out = std::move(page);
}

namespace {

// Source range [first, last) of output pixel i when n source pixels become m.
inline void span(int i, int n, int m, int& first, int& last) {
  first = int(int64_t(i) * n / m);
  last = std::max(first + 1, int(int64_t(i + 1) * n / m));
}

} // namespace

void stretchPage(const PageBitmap& src, int width, int height, bool whiteBit, PageBitmap& out) {
  PageBitmap dst(width, height);
  if (dst.empty() || src.empty()) {
    out = std::move(dst);
    return;
  }
  const int sw = src.width(), sh = src.height();
  std::vector<int> x0(static_cast<std::size_t>(width)), x1(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    span(x, sw, width, x0[std::size_t(x)], x1[std::size_t(x)]);
  if (whiteBit) // an all-white start, then only black pixels are written
    std::fill(dst.bits().begin(), dst.bits().end(), uint8_t(0xFF));
  for (int y = 0; y < height; ++y) {
    int y0, y1;
    span(y, sh, height, y0, y1);
    for (int x = 0; x < width; ++x) {
      bool black = false;
      for (int sy = y0; sy < y1 && !black; ++sy)
        for (int sx = x0[std::size_t(x)]; sx < x1[std::size_t(x)] && !black; ++sx)
          black = src.pixel(sx, sy) != whiteBit;
      if (black)
        dst.setPixel(x, y, !whiteBit);
    }
  }
  out = std::move(dst);
}

} // namespace faximage
