// PNG and JPEG pages at their printed size, the kind taken from the content.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace doctest;

TEST(ImageImport, PhotoAndScanAt300DpiKeepTheirPrintedSize) {
  // A 3 x 2 inch photograph as PNG (16-bit colour) and a letter page scanned
  // at 300 dpi as JPEG, both with their resolution stated.
  const std::string png = imgtest::scratch("photo.png"), jpg = imgtest::scratch("scan.jpg");
  ASSERT_TRUE(imgtest::imageMagick("-size 900x600 plasma:fractal -blur 0x2 -depth 16 -density 300 "
                                   "-units PixelsPerInch '" +
                                   png + "'"));
  ASSERT_TRUE(imgtest::imageMagick("-size 2550x3300 xc:white -fill black -draw 'rectangle "
                                   "150,150 2399,3149' -fill white -draw 'rectangle 160,160 "
                                   "2389,3139' -density 300 -units PixelsPerInch -quality 90 '" +
                                   jpg + "'"));
  const auto photo = importAll(png);
  ASSERT_EQ(photo.size(), 1u);
  EXPECT_EQ(photo[0].bitmap.width(), 1728);
  const Box p = blackBox(photo[0].bitmap);
  EXPECT_NEAR(p.x1 - p.x0, 3 * 204, 3); // 3 inches across
  EXPECT_NEAR(photo[0].bitmap.height(), 2 * 196, 2);
  EXPECT_NEAR((p.x0 + p.x1) / 2, 864, 3); // centred

  // 8.5 inches is a little more than the fax width: scaled to fit it. The
  // frame drawn half an inch in stays half an inch in.
  const auto scan = importAll(jpg);
  ASSERT_EQ(scan.size(), 1u);
  const Box s = blackBox(scan[0].bitmap);
  const double across = 1728 / 8.5;
  EXPECT_NEAR(s.x0, 0.5 * across, 3);
  EXPECT_NEAR(s.x1, 1728 - 0.5 * across, 3);
  EXPECT_NEAR(scan[0].bitmap.height(), std::lround(3300 * 1728 / 2550.0 * 196 / 204), 2);
  EXPECT_NEAR(s.y0, 0.5 * across * 196 / 204, 3);
}

TEST(ImageImport, KindComesFromTheContentNotTheName) {
  const std::string misnamed = imgtest::scratch("picture.txt");
  ASSERT_TRUE(imgtest::imageMagick("-size 200x100 xc:black png:'" + misnamed + "'"));
  const auto pages = importAll(misnamed);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_GT(blackBox(pages[0].bitmap).x1, 0);

  // A text file without extension is read as it is named, by the text reader.
  const std::string notes = imgtest::scratch("notes");
  imgtest::writeText(notes, "Meeting at ten.\r\n");
  const std::string apf = imgtest::scratch("notes.apf");
  docimport::convertDocument(notes, apf, {}, {}, "");
  EXPECT_EQ(imgtest::decodeApf(apf).size(), 1u);
}

TEST(ImageImport, UserChoiceOfHalftoneApplies) {
  const std::string png = imgtest::scratch("grey.png");
  ASSERT_TRUE(imgtest::imageMagick("-size 400x400 xc:gray60 '" + png + "'"));
  docimport::ImportOptions options;
  auto blackShare = [&](docimport::Halftone mode) {
    options.halftone = mode;
    const auto pages = importAll(png, options);
    long black = 0, all = 0;
    for (int y = 0; y < pages.at(0).bitmap.height(); ++y)
      for (int x = 700; x < 1000; ++x, ++all)
        black += pages[0].bitmap.pixel(x, y);
    return double(black) / double(all);
  };
  EXPECT_EQ(blackShare(docimport::Halftone::Threshold), 0.0); // 60 % grey is light
  EXPECT_NEAR(blackShare(docimport::Halftone::Diffuse), 0.4, 0.03);
  EXPECT_NEAR(blackShare(docimport::Halftone::Auto), 0.4, 0.03); // a photo-like area
}
