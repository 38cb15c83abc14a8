#pragma once
// A packed one-bit-per-pixel page bitmap: rows top to bottom, the leftmost
// pixel in the most significant bit, 1 = black. This is the raster form every
// fax image part of the program shares (rendered pages, decoded fax pages).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace faximage {

class PageBitmap {
public:
  PageBitmap() = default;
  PageBitmap(int width, int height)
      : m_width(width < 0 ? 0 : width), m_height(height < 0 ? 0 : height),
        m_stride((std::size_t(m_width) + 7) / 8), m_bits(m_stride * std::size_t(m_height), 0) {}
  // Takes rows already packed: `bits` is cut or zero-filled to height rows.
  PageBitmap(int width, int height, std::vector<uint8_t> bits) : PageBitmap(width, 0) {
    m_height = height < 0 ? 0 : height;
    m_bits = std::move(bits);
    m_bits.resize(m_stride * std::size_t(m_height), 0);
  }

  int width() const { return m_width; }
  int height() const { return m_height; }
  // Bytes per row: ceil(width / 8), no padding.
  std::size_t stride() const { return m_stride; }
  bool empty() const { return m_width == 0 || m_height == 0; }

  uint8_t* row(int y) { return m_bits.data() + std::size_t(y) * m_stride; }
  const uint8_t* row(int y) const { return m_bits.data() + std::size_t(y) * m_stride; }
  std::vector<uint8_t>& bits() { return m_bits; }
  const std::vector<uint8_t>& bits() const { return m_bits; }

  bool pixel(int x, int y) const { return row(y)[x >> 3] & (0x80 >> (x & 7)); }
  void setPixel(int x, int y, bool black) {
    uint8_t& b = row(y)[x >> 3];
    const uint8_t mask = uint8_t(0x80 >> (x & 7));
    b = black ? uint8_t(b | mask) : uint8_t(b & ~mask);
  }
  void clear() { std::fill(m_bits.begin(), m_bits.end(), uint8_t(0)); }

  friend bool operator==(const PageBitmap&, const PageBitmap&) = default;

private:
  int m_width = 0;
  int m_height = 0;
  std::size_t m_stride = 0;
  std::vector<uint8_t> m_bits;
};

} // namespace faximage
