// Quarter turns, the gray picture of a shrunken page and the block copy,
// against plain pixel-by-pixel references on sizes that are not multiples
// of 8.
#include "faxview/PageTransforms.h"

#include <gtest/gtest.h>

#include <random>

using faximage::PageBitmap;
using namespace faxview;

namespace {

PageBitmap randomPage(int w, int h, unsigned seed) {
  PageBitmap page(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      page.setPixel(x, y, rng() % 3 == 0);
  return page;
}

// Clockwise quarter turn by the pixel rule: (x, y) -> (h - 1 - y, x).
PageBitmap referenceQuarter(const PageBitmap& src) {
  PageBitmap out(src.height(), (src.width() + 7) / 8 * 8);
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x)
      if (src.pixel(x, y))
        out.setPixel(src.height() - 1 - y, x, true);
  return out;
}

} // namespace

TEST(PageTransforms, QuarterTurnsMatchThePixelRule) {
  for (auto [w, h] : {std::pair{13, 7}, {16, 16}, {1728, 37}, {21, 1000}}) {
    const PageBitmap page = randomPage(w, h, unsigned(w * 31 + h));
    EXPECT_EQ(RotateQuarterTurns(page, 1), referenceQuarter(page)) << w << "x" << h;
    // Three quarter turns: (x, y) -> (y, w - 1 - x), rows padded to a multiple of 8.
    PageBitmap three(h, (w + 7) / 8 * 8);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (page.pixel(x, y))
          three.setPixel(y, w - 1 - x, true);
    EXPECT_EQ(RotateQuarterTurns(page, 3), three) << w << "x" << h;
    PageBitmap half(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (page.pixel(x, y))
          half.setPixel(w - 1 - x, h - 1 - y, true);
    EXPECT_EQ(RotateQuarterTurns(page, 2), half) << w << "x" << h;
  }
}

TEST(PageTransforms, TurnsAddUpAndAFaxWidthPageStandsUp) {
  const PageBitmap page = randomPage(1728, 301, 7);
  const PageBitmap turned = RotateQuarterTurns(page, 1);
  EXPECT_EQ(turned.width(), 301);
  EXPECT_EQ(turned.height(), 1728);
  // 90 degrees, then two more quarter turns, is 270 degrees.
  EXPECT_EQ(RotateQuarterTurns(turned, 2), RotateQuarterTurns(page, 3));
  PageBitmap back = RotateQuarterTurns(turned, 3);
  EXPECT_EQ(back.height(), 304); // 301 rounded up to a multiple of 8, white below
  for (int y = 0; y < 301; ++y)
    ASSERT_TRUE(std::equal(page.row(y), page.row(y) + page.stride(), back.row(y))) << y;
  for (int y = 301; y < 304; ++y)
    EXPECT_TRUE(
        std::all_of(back.row(y), back.row(y) + back.stride(), [](uint8_t b) { return !b; }));
}

// A fine page at 50 % and 25 %: a one-pixel line must not vanish (it would
// with a plain every-other-pixel pick), and the gray level is the share of
// black under each screen pixel.
TEST(PageTransforms, ShrunkenPageKeepsThinLinesAsGray) {
  PageBitmap page(64, 64);
  for (int x = 0; x < 64; ++x)
    page.setPixel(x, 13, true); // a hairline on an odd row
  for (int y = 0; y < 64; ++y)
    for (int x = 40; x < 48; ++x)
      page.setPixel(x, y, true); // a solid bar
  std::vector<uint8_t> half(32 * 32), quarter(16 * 16);
  ScaleToCoverage(page, 32, 32, half.data(), 32);
  ScaleToCoverage(page, 16, 16, quarter.data(), 16);
  EXPECT_EQ(half[6 * 32 + 3], 127); // 2 of 4 pixels black
  EXPECT_EQ(half[5 * 32 + 3], 0);
  EXPECT_EQ(quarter[3 * 16 + 2], 63); // 4 of 16
  EXPECT_EQ(half[20 * 32 + 21], 255);
  EXPECT_EQ(quarter[10 * 16 + 10], 255);
}

// At 75 % a source pixel straddles two screen pixels; a one-pixel stroke
// keeps the same total weight wherever it lies (a plain pick of 1 or 2
// columns per screen pixel would show some strokes twice as dark as others).
TEST(PageTransforms, ShrinkingByThreeQuartersKeepsEveryStrokesWeight) {
  for (int x = 0; x < 8; ++x) {
    PageBitmap page(64, 64);
    for (int y = 0; y < 64; ++y)
      page.setPixel(x + 20, y, true);
    std::vector<uint8_t> shown(48 * 48);
    ScaleToCoverage(page, 48, 48, shown.data(), 48);
    int sum = 0;
    for (int c = 0; c < 48; ++c)
      sum += shown[10 * 48 + c];
    EXPECT_NEAR(sum, 191, 2) << "stroke at column " << x + 20; // 255 * 3 / 4
  }
}

TEST(PageTransforms, EnlargedPageRepeatsPixels) {
  PageBitmap page(3, 2);
  page.setPixel(1, 0, true);
  page.setPixel(2, 1, true);
  std::vector<uint8_t> mono(2 * 4, 0); // 6 x 4 pixels, 2 bytes a row
  ScaleNearestMono(page, 6, 4, mono.data(), 2);
  EXPECT_EQ(mono[0], 0x30); // pixels 2 and 3 of rows 0 and 1
  EXPECT_EQ(mono[2], 0x30);
  EXPECT_EQ(mono[4], 0x0C); // pixels 4 and 5 of rows 2 and 3
  EXPECT_EQ(mono[6], 0x0C);
}

TEST(PageTransforms, BlockCopyShrinksKeepingBlack) {
  const PageBitmap page = randomPage(50, 40, 3);
  EXPECT_EQ(CopyBlock(page, 0, 0, 50, 40, 50, 40), page);
  const PageBitmap part = CopyBlock(page, 10, 5, 20, 10, 20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(part.pixel(x, y), page.pixel(10 + x, 5 + y));
  PageBitmap dot(8, 8);
  dot.setPixel(5, 3, true);
  const PageBitmap small = CopyBlock(dot, 0, 0, 8, 8, 4, 4);
  EXPECT_TRUE(small.pixel(2, 1));
  int black = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      black += small.pixel(x, y);
  EXPECT_EQ(black, 1);
}
