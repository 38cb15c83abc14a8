#include "TestDocs.h"
#include "richtext/RichEditor.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace richtext;
using namespace richtext::test;

namespace {

std::string paragraphs(int count, const char* prefix, bool breaks) {
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 DejaVu Sans;}}\\fs24 ";
  for (int i = 1; i <= count; ++i) {
    if (breaks && i > 1)
      rtf += "\\page ";
    rtf += std::string(prefix) + std::to_string(i) + "\\par ";
  }
  return rtf + "}";
}

// Number of separate bands of inked rows: one per text line when lines
// hold no descenders that reach the next one.
int inkBands(const faximage::PageBitmap& page) {
  int bands = 0;
  bool inBand = false;
  for (int y = 0; y < page.height(); ++y) {
    const bool ink = blackPixels(page, y, y + 1) > 0;
    bands += ink && !inBand;
    inBand = ink;
  }
  return bands;
}

std::vector<faximage::PageBitmap> drawAll(TRichEditor& ed, std::vector<int>* starts = nullptr) {
  std::vector<faximage::PageBitmap> pages;
  int pos = 0;
  do {
    if (starts)
      starts->push_back(pos);
    pages.push_back(newFaxPage());
    pos = ed.DrawFaxPage(pos, pages.back());
  } while (pos > 0 && pages.size() < 100);
  return pages;
}

} // namespace

TEST(FaxPage, ExplicitPageBreaksStartNewPages) {
  TRichEditor ed;
  ed.LoadFromRtf(paragraphs(3, "Page ", true));
  std::vector<int> starts;
  const auto pages = drawAll(ed, &starts);
  ASSERT_EQ(pages.size(), 3u);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(inkBands(pages[i]), 1) << "page " << i;
    if (i > 0)
      EXPECT_GT(starts[i], starts[i - 1]);
  }
  // The editor's own page-break command has the same effect.
  ed.moveCursor(QTextCursor::End);
  ed.InsertPageBreak();
  ed.insertPlainText("Fourth");
  EXPECT_EQ(drawAll(ed).size(), 4u);
}

TEST(FaxPage, LongTextFlowsOverPagesWithoutCuttingLines) {
  TRichEditor ed;
  const int lines = 130;
  ed.LoadFromRtf(paragraphs(lines, "Line number ", false));
  const auto pages = drawAll(ed);
  ASSERT_GE(pages.size(), 3u);
  int bands = 0;
  for (const auto& page : pages) {
    const auto [first, last] = inkRows(page);
    ASSERT_GE(first, 49);
    EXPECT_LT(last, 2107);
    bands += inkBands(page);
  }
  // Every line is drawn once and whole: a line cut at a page bottom would
  // show as two bands, a skipped one as none.
  EXPECT_EQ(bands, lines);
  // Full pages are filled down to near the bottom limit.
  EXPECT_GT(inkRows(pages[0]).second, 2107 - 80);
}

TEST(FaxPage, EveryCallProducesAPageAndTheLastReturnsZero) {
  TRichEditor ed;
  auto page = newFaxPage();
  page.setPixel(5, 5, true);
  EXPECT_EQ(ed.DrawFaxPage(0, page), 0);
  EXPECT_EQ(blackPixels(page), 0); // a blank page, cleared
  ed.LoadFromRtf(paragraphs(2, "Short ", false));
  EXPECT_EQ(ed.DrawFaxPage(0, page), 0);
  EXPECT_GT(blackPixels(page), 0);
  EXPECT_EQ(ed.DrawFaxPage(100000, page), 0);
  EXPECT_EQ(blackPixels(page), 0);
}

int firstInkColumn(const faximage::PageBitmap& page) {
  for (int x = 0; x < page.width(); ++x)
    for (int y = 0; y < page.height(); ++y)
      if (page.pixel(x, y))
        return x;
  return -1;
}

// Top rows of the separate bands of ink.
std::vector<int> bandTops(const faximage::PageBitmap& page) {
  std::vector<int> tops;
  bool inBand = false;
  for (int y = 0; y < page.height(); ++y) {
    const bool ink = blackPixels(page, y, y + 1) > 0;
    if (ink && !inBand)
      tops.push_back(y);
    inBand = ink;
  }
  return tops;
}

