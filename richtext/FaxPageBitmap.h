#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace richtext {

// A 1-bit fax page: rows of packed pixels, leftmost pixel in the most
// significant bit, 1 = black. The size is that of a fine-resolution fax page.
struct TFaxPageBitmap {
  static constexpr int kWidth = 1664;
  static constexpr int kHeight = 2156;

  int width = kWidth;
  int height = kHeight;
  std::vector<std::uint8_t> bits = std::vector<std::uint8_t>(std::size_t(kWidth / 8) * kHeight);

  int bytesPerRow() const { return (width + 7) / 8; }
  void clear() { std::fill(bits.begin(), bits.end(), 0); }
  bool pixel(int x, int y) const {
    return bits[std::size_t(y) * bytesPerRow() + x / 8] & (0x80 >> (x % 8));
  }
  void setPixel(int x, int y, bool black) {
    std::uint8_t& b = bits[std::size_t(y) * bytesPerRow() + x / 8];
    b = black ? (b | (0x80 >> (x % 8))) : (b & ~(0x80 >> (x % 8)));
  }
};

} // namespace richtext
