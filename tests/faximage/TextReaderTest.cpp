// Text input: pages, form feeds, tabs, line cuts, cell heights, checked by
// decoding the converted pages and comparing them with the font's glyphs.

#include "ImgTestSupport.h"

#include "faximage/FaxConverter.h"
#include "faximage/FaxFont.h"

#include <gtest/gtest.h>

using namespace faximage;
using imgtest::Rows;

namespace {

std::vector<imgtest::DecodedPage> convertText(const std::string& text, TFxFaxConverter& c) {
  const std::string path = imgtest::scratch("text.txt");
  imgtest::writeText(path, text);
  c.setInputDocumentType(idText);
  c.setDocumentFile(path);
  c.ConvertDocument();
  return imgtest::decodeApf(c.OutFileName());
}

// The rows a text line must produce: glyphs side by side after the margin.
Rows expectedLine(const std::string& line, const FaxFontFace& font, int width, int margin) {
  Rows rows;
  for (int y = 0; y < font.cellHeight(); ++y) {
    std::vector<uint8_t> row(std::size_t(width) / 8, 0);
    font.drawTextRow(reinterpret_cast<const uint8_t*>(line.data()), line.size(), y, row.data(),
                     row.size(), margin);
    rows.push_back(row);
  }
  return rows;
}

Rows concat(std::initializer_list<Rows> parts) {
  Rows all;
  for (const Rows& p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

} // namespace

TEST(TextReader, LinesDrawnWithTheFaxFont) {
  TFxFaxConverter c;
  const FaxFontFace standard(kFaxFontStandard, false);
  auto pages = convertText("Hello, fax!\r\nSecond line\r\n", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].complaints, "");
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                    concat({expectedLine("Hello, fax!", standard, 1728, 50),
                                            expectedLine("Second line", standard, 1728, 50)})));

  // Fine resolution doubles every glyph row: 32 rows a line.
  c.setResolution(frHigh);
  pages = convertText("Fine\n", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].header.pageFlags, 5);
  EXPECT_EQ(
      "", imgtest::rowsDiffer(pages[0].rows,
                              expectedLine("Fine", FaxFontFace(kFaxFontStandard, true), 1728, 50)));

  c.setResolution(frNormal);
  c.setFontType(ffSmall);
  c.setWidth(fwWide);
  pages = convertText("small font on a wide row", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                    expectedLine("small font on a wide row",
                                                 FaxFontFace(kFaxFontSmall, false), 2048, 50)));
}

TEST(TextReader, LongLinesAreCutToTheRow) {
  TFxFaxConverter c;
  const std::string longLine(200, 'W');
  auto pages = convertText(longLine + "\n", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                    expectedLine(std::string(84, 'W'),
                                                 FaxFontFace(kFaxFontStandard, false), 1728, 50)));
  c.setFontType(ffSmall);
  pages = convertText(longLine + "\n", c);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                    expectedLine(std::string(140, 'W'),
                                                 FaxFontFace(kFaxFontSmall, false), 1728, 50)));
}

TEST(TextReader, TabsExpandToTheTabStop) {
  TFxFaxConverter c;
  const FaxFontFace font(kFaxFontStandard, false);
  auto pages = convertText("a\tb\n", c);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, expectedLine("a   b", font, 1728, 50)));
  c.setTabStop(0); // behaves as 4
  pages = convertText("\tx\n", c);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, expectedLine("    x", font, 1728, 50)));
  c.setTabStop(8);
  pages = convertText("ab\tc\n", c);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, expectedLine("ab      c", font, 1728, 50)));
}

TEST(TextReader, PagesByLineCountAndFormFeed) {
  TFxFaxConverter c;
  std::string text;
  for (int i = 1; i <= 61; ++i)
    text += "line " + std::to_string(i) + "\r\n";
  auto pages = convertText(text, c);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].rows.size(), 60u * 16);
  EXPECT_EQ("", imgtest::rowsDiffer(
                    pages[1].rows,
                    expectedLine("line 61", FaxFontFace(kFaxFontStandard, false), 1728, 50)));

  c.setLinesPerPage(0); // no limit
  EXPECT_EQ(convertText(text, c).size(), 1u);

  const FaxFontFace font(kFaxFontStandard, false);
  pages = convertText("abc\fdef\r\n", c);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, expectedLine("abc", font, 1728, 50)));
  EXPECT_EQ("", imgtest::rowsDiffer(pages[1].rows, expectedLine("def", font, 1728, 50)));

  // A form feed at the end of a line only ends the page.
  pages = convertText("abc\f\r\n", c);
  ASSERT_EQ(pages.size(), 1u);
  pages = convertText("abc\f\r\nnext\r\n", c);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[1].rows, expectedLine("next", font, 1728, 50)));
}

TEST(TextReader, EmptyInputAndCtrlZ) {
  TFxFaxConverter c;
  auto pages = convertText("", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, Rows(1, std::vector<uint8_t>(216, 0))));
  // Ctrl-Z ends the text; what follows is never drawn.
  pages = convertText("kept\r\n\x1Aignored\r\n", c);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(
      "", imgtest::rowsDiffer(
              pages[0].rows, expectedLine("kept", FaxFontFace(kFaxFontStandard, false), 1728, 50)));
}
