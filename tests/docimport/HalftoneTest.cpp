// Black and white from grey: text stays thresholded, photo areas diffused.

#include "docimport/Halftone.h"
#include "docimport/FaxFit.h"

#include <gtest/gtest.h>

using namespace docimport;

namespace {

GreyImage page(int w, int h, uint8_t level) {
  GreyImage g;
  g.width = w;
  g.height = h;
  g.pixels.assign(std::size_t(w) * std::size_t(h), level);
  return g;
}

void fill(GreyImage& g, int x0, int y0, int x1, int y1, int (*level)(int x, int y)) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      g.row(y)[x] = uint8_t(level(x, y));
}

} // namespace

TEST(Halftone, AutoDiffusesThePhotoAndThresholdsTheText) {
  GreyImage g = page(1728, 1200, 255);
  // "Text": black strokes with one grey edge pixel, as anti-aliasing leaves.
  fill(g, 100, 100, 1600, 400, [](int x, int y) {
    return (x % 9 < 2) ? 0 : (x % 9 == 2) ? 128 : 255;
  });
  // "Photo": a smooth gradient.
  fill(g, 400, 600, 1200, 1100, [](int x, int) { return 50 + (x - 400) * 150 / 800; });

  const auto areas = findPhotoAreas(g);
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_NEAR(areas[0].x0, 400, 32);
  EXPECT_NEAR(areas[0].x1, 1200, 32);
  EXPECT_NEAR(areas[0].y0, 600, 32);
  EXPECT_NEAR(areas[0].y1, 1100, 32);

  faximage::PageBitmap autoBits, thresholdBits;
  halftone(g, Halftone::Auto, autoBits);
  halftone(g, Halftone::Threshold, thresholdBits);
  // Text rows are identical to the threshold's.
  for (int y = 100; y < 400; ++y)
    ASSERT_TRUE(
        std::equal(autoBits.row(y), autoBits.row(y) + autoBits.stride(), thresholdBits.row(y)))
        << "row " << y;
  // In the photo, the share of black follows the tone: about two thirds at
  // the darker end, a third at the lighter (the threshold would give all or
  // nothing).
  auto blackShare = [&](int x0, int x1) {
    long black = 0;
    for (int y = 700; y < 1000; ++y)
      for (int x = x0; x < x1; ++x)
        black += autoBits.pixel(x, y);
    return double(black) / (300.0 * (x1 - x0));
  };
  EXPECT_NEAR(blackShare(600, 640), 1.0 - (50 + 220 * 150 / 800) / 255.0, 0.05);
  EXPECT_NEAR(blackShare(1000, 1040), 1.0 - (50 + 620 * 150 / 800) / 255.0, 0.05);
}

TEST(Halftone, ScalingAveragesWhenShrinkingAndInterpolatesWhenEnlarging) {
  GreyImage checker = page(400, 400, 0);
  fill(checker, 0, 0, 400, 400, [](int x, int y) { return ((x + y) & 1) ? 255 : 0; });
  const GreyImage half = scaleGrey(checker, 200, 200);
  for (uint8_t v : half.pixels)
    ASSERT_NEAR(v, 128, 1);
  // A third: uneven spans still average to mid grey.
  const GreyImage third = scaleGrey(checker, 133, 133);
  for (uint8_t v : third.pixels)
    ASSERT_NEAR(v, 128, 15);

  GreyImage ramp = page(2, 1, 0);
  ramp.pixels = {0, 200};
  const GreyImage wide = scaleGrey(ramp, 8, 1);
  EXPECT_EQ(wide.pixels.front(), 0);
  EXPECT_EQ(wide.pixels.back(), 200);
  for (std::size_t i = 1; i < wide.pixels.size(); ++i)
    EXPECT_GE(wide.pixels[i], wide.pixels[i - 1]);
}

TEST(Halftone, FitSizeKeepsPrintedSizeAspectAndPageLimits) {
  const FaxGrid fine = gridFor({}, true), normal = gridFor({}, false);
  // A4 at 72 dpi keeps its 210 mm: narrower than the fax row, centred later.
  const PageSize a4 = fitSize(595, 842, 72, 72, fine);
  EXPECT_NEAR(a4.width, 595 / 72.0 * 204, 1);
  EXPECT_NEAR(a4.height, 842 / 72.0 * 196, 1);
  // No resolution: across the whole row, square pixels.
  EXPECT_EQ(fitSize(1000, 500, 0, 0, normal).width, 1728);
  EXPECT_NEAR(fitSize(1000, 500, 0, 0, normal).height, 500 * 1.728 * 98 / 204, 1);
  // Non-square source pixels (a 204 x 98 fax scanned as an image).
  EXPECT_NEAR(fitSize(1728, 1100, 204, 98, fine).height, 2200, 1);
  // A long strip is made smaller as a whole to stay within the page limit.
  const PageSize strip = fitSize(1000, 100000, 0, 0, fine);
  EXPECT_EQ(strip.height, fine.maxRows);
  EXPECT_LT(strip.width, 100);
}

TEST(Halftone, ThresholdIsExactlyBelow128ForEveryPixel) {
  // Rows of every width up to a few words, with all grey levels in every
  // position: the word-at-a-time threshold against the plain rule.
  GreyImage g = page(77, 256, 255);
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      g.row(y)[x] = uint8_t((x * 37 + y * 11) & 255);
  faximage::PageBitmap bits;
  halftone(g, Halftone::Threshold, bits);
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      ASSERT_EQ(bits.pixel(x, y), g.row(y)[x] < 128) << x << "," << y;
}
