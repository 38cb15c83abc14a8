// The converter component end to end: BMP pages as fax-file creation makes
// them, the ITU charts, options, margins, abort and failures.

#include "ImgTestSupport.h"

#include "faximage/BmpFile.h"
#include "faximage/Dither.h"
#include "faximage/FaxConverter.h"
#include "platform/FxErrors.h"
#include "platform/PendingEvents.h"

#include <gtest/gtest.h>

using namespace faximage;

namespace {

PageBitmap chartPart(int number, int width, int height) {
  const PageBitmap chart = imgtest::loadChart(number);
  PageBitmap part(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      part.setPixel(x, y, chart.pixel(x % chart.width(), y % chart.height()));
  return part;
}

std::string bmpFile(const std::string& name, const PageBitmap& page) {
  const std::string path = imgtest::scratch(name);
  EXPECT_EQ(writeMonochromeBmp(path, page), 0);
  return path;
}

void convert(TFxFaxConverter& c, TFaxInputDocumentType type, const std::string& input) {
  c.setInputDocumentType(type);
  c.setDocumentFile(input);
  c.ConvertDocument();
}

} // namespace

TEST(FaxConverter, RenderedPageBmpAtFineResolution) {
  const PageBitmap page = chartPart(1, 1664, 2156);
  TFxFaxConverter c;
  c.setOptions(coYield);
  c.setResolution(frHigh);
  int yields = 0;
  platform::setProcessPendingEventsHook([&] { ++yields; });
  convert(c, idBmp, bmpFile("page.bmp", page));
  platform::setProcessPendingEventsHook(nullptr);
  EXPECT_EQ(yields, 1); // once per page with coYield alone
  EXPECT_EQ(c.OutFileName(), imgtest::scratch("page.APF"));

  const auto pages = imgtest::decodeApf(c.OutFileName());
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].header.pageFlags, 5);
  EXPECT_EQ(pages[0].complaints, "");
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                    imgtest::placeRows(page, 1728, 50))); // image in pixels 50-1713
}

TEST(FaxConverter, ChartsDecodeExactlyAtBothWidths) {
  for (int chart : {4, 5}) {
    const PageBitmap page = imgtest::loadChart(chart); // 1728 wide
    for (TFaxWidth width : {fwNormal, fwWide}) {
      TFxFaxConverter c;
      c.setOptions(0);
      c.setLeftMargin(0);
      c.setWidth(width);
      convert(c, idBmp, bmpFile("chart.bmp", page));
      const auto pages = imgtest::decodeApf(c.OutFileName());
      ASSERT_EQ(pages.size(), 1u);
      EXPECT_EQ(pages[0].complaints, "");
      EXPECT_EQ(pages[0].header.pageFlags, width == fwWide ? 6 : 4);
      EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows,
                                        imgtest::placeRows(page, width == fwWide ? 2048 : 1728, 0)))
          << "chart " << chart;
    }
  }
}

TEST(FaxConverter, StandardResolutionImageOptions) {
  const PageBitmap small = chartPart(2, 800, 40);
  // Double width (2 x 800 <= 1728 - 50) with centring: (1728 - 1600) / 32 = 4 bytes.
  TFxFaxConverter c;
  convert(c, idBmp, bmpFile("small.bmp", small));
  auto pages = imgtest::decodeApf(c.OutFileName());
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].rows.size(), 40u);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 800; x += 7)
      ASSERT_EQ(bool(pages[0].rows[y][(50 + 64 + 2 * x) / 8] & (0x80 >> ((50 + 64 + 2 * x) % 8))),
                small.pixel(x, y))
          << x << "," << y;

  // Half height codes only the odd-numbered rows; centring (1728 - 800) / 16 = 58 bytes.
  c.setOptions(coHalfHeight | coCenterImage);
  convert(c, idBmp, bmpFile("small.bmp", small));
  pages = imgtest::decodeApf(c.OutFileName());
  ASSERT_EQ(pages[0].rows.size(), 20u);
  PageBitmap odd(800, 20);
  for (int y = 0; y < 20; ++y)
    std::copy(small.row(2 * y), small.row(2 * y) + small.stride(), odd.row(y));
  imgtest::Rows expected = imgtest::placeRows(odd, 1728, 50 + 58 * 8);
  EXPECT_EQ("", imgtest::rowsDiffer(pages[0].rows, expected));
}

TEST(FaxConverter, TopMarginRowsOnEveryPage) {
  TFxFaxConverter c;
  c.setTopMargin(3);
  c.setLinesPerPage(1);
  imgtest::writeText(imgtest::scratch("two.txt"), "one\r\ntwo\r\n");
  convert(c, idText, imgtest::scratch("two.txt"));
  const auto b = imgtest::readAll(c.OutFileName());
  for (std::size_t page : {64u + 16u, 0u}) {
    if (page == 0) // second page: after the first one
      page = 64 + 16 + (b[64] | (b[65] << 8)) + 16;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(
          std::vector<uint8_t>(b.begin() + long(page + 6 * i), b.begin() + long(page + 6 * i + 6)),
          (std::vector<uint8_t>{4, 0, 0x00, 0x28, 0x9B, 0x15}));
  }
  const auto pages = imgtest::decodeApf(c.OutFileName());
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1].rows.size(), 3u + 16u);
  EXPECT_EQ(pages[1].complaints, "");
}

