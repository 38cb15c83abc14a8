// PDF pages: the LibreOffice report against poppler's own pdftoppm and
// decoded by libtiff; hairlines drawn solid.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"
#include "docimport/FaxFit.h"
#include "docimport/Halftone.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace doctest;

namespace {

// The reference page: pdftoppm with the same drawing options at the same
// resolution, made black and white by the same halftoning.
faximage::PageBitmap pdftoppmPage(const std::string& pdf, int page, double xres, double yres) {
  const std::string base = imgtest::scratch("ref" + std::to_string(page));
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd,
                "pdftoppm -gray -aa no -aaVector no -thinlinemode solid -rx %.6f -ry %.6f "
                "-f %d -l %d -singlefile '%s' '%s'",
                xres, yres, page, page, pdf.c_str(), base.c_str());
  if (!imgtest::run(cmd))
    return {};
  faximage::PageBitmap bits;
  docimport::halftone(readPgm(base + ".pgm"), docimport::Halftone::Auto, bits);
  return bits;
}

} // namespace

TEST(PdfImport, LibreOfficeReportMatchesPdftoppmAndLibtiffDecodesIt) {
  const std::string pdf = docData("report.pdf"); // LibreOffice 7.4, three letter pages
  const std::string apf = imgtest::scratch("report.apf");
  EXPECT_EQ(docimport::convertDocument(pdf, apf, {}, {}, "TEST"), 3);
  const auto decoded = imgtest::decodeApf(apf);
  const auto pages = importAll(pdf);
  ASSERT_EQ(decoded.size(), 3u);
  ASSERT_EQ(pages.size(), 3u);
  // A letter page (612 x 792 points) drawn across the fax width.
  const auto size = docimport::fitSize(61200, 79200, 7200, 7200, docimport::gridFor({}, true));
  const double xres = size.width * 72.0 / 612, yres = size.height * 72.0 / 792;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    EXPECT_TRUE(decoded[std::size_t(i)].header.fine());
    EXPECT_EQ(decoded[std::size_t(i)].complaints, "");
    EXPECT_EQ(imgtest::rowsDiffer(decoded[std::size_t(i)].rows,
                                  imgtest::placeRows(pages[std::size_t(i)].bitmap, 1728, 0)),
              "");
    const faximage::PageBitmap reference = pdftoppmPage(pdf, i + 1, xres, yres);
    ASSERT_FALSE(reference.empty()) << "pdftoppm (poppler-utils) is needed";
    const double share = differingShare(pages[std::size_t(i)].bitmap, reference);
    RecordProperty("differing_page" + std::to_string(i + 1), std::to_string(share));
    EXPECT_LT(share, 0.01);
    // Not an empty page compared with an empty page.
    const Box box = blackBox(pages[std::size_t(i)].bitmap);
    EXPECT_GT(box.x1 - box.x0, 500);
  }
}

TEST(PdfImport, HairlinesStaySolidAtFaxResolution) {
  // A zero-width line and a 0.1 point line across, a 0.1 point line down.
  const std::string pdf = imgtest::scratch("lines.pdf");
  writeMinimalPdf(pdf, 1,
                  "0 w 72 700 m 540 700 l S 0.1 w 72 600 m 540 600 l S 72 100 m 72 700 l S");
  for (auto resolution : {docimport::FaxResolution::Fine, docimport::FaxResolution::Normal}) {
    docimport::ImportOptions options;
    options.resolution = resolution;
    const auto pages = importAll(pdf, options);
    ASSERT_EQ(pages.size(), 1u);
    const faximage::PageBitmap& page = pages[0].bitmap;
    // The longest run of black in any row and in any column.
    int longestRow = 0, longestColumn = 0, rowsWithLine = 0;
    for (int y = 0; y < page.height(); ++y) {
      int run = 0, best = 0;
      for (int x = 0; x < page.width(); ++x)
        best = std::max(best, run = page.pixel(x, y) ? run + 1 : 0);
      longestRow = std::max(longestRow, best);
      rowsWithLine += best > 1200;
    }
    for (int x = 0; x < page.width(); ++x) {
      int run = 0, best = 0;
      for (int y = 0; y < page.height(); ++y)
        best = std::max(best, run = page.pixel(x, y) ? run + 1 : 0);
      longestColumn = std::max(longestColumn, best);
    }
    // 468 points across is 1321 fax columns; 600 points down is 8.33 inch.
    EXPECT_GE(longestRow, 1300);
    EXPECT_GE(rowsWithLine, 2); // both horizontal lines
    EXPECT_GE(longestColumn, int(8.3 * (pages[0].fine ? 196 : 98) * 1728 / 1734.0 * 0.98));
    EXPECT_EQ(pages[0].fine, resolution == docimport::FaxResolution::Fine);
  }
}

TEST(PdfImport, HalfTransparentFillIsLaidOnWhitePaper) {
  // Black at 50 % opacity over the paper is a mid grey: about half of its
  // pixels black when diffused, not a solid black square.
  const std::string pdf = imgtest::scratch("half.pdf");
  writeMinimalPdf(pdf, 1, "/Half gs 72 72 216 216 re f",
                  "/MediaBox [0 0 612 792] /Resources << /ExtGState << /Half << /ca 0.5 >> >> >>");
  docimport::ImportOptions options;
  options.halftone = docimport::Halftone::Diffuse;
  const auto pages = importAll(pdf, options);
  ASSERT_EQ(pages.size(), 1u);
  const Box box = blackBox(pages[0].bitmap);
  ASSERT_GT(box.x1 - box.x0, 500);
  long black = 0, all = 0;
  for (int y = box.y0 + 20; y < box.y1 - 20; ++y)
    for (int x = box.x0 + 20; x < box.x1 - 20; ++x, ++all)
      black += pages[0].bitmap.pixel(x, y);
  EXPECT_NEAR(double(black) / double(all), 0.5, 0.05);
}
