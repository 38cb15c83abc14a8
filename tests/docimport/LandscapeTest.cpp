// Landscape pages turned a quarter onto the portrait fax page: PDF pages
// wider than tall, PDF pages turned by their /Rotate entry, and images;
// pages that fit the fax width stay as they are.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"
#include "docimport/FaxFit.h"

#include <gtest/gtest.h>

using namespace doctest;

namespace {

// Share of black pixels in [x0, x1) x [y0, y1) of the page.
double blackIn(const faximage::PageBitmap& page, int x0, int y0, int x1, int y1) {
  long black = 0, all = 0;
  for (int y = std::max(0, y0); y < std::min(page.height(), y1); ++y)
    for (int x = std::max(0, x0); x < std::min(page.width(), x1); ++x, ++all)
      black += page.pixel(x, y);
  return all ? double(black) / double(all) : 0.0;
}

// The source page's top edge is a black band 20 points deep, with a square
// marker under its left end; the rest is white. Where band and marker must
// be found on the fax page:
struct Expect {
  bool bandOnLeft; // else along the top
  bool markerLow;  // else high on the page
};

void expectLayout(const faximage::PageBitmap& page, Expect e) {
  const int w = page.width(), h = page.height();
  ASSERT_GT(h, w) << "the fax page is portrait";
  if (e.bandOnLeft) {
    EXPECT_GT(blackIn(page, 0, 0, 40, h), 0.95) << "band along the left edge";
    EXPECT_LT(blackIn(page, 80, 0, w, 40), 0.05) << "no band along the top";
  } else {
    EXPECT_GT(blackIn(page, 0, 0, w, 40), 0.95) << "band along the top";
    EXPECT_LT(blackIn(page, 0, 80, 40, h), 0.05) << "no band down the left";
  }
  const double low = blackIn(page, 180, h - 330, 330, h - 180);
  const double high = blackIn(page, 180, 200, 330, 350);
  EXPECT_GT(e.markerLow ? low : high, 0.95) << "the marker where the source's corner went";
  EXPECT_LT(e.markerLow ? high : low, 0.05);
}

} // namespace

TEST(Landscape, WidePdfPageIsTurnedToFillThePortraitPage) {
  // Letter landscape: 11 x 8.5 inches, wider than the fax page.
  const std::string pdf = imgtest::scratch("landscape.pdf");
  writeMinimalPdf(pdf, 2, "0 592 792 20 re f 40 460 100 100 re f", "/MediaBox [0 0 792 612]");
  const auto pages = importAll(pdf);
  ASSERT_EQ(pages.size(), 2u);
  for (const auto& page : pages) {
    EXPECT_EQ(page.bitmap.width(), 1728);
    // 11 inches of 612 x 792 points across 1728 pixels: about 2150 fine rows.
    EXPECT_NEAR(page.bitmap.height(), 792 * (1728.0 / 612) * 196 / 204, 3);
    // Top edge to the left, the top-left corner to the bottom-left.
    expectLayout(page.bitmap, {true, true});
  }
}

TEST(Landscape, PdfPageTurnedByItsRotateEntryComesOutUpright) {
  // A portrait page shown turned a quarter clockwise: the quarter turn back
  // gives its own upright page, band at the top and marker top left.
  const std::string pdf = imgtest::scratch("rotated.pdf");
  writeMinimalPdf(pdf, 1, "0 772 612 20 re f 40 640 100 100 re f",
                  "/MediaBox [0 0 612 792] /Rotate 90");
  const auto pages = importAll(pdf);
  ASSERT_EQ(pages.size(), 1u);
  expectLayout(pages[0].bitmap, {false, false});
  // A landscape page turned to portrait by /Rotate 270 stays as it shows.
  // Shown turned anticlockwise, its right edge is the top: band and marker
  // are drawn there.
  writeMinimalPdf(pdf, 1, "772 0 20 612 re f 640 472 100 100 re f",
                  "/MediaBox [0 0 792 612] /Rotate 270");
  const auto turned = importAll(pdf);
  ASSERT_EQ(turned.size(), 1u);
  expectLayout(turned[0].bitmap, {false, false});
}

TEST(Landscape, WideImageIsTurnedAndOneThatFitsIsNot) {
  // 11 x 8.5 inches at 150 dpi, band along the top, marker under its left end.
  faximage::PageBitmap wide(1650, 1275);
  for (int y = 0; y < 42; ++y)
    for (int x = 0; x < 1650; ++x)
      wide.setPixel(x, y, true);
  for (int y = 110; y < 320; ++y)
    for (int x = 80; x < 290; ++x)
      wide.setPixel(x, y, true);
  const std::string tif = imgtest::scratch("wide.tif");
  writeBilevelTiff(tif, {wide}, 150, 150);
  const auto pages = importAll(tif);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].bitmap.width(), 1728);
  expectLayout(pages[0].bitmap, {true, true});

  // Six inches wide fits the fax page: kept at its printed size, not turned.
  writeBilevelTiff(tif, {faximage::PageBitmap(900, 600)}, 150, 150);
  const auto narrow = importAll(tif);
  ASSERT_EQ(narrow.size(), 1u);
  EXPECT_NEAR(narrow[0].bitmap.height(), 600 * 196 / 150.0, 2);

  // Asked not to turn (a picture placed in the text), the wide page shrinks.
  docimport::ImportOptions keep;
  docimport::FaxGrid grid = docimport::gridFor(keep, true);
  grid.turnWide = false;
  keep.grid = grid;
  writeBilevelTiff(tif, {wide}, 150, 150);
  const auto kept = importAll(tif, keep);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_LT(kept[0].bitmap.height(), kept[0].bitmap.width());
}