TEST(FaxConverter, AbortAndFailuresLeaveNoFile) {
  TFxFaxConverter c;
  const std::string input = bmpFile("abort.bmp", chartPart(3, 100, 50));
  int calls = 0;
  c.OnStatus = [&](TFxCustomFaxConverter*, bool starting, bool, int, int, long, long, bool& abort) {
    abort = ++calls == 1 && starting;
  };
  c.setInputDocumentType(idBmp);
  c.setDocumentFile(input);
  EXPECT_THROW(c.ConvertDocument(), EConvertAbort);
  EXPECT_FALSE(imgtest::fileExists(c.OutFileName()));
  EXPECT_EQ(calls, 1); // no Ending report after an abort at the start

  // Abort in mid-page: the Ending report still comes, the file goes.
  bool ended = false;
  c.OnStatus = [&](TFxCustomFaxConverter*, bool, bool ending, int, int lines, long, long,
                   bool& abort) {
    ended |= ending;
    abort = lines == 10;
  };
  EXPECT_THROW(c.ConvertDocument(), EConvertAbort);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(imgtest::fileExists(c.OutFileName()));

  c.OnStatus = nullptr;
  c.setInputDocumentType(idNone);
  EXPECT_THROW(c.ConvertDocument(), EBadArgument);
  c.setInputDocumentType(idBitmap);
  EXPECT_THROW(c.ConvertDocument(), EBadArgument);
  c.setInputDocumentType(idBmp);
  c.setDocumentFile(imgtest::scratch("absent.bmp"));
  EXPECT_THROW(c.ConvertDocument(), EInOutError);
  EXPECT_FALSE(imgtest::fileExists(imgtest::scratch("absent.APF")));
  // The output may not overwrite the input.
  const std::string self = bmpFile("self.bmp", PageBitmap(16, 4));
  c.setDocumentFile(self);
  c.setOutFileName(self);
  EXPECT_THROW(c.ConvertDocument(), EBadArgument);
  EXPECT_EQ(imgtest::readAll(self).size(), 62u + 4 * 4);
  // 1-bit BMP wider than the row.
  c.setDocumentFile(bmpFile("wide.bmp", PageBitmap(1729, 4)));
  EXPECT_THROW(c.ConvertDocument(), EBadGraphicsFormat);
  EXPECT_FALSE(imgtest::fileExists(imgtest::scratch("wide.APF")));
}

TEST(FaxConverter, PropertyRules) {
  TFxFaxConverter c;
  EXPECT_EQ(c.Options(), TFaxCvtOptionsSet(coDoubleWidth | coCenterImage | coYield));
  EXPECT_EQ(c.LeftMargin(), 50u);
  EXPECT_EQ(c.LinesPerPage(), 60u);
  EXPECT_EQ(c.TabStop(), 4u);
  EXPECT_EQ(c.FontFile(), "FXFAX.FNT");
  c.setOptions(coYieldOften);
  EXPECT_EQ(c.Options(), TFaxCvtOptionsSet(coYieldOften | coYield));
  c.setOutFileName("/tmp/x/custom.apf");
  c.setDocumentFile("/tmp/in.dir/letter");
  EXPECT_EQ(c.OutFileName(), "/tmp/in.dir/letter.APF");
  c.setOutFileName("kept");
  c.setDocumentFile("/tmp/in.dir/letter"); // same name: output untouched
  EXPECT_EQ(c.OutFileName(), "kept");
  EXPECT_EQ(resolveInputName("/a.b/doc", "TXT"), "/a.b/doc.TXT");
  EXPECT_EQ(resolveOutputName("out", "/x/doc.txt"), "out.APF");
  EXPECT_EQ(resolveOutputName("", "/x/doc.txt"), "/x/doc.APF");
}

TEST(FaxConverter, ColourBmpIsDithered) {
  EXPECT_EQ(TDitherMatrix::instance().value[0][1], 96);
  const uint8_t firstRow[16] = {0,  96,  48, 112, 24, 120, 56, 120,
                                12, 108, 60, 124, 28, 124, 60, 124};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(TDitherMatrix::instance().value[0][i], firstRow[i]);

  // A 24-bit gradient written by hand: intensity x / 2 along each row.
  const int w = 256, h = 32;
  std::vector<uint8_t> file(54 + std::size_t(w) * 3 * h, 0);
  auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file[at + i] = uint8_t(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch)
        file[54 + (std::size_t(y) * w + x) * 3 + ch] = uint8_t(x / 2);
  imgtest::writeAll(imgtest::scratch("gradient.bmp"), file);

  TFxFaxConverter c;
  c.setOptions(0);
  c.setLeftMargin(0);
  convert(c, idBmp, imgtest::scratch("gradient.bmp"));
  const auto pages = imgtest::decodeApf(c.OutFileName());
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].rows.size(), std::size_t(h));
  for (int y = 0; y < h; ++y) {
    const int fileRow = h - 1 - y; // bottom-up file: top image row is the last stored
    for (int x = 0; x < w; ++x) {
      const bool black = pages[0].rows[y][x / 8] & (0x80 >> (x % 8));
      EXPECT_EQ(black, ditherIsBlack(x / 2, x, y)) << x << "," << y << " stored " << fileRow;
      if (x / 2 >= 125)
        EXPECT_FALSE(black);
    }
  }
}
