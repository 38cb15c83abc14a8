// The converter's PCX and BMP readers follow the file's palette and bit
// fields, keeping their results for the files they always read right.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"
#include "faximage/ConvertEngine.h"

#include <gtest/gtest.h>

namespace {

std::vector<imgtest::DecodedPage> convertWith(faximage::TFaxInputDocumentType type,
                                              const std::string& input) {
  faximage::ConvertSettings s;
  s.type = type;
  s.options = 0; // no doubling or centring: image pixel x is fax pixel 50 + x
  const std::string apf = input + ".apf";
  EXPECT_EQ(faximage::convertToApf(s, input, apf, {}), 0) << input;
  return imgtest::decodeApf(apf);
}

long blackPixels(const imgtest::DecodedPage& page, int x0, int x1) {
  long n = 0;
  for (const auto& row : page.rows)
    for (int x = x0; x < x1; ++x)
      n += (row[std::size_t(x / 8)] >> (7 - x % 8)) & 1;
  return n;
}

} // namespace

TEST(DesignReaderFixes, PcxFollowsItsPalette) {
  // netpbm writes an all-white page with white at palette index 0 and
  // stores it as 0 bits; an all-black one with an empty palette.
  const std::string white = imgtest::scratch("white.pcx"), black = imgtest::scratch("black.pcx");
  ASSERT_TRUE(imgtest::run("pbmmake -white 9 300 | ppmtopcx > " + white));
  ASSERT_TRUE(imgtest::run("pbmmake -black 9 300 | ppmtopcx > " + black));
  const auto w = convertWith(faximage::idPcx, white), b = convertWith(faximage::idPcx, black);
  ASSERT_EQ(w.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(w[0].rows.size(), 300u);
  EXPECT_EQ(blackPixels(w[0], 0, 1728), 0);
  EXPECT_EQ(blackPixels(b[0], 50, 59), 9 * 300);
  EXPECT_EQ(blackPixels(b[0], 0, 1728), 9 * 300);
}

TEST(DesignReaderFixes, SixteenBitBmpWithBitFieldsIsRead) {
  for (const std::string subtype : {"RGB565", "RGB555"}) {
    SCOPED_TRACE(subtype);
    const std::string bmp = imgtest::scratch("bf-" + subtype + ".bmp");
    // Left half black, right half white, as ImageMagick writes bit fields.
    ASSERT_TRUE(imgtest::imageMagick("-size 64x32 xc:white -fill black -draw 'rectangle 0,0 "
                                     "31,31' -type truecolor -define bmp:subtype=" +
                                     subtype + " '" + bmp + "'"));
    const auto bytes = imgtest::readAll(bmp);
    ASSERT_GT(bytes.size(), 34u);
    ASSERT_EQ(bytes[28], 16); // 16 bits per pixel
    ASSERT_EQ(bytes[30], 3);  // bit fields
    const auto pages = convertWith(faximage::idBmp, bmp);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].rows.size(), 32u);
    EXPECT_EQ(blackPixels(pages[0], 50, 82), 32 * 32);
    EXPECT_EQ(blackPixels(pages[0], 82, 1728), 0);
  }
}

TEST(DesignReaderFixes, BitFieldChannelsAreScaledToFullRange) {
  // ImageMagick stores grey 64 as RGB565 0x39E7: 7, 15, 7 of 31, 63, 31,
  // which is intensity 58 once each channel is scaled to 0..255; the 16 x 16
  // dither then makes 17 of 32 thresholds black. Unscaled channels would make
  // nearly everything black, 5-5-5 masks about a quarter.
  const std::string bf = imgtest::scratch("grey565.bmp");
  ASSERT_TRUE(imgtest::imageMagick("-size 32x32 xc:'rgb(64,64,64)' -type truecolor -define "
                                   "bmp:subtype=RGB565 '" +
                                   bf + "'"));
  const auto pages = convertWith(faximage::idBmp, bf);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NEAR(double(blackPixels(pages[0], 50, 82)) / (32 * 32), 17 / 32.0, 0.08);
}