TEST(FaxPage, IndentsTabsAndSpacingKeepTheirSizeOnTheFax) {
  const std::string head = "{\\rtf1{\\fonttbl{\\f0 DejaVu Sans;}}\\f0 ";
  auto page = newFaxPage();
  // One inch is 200 pixels; the "l" glyph starts 3 pixels into its cell.
  for (const char* body :
       {"\\li1440 l\\par}", "\\li720\\tx1440\\tab l\\par}", "\\li2160\\fi-720 l\\par}"}) {
    TRichEditor ed;
    ed.LoadFromRtf(head + body);
    ed.DrawFaxPage(0, page);
    EXPECT_NEAR(firstInkColumn(page), 49 + 200 + 3, 2) << body;
  }
  TRichEditor ed;
  ed.LoadFromRtf(head + "\\sl-480\\slmult0 HHH\\line HHH\\par\\pard\\sb720 HHH\\par}");
  ed.DrawFaxPage(0, page);
  const std::vector<int> tops = bandTops(page);
  ASSERT_EQ(tops.size(), 3u);
  EXPECT_NEAR(tops[1] - tops[0], 480 * 200 / 1440, 2); // exactly 24 points apart
  EXPECT_GT(tops[2] - tops[1], 100 + 30);              // half an inch before, plus a line
}

TEST(FaxPage, TextIsDrawnAtTwoHundredPixelsPerInch) {
  TRichEditor ed;
  ed.LoadFromRtf("{\\rtf1{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs144 HHHH\\par}");
  auto page = newFaxPage();
  ed.DrawFaxPage(0, page);
  const auto [top, bottom] = inkRows(page);
  // DejaVu Sans capitals are 0.73 em high: 72 pt = 1 inch = 200 pixels.
  EXPECT_NEAR(bottom - top + 1, 0.73 * 200, 8);
  int left = page.width();
  for (int y = top; y <= bottom; ++y)
    for (int x = 0; x < left; ++x)
      if (page.pixel(x, y))
        left = x;
  EXPECT_NEAR(left, 49, 20);
}

TEST(FaxPage, FilledMergeFieldsRenderLikeTheirText) {
  TRichEditor cover;
  cover.LoadFromRtf("{\\rtf1{\\fonttbl{\\f0 DejaVu Serif;}}\\f0\\fs28 To: "
                    "{\\field{\\*\\fldinst MERGEFIELD RECIPIENT}{\\fldrslt [RECIPIENT]}}\\par}");
  cover.OnGetTextToInsert = [](int tag) -> std::optional<QString> {
    return tag == 1 ? std::optional<QString>(QStringLiteral("ACME Widgets Ltd")) : std::nullopt;
  };
  cover.FillMergeFields();
  cover.SetHideFieldMarkers(false); // markers shown on screen must not reach the fax
  TRichEditor plain;
  plain.LoadFromRtf("{\\rtf1{\\fonttbl{\\f0 DejaVu Serif;}}\\f0\\fs28 To: ACME Widgets Ltd\\par}");
  auto a = newFaxPage();
  auto b = newFaxPage();
  cover.DrawFaxPage(0, a);
  plain.DrawFaxPage(0, b);
  EXPECT_GT(blackPixels(a), 500);
  EXPECT_TRUE(a == b);
}

TEST(FaxPage, LibreOfficeLetterRendersToPngPages) {
  TRichEditor ed;
  ASSERT_TRUE(ed.LoadFromFile(dataPath("lo-letter.rtf")));
  const QString dir = scratchDir("pages");
  const auto pages = drawAll(ed);
  ASSERT_EQ(pages.size(), 1u);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_GT(blackPixels(pages[i]), 10000);
    EXPECT_TRUE(toImage(pages[i]).save(dir + QStringLiteral("/letter-%1.png").arg(i + 1)));
  }
  TRichEditor breaks;
  ASSERT_TRUE(breaks.LoadFromFile(dataPath("lo-breaks.rtf")));
  const auto three = drawAll(breaks);
  EXPECT_EQ(three.size(), 3u);
  for (std::size_t i = 0; i < three.size(); ++i)
    EXPECT_TRUE(toImage(three[i]).save(dir + QStringLiteral("/breaks-%1.png").arg(i + 1)));
  TRichEditor twenty;
  ASSERT_TRUE(twenty.LoadFromFile(dataPath("twenty-pages.rtf")));
  const auto sections = drawAll(twenty);
  EXPECT_EQ(sections.size(), 20u); // each section starts a page and fits on it
  EXPECT_TRUE(toImage(sections[0]).save(dir + QStringLiteral("/twenty-1.png")));
}
