// Exported fax files read back by independent code: the G3 TIFF by libtiff
// (exactly the fax's rows), the PDF by poppler (pages, size, pixels), also
// through `tolvane-fax export`.
#include "faxexport/FaxExport.h"
#include "tests/faxview/FaxFiles.h"
#include "platform/FxErrors.h"

#include <QImage>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <regex>

using faximage::PageBitmap;
using faxtest::capture;
using faxtest::scratch;

namespace {

struct TiffPage {
  PageBitmap bitmap;
  float yres = 0;
  uint16_t compression = 0;
};

std::vector<TiffPage> readTiff(const std::string& path) {
  std::vector<TiffPage> pages;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (!t)
    return pages;
  do {
    uint32_t w = 0, h = 0;
    TiffPage p;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &p.yres);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &p.compression);
    p.bitmap = PageBitmap(int(w), int(h));
    for (uint32_t y = 0; y < h; ++y)
      TIFFReadScanline(t, p.bitmap.row(int(y)), y, 0); // min-is-white: 1 = black
    pages.push_back(std::move(p));
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return pages;
}

std::string pdfInfo(const std::string& pdf) {
  return capture("pdfinfo '" + pdf + "' 2>/dev/null");
}

bool says(const std::string& info, const std::string& pattern) {
  return std::regex_search(info, std::regex(pattern));
}

} // namespace

TEST(FaxExport, TiffHoldsExactlyTheFaxRows) {
  std::vector<PageBitmap> pages;
  for (int n = 1; n <= 3; ++n)
    pages.push_back(faxtest::numberedPage(n, 1728, 1000 + 100 * n));
  const std::string fine = scratch("fine3.apf"), standard = scratch("std2.apf");
  faxtest::writeApf(fine, pages, true);
  faxtest::writeApf(standard, {pages[0], pages[1]}, false);
  faxexport::ExportFax(fine, 1, 3, scratch("fine3.tif"), faxexport::ExportFormat::Tiff);
  faxexport::ExportFax(standard, 2, 2, scratch("std2.tif"), faxexport::ExportFormat::Tiff);
  const auto read = readTiff(scratch("fine3.tif"));
  ASSERT_EQ(read.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(read[i].compression, COMPRESSION_CCITTFAX3);
    EXPECT_EQ(read[i].yres, 196.0f);
    EXPECT_TRUE(read[i].bitmap == pages[i]) << "page " << i + 1;
  }
  const auto one = readTiff(scratch("std2.tif"));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].yres, 98.0f); // standard rows as coded, not doubled
  EXPECT_TRUE(one[0].bitmap == pages[1]);
}

// Rendered at the fax's own resolution, each PDF page is the fax page again.
TEST(FaxExport, PdfPagesHaveTheFaxSizeAndPixels) {
  std::vector<PageBitmap> pages;
  for (int n = 1; n <= 3; ++n)
    pages.push_back(faxtest::numberedPage(n));
  const std::string fax = scratch("fine.apf"), pdf = scratch("fine.pdf");
  faxtest::writeApf(fax, pages, true);
  faxexport::ExportFax(fax, 1, 3, pdf, faxexport::ExportFormat::Pdf);
  const std::string info = pdfInfo(pdf);
  EXPECT_TRUE(says(info, "Pages:\\s+3\n")) << info;
  EXPECT_TRUE(says(info, "Page size:\\s+609.88 x 808.16 pts")) << info;
  capture("pdftoppm -f 2 -l 2 -rx 204 -ry 196 -mono '" + pdf + "' '" + scratch("fine") + "'");
  QImage shown(QString::fromStdString(scratch("fine-2.pbm")));
  ASSERT_EQ(shown.size(), QSize(1728, 2200));
  int differ = 0;
  for (int y = 0; y < 2200; ++y)
    for (int x = 0; x < 1728; ++x)
      differ += (qGray(shown.pixel(x, y)) < 128) != pages[1].pixel(x, y);
  EXPECT_EQ(differ, 0);
}

TEST(FaxExport, ToolWritesPdfThroughTheSameCode) {
#ifdef TOLVANE_FAX_TOOL
  const std::string fax = faxtest::numberedFax("tool.apf", 2, false, 1100);
  int status = -1;
  capture(std::string(TOLVANE_FAX_TOOL) + " export '" + fax + "' '" + scratch("tool.pdf") + "'",
          &status);
  ASSERT_EQ(status, 0);
  std::string info = pdfInfo(scratch("tool.pdf"));
  EXPECT_TRUE(says(info, "Pages:\\s+2\n")) << info;
  // Standard resolution: 1100 rows at 98 dpi are as tall as 2200 fine rows.
  EXPECT_NE(info.find("609.88 x 808.16 pts"), std::string::npos) << info;
  capture(std::string(TOLVANE_FAX_TOOL) + " export '" + fax + "' '" + scratch("p2.pdf") +
              "' --page 2",
          &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(says(pdfInfo(scratch("p2.pdf")), "Pages:\\s+1\n"));
#else
  GTEST_SKIP() << "tolvane-fax is not built";
#endif
}

// A damaged file fails the export and leaves neither the file nor a part of it.
TEST(FaxExport, FailureLeavesNoFile) {
  const std::string whole = faxtest::numberedFax("whole.apf", 2);
  const auto size = std::filesystem::file_size(whole);
  std::filesystem::copy_file(whole, scratch("cut.apf"));
  std::filesystem::resize_file(scratch("cut.apf"), size * 3 / 4);
  for (auto format : {faxexport::ExportFormat::Pdf, faxexport::ExportFormat::Tiff}) {
    const std::string out = scratch(format == faxexport::ExportFormat::Pdf ? "cut.pdf" : "cut.tif");
    EXPECT_THROW(faxexport::ExportFax(scratch("cut.apf"), 1, 2, out, format), EFxException);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  for (const auto& entry : std::filesystem::directory_iterator(scratch("")))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
  EXPECT_THROW(
      faxexport::ExportFax(whole, 2, 3, scratch("range.pdf"), faxexport::ExportFormat::Pdf),
      EFxException);
}
