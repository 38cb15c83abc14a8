#include "faximage/FaxFont.h"

#include <cstring>

namespace faximage {

FaxFontFace::FaxFontFace(const FaxFontLayout& layout, bool doubleHeight)
    : m_cellWidth(layout.cellWidth), m_cellHeight(layout.cellHeight * (doubleHeight ? 2 : 1)),
      m_rowBytes(layout.rowBytes),
      m_glyphs(std::size_t(256) * std::size_t(m_cellHeight) * std::size_t(m_rowBytes)) {
  const int repeat = doubleHeight ? 2 : 1;
  for (int code = 0; code < 256; ++code) {
    const unsigned char* src =
        kFaxFontData + layout.offset + std::size_t(code) * layout.bytesPerChar();
    for (int y = 0; y < layout.cellHeight; ++y)
      for (int r = 0; r < repeat; ++r)
        std::memcpy(m_glyphs.data() +
                        (std::size_t(code) * m_cellHeight + y * repeat + r) * m_rowBytes,
                    src + y * layout.rowBytes, std::size_t(m_rowBytes));
  }
}

void FaxFontFace::drawTextRow(const uint8_t* text, std::size_t length, int y, uint8_t* row,
                              std::size_t rowBytesAvailable, int x0) const {
  const long limit = long(rowBytesAvailable) * 8;
  for (std::size_t i = 0; i < length; ++i) {
    const uint8_t* glyph = glyphRow(text[i], y);
    const long cellX = x0 + long(i) * m_cellWidth;
    for (int x = 0; x < m_cellWidth; ++x) {
      if (!(glyph[x / 8] & (0x80 >> (x % 8))))
        continue;
      const long px = cellX + x;
      if (px >= 0 && px < limit)
        row[px / 8] |= uint8_t(0x80 >> (px % 8));
    }
  }
}

} // namespace faximage
