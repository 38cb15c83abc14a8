// The built-in fax font: resource shape and drawing of text rows.
#include "faximage/FaxFont.h"

#include <gtest/gtest.h>

#include <cstring>

#include <fstream>
#include <iterator>

using namespace faximage;

namespace {

int inkOf(const FaxFontFace& f, uint8_t code) {
  int ink = 0;
  for (int y = 0; y < f.cellHeight(); ++y)
    for (int b = 0; b < f.rowBytes(); ++b)
      ink += __builtin_popcount(f.glyphRow(code, y)[b]);
  return ink;
}

TEST(FaxFont, CompiledResourceMatchesTheCommittedFile) {
  std::ifstream in(std::string(TOLVANE_SOURCE_DIR) + "/resources/faxfont.bin", std::ios::binary);
  const std::vector<char> file{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(file.size(), kFaxFontSize);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), reinterpret_cast<const char*>(kFaxFontData)));
}

TEST(FaxFont, PrintableCharactersHaveInkAndStayInsideTheirCells) {
  for (const FaxFontLayout& layout : {kFaxFontSmall, kFaxFontStandard}) {
    const FaxFontFace face(layout, false);
    for (int c : {int('A'), int('z'), int('0'), int('#'), 0xE9 /* e acute */, 0x80 /* euro */})
      EXPECT_GT(inkOf(face, uint8_t(c)), 4) << c;
    EXPECT_EQ(inkOf(face, ' '), 0);
    EXPECT_EQ(inkOf(face, 0), 0);
    // Bits right of the cell width must be clear, or text would smear into the next cell.
    const int spare = layout.rowBytes * 8 - layout.cellWidth;
    for (int c = 0; c < 256; ++c)
      for (int y = 0; y < face.cellHeight(); ++y)
        ASSERT_EQ(face.glyphRow(uint8_t(c), y)[layout.rowBytes - 1] & ((1 << spare) - 1), 0);
    EXPECT_NE(inkOf(face, 'O'), inkOf(face, 'I'));
  }
}

TEST(FaxFont, DoubleHeightRepeatsEveryRow) {
  const FaxFontFace single(kFaxFontStandard, false), twice(kFaxFontStandard, true);
  EXPECT_EQ(twice.cellHeight(), 32);
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(std::memcmp(single.glyphRow('W', y), twice.glyphRow('W', 2 * y), 3), 0);
    EXPECT_EQ(std::memcmp(single.glyphRow('W', y), twice.glyphRow('W', 2 * y + 1), 3), 0);
  }
}

TEST(FaxFont, TextRowsPlaceCellsSideBySideAndClipAtTheRowEnd) {
  const FaxFontFace face(kFaxFontSmall, false);
  const uint8_t text[] = {'H', 'H'};
  for (int y = 0; y < face.cellHeight(); ++y) {
    uint8_t row[4] = {0, 0, 0, 0xAA};
    face.drawTextRow(text, 2, y, row, 3, 0); // 24 pixels: exactly two 12-pixel cells
    const uint8_t* g = face.glyphRow('H', y);
    const unsigned glyph = unsigned(g[0]) << 4 | g[1] >> 4; // 12 bits
    const unsigned drawn = unsigned(row[0]) << 16 | unsigned(row[1]) << 8 | row[2];
    EXPECT_EQ(drawn, glyph << 12 | glyph) << y;
    EXPECT_EQ(row[3], 0xAA); // beyond the available bytes: untouched
  }
}

} // namespace
