// TIFF files in fax codings: every page, rows exactly as stored.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"

#include <gtest/gtest.h>

using namespace doctest;

namespace {

std::vector<faximage::PageBitmap> charts() {
  return {imgtest::loadChart(1), imgtest::loadChart(2), imgtest::loadChart(4)};
}

// Converts through the command line's path and decodes the APF with libtiff.
std::vector<imgtest::DecodedPage> convertAndDecode(const std::string& tif,
                                                   const docimport::ImportOptions& options = {}) {
  const std::string apf = tif + ".apf";
  docimport::convertDocument(tif, apf, options, {}, "");
  return imgtest::decodeApf(apf);
}

} // namespace

TEST(TiffImport, G4AndG3TwoDimensionalChartsConvertRowExactEveryPage) {
  const std::string plain = imgtest::scratch("charts.tif");
  writeBilevelTiff(plain, charts(), 204, 196);
  // Fax codings as other fax programs store them; the last one is a received
  // fax as the simulated remote machine writes it (G3 2-D, bits reversed).
  for (const std::string coding : {"g4", "g3:2d", "g3:2d:fill -f lsb2msb", "g3:1d", "lzw"}) {
    SCOPED_TRACE(coding);
    const std::string tif = imgtest::scratch("charts-" + std::to_string(coding.size()) + ".tif");
    ASSERT_TRUE(imgtest::run("tiffcp -c " + coding + " '" + plain + "' '" + tif + "'"));
    const auto pages = convertAndDecode(tif);
    ASSERT_EQ(pages.size(), 3u);
    const auto expected = charts();
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(pages[i].header.fine());
      EXPECT_EQ(pages[i].complaints, "");
      EXPECT_EQ(imgtest::rowsDiffer(pages[i].rows, imgtest::placeRows(expected[i], 1728, 0)), "")
          << "page " << i + 1;
    }
  }
}

TEST(TiffImport, NormalResolutionFaxStaysNormalUnlessFineIsAsked) {
  const faximage::PageBitmap chart = imgtest::loadChart(2);
  // Every second row: the chart as a normal-resolution fax.
  faximage::PageBitmap normal(chart.width(), chart.height() / 2);
  for (int y = 0; y < normal.height(); ++y)
    std::copy_n(chart.row(2 * y), chart.stride(), normal.row(y));
  const std::string plain = imgtest::scratch("normal.tif"), g3 = imgtest::scratch("normal-g3.tif");
  writeBilevelTiff(plain, {normal}, 204, 98);
  ASSERT_TRUE(imgtest::run("tiffcp -c g3 '" + plain + "' '" + g3 + "'"));

  const auto asIs = convertAndDecode(g3);
  ASSERT_EQ(asIs.size(), 1u);
  EXPECT_FALSE(asIs[0].header.fine());
  EXPECT_EQ(imgtest::rowsDiffer(asIs[0].rows, imgtest::placeRows(normal, 1728, 0)), "");

  docimport::ImportOptions fine;
  fine.resolution = docimport::FaxResolution::Fine;
  const auto doubled = convertAndDecode(g3, fine);
  ASSERT_EQ(doubled.size(), 1u);
  EXPECT_TRUE(doubled[0].header.fine());
  ASSERT_EQ(doubled[0].rows.size(), std::size_t(2 * normal.height()));
  const auto rows = imgtest::placeRows(normal, 1728, 0);
  for (std::size_t y = 0; y < doubled[0].rows.size(); ++y)
    ASSERT_EQ(doubled[0].rows[y], rows[y / 2]) << "row " << y;
}

TEST(TiffImport, SimpleOnePageTiffStillGoesToTheConvertersOwnReader) {
  // The converter's reader places the image after its 50-pixel left margin;
  // the import would place it at the left edge. Keeping the margin shows
  // the file went where it always went.
  faximage::PageBitmap small(800, 40);
  for (int x = 0; x < 800; ++x)
    small.setPixel(x, 5, true);
  const std::string tif = imgtest::scratch("small.tif");
  writeBilevelTiff(tif, {small}, 204, 98);
  docimport::DesignReaderSettings design;
  design.leftMargin = 50;
  const std::string apf = imgtest::scratch("small.apf");
  docimport::convertDocument(tif, apf, {}, design, "");
  const auto pages = imgtest::decodeApf(apf);
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_GT(pages[0].rows.size(), 5u);
  // The design's reader doubles an image this narrow at normal resolution
  // and centres it in whole bytes: (1728 - 1600) / 32 bytes of it, doubled.
  const auto& row = pages[0].rows[5];
  auto black = [&](int x) { return (row[std::size_t(x / 8)] & (0x80 >> (x % 8))) != 0; };
  int first = 0;
  while (first < 1728 && !black(first))
    ++first;
  int end = first;
  while (end < 1728 && black(end))
    ++end;
  EXPECT_EQ(first, 50 + 2 * (1728 - 1600) / 32 * 8);
  EXPECT_EQ(end - first, 1600);
}
