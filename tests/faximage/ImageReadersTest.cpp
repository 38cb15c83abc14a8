// TIFF, PCX and DCX inputs written by ImageMagick, converted and decoded
// again; the formats we do not read are refused without leaving a file.

#include "ImgTestSupport.h"

#include "faximage/FaxConverter.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

using namespace faximage;

namespace {

class ImageReaders : public testing::Test {
protected:
  static void SetUpTestSuite() {
    const PageBitmap chart = imgtest::loadChart(1);
    s_part = PageBitmap(603, 100); // odd width: the last byte has padding bits
    for (int y = 0; y < s_part.height(); ++y)
      for (int x = 0; x < s_part.width(); ++x)
        s_part.setPixel(x, y, chart.pixel(200 + x, 300 + y));
    std::string pbm = "P4\n603 100\n";
    pbm.append(s_part.bits().begin(), s_part.bits().end());
    imgtest::writeText(imgtest::scratch("part.pbm"), pbm);
    s_haveMagick =
        imgtest::imageMagick(imgtest::scratch("part.pbm") + " " + imgtest::scratch("part.gif"));
  }

  // Makes `name` from part.gif (1-bit images come out of ImageMagick only
  // from palette inputs) or part.pbm with the given options.
  std::string make(const std::string& name, const std::string& options,
                   const std::string& from = "part.gif") {
    const std::string out = imgtest::scratch(name);
    if (!imgtest::imageMagick(imgtest::scratch(from) + " " + options + " " + out))
      ADD_FAILURE() << "convert failed for " << name;
    return out;
  }

  std::vector<imgtest::DecodedPage> convert(TFaxInputDocumentType type, const std::string& in) {
    TFxFaxConverter c;
    c.setOptions(0);
    c.setInputDocumentType(type);
    c.setDocumentFile(in);
    c.ConvertDocument();
    return imgtest::decodeApf(c.OutFileName());
  }

  void expectRejected(TFaxInputDocumentType type, const std::string& in) {
    TFxFaxConverter c;
    c.setInputDocumentType(type);
    c.setDocumentFile(in);
    try {
      c.ConvertDocument();
      ADD_FAILURE() << in << " was accepted";
    } catch (const EBadGraphicsFormat& e) {
      EXPECT_STREQ(e.what(), "Unsupported graphics file format");
      EXPECT_EQ(e.ErrorCode(), -8002);
    }
    EXPECT_FALSE(imgtest::fileExists(c.OutFileName())) << in;
  }

  void expectPart(const std::vector<imgtest::DecodedPage>& pages, std::size_t count) {
    ASSERT_EQ(pages.size(), count);
    for (const auto& page : pages) {
      EXPECT_EQ(page.complaints, "");
      EXPECT_EQ("", imgtest::rowsDiffer(page.rows, imgtest::placeRows(s_part, 1728, 50)));
    }
  }

  static inline PageBitmap s_part;
  static inline bool s_haveMagick = false;
};

} // namespace

TEST_F(ImageReaders, TiffAndBmpFromImageMagick) {
  ASSERT_TRUE(s_haveMagick);
  expectPart(
      convert(idBmp, make("magick.bmp", "-type bilevel -define bmp:format=bmp3", "part.pbm")), 1);
  expectPart(convert(idBmp, make("magick4.bmp", "-type bilevel", "part.pbm")), 1);
  expectPart(convert(idTiff, make("none.tif", "-compress none", "part.pbm")), 1);
  expectPart(
      convert(idTiff, make("lsb.tif", "-define tiff:fill-order=lsb -compress none", "part.pbm")),
      1);
  expectPart(convert(idTiff, make("packbits.tif", "-compress RLE", "part.pbm")), 1);
  // Black stored as 1, big-endian, several strips.
  expectPart(convert(idTiff, make("strips.tif",
                                  "-define quantum:polarity=min-is-white -define "
                                  "tiff:rows-per-strip=7 -endian MSB -compress RLE",
                                  "part.pbm")),
             1);
}

// Monochrome PCX stores white as 1 (netpbm writes and reads it so).
// ImageMagick 6 writes its 1-bit PCX the other way round while keeping the
// same black/white palette, so its files are made from the negated image.
TEST_F(ImageReaders, PcxAndDcx) {
  ASSERT_TRUE(s_haveMagick);
  const std::string pcx = imgtest::scratch("netpbm.pcx");
  ASSERT_TRUE(imgtest::run("ppmtopcx " + imgtest::scratch("part.pbm") + " > " + pcx));
  expectPart(convert(idPcx, pcx), 1);

  // A DCX is a page table and PCX images: three copies of the netpbm page.
  const auto page = imgtest::readAll(pcx);
  std::vector<uint8_t> dcx = {0xB1, 0x68, 0xDE, 0x3A};
  for (uint32_t i = 0; i < 4; ++i) {
    const uint32_t offset = i < 3 ? 4 * 5 + i * uint32_t(page.size()) : 0;
    for (int b = 0; b < 4; ++b)
      dcx.push_back(uint8_t(offset >> (8 * b)));
  }
  for (int i = 0; i < 3; ++i)
    dcx.insert(dcx.end(), page.begin(), page.end());
  imgtest::writeAll(imgtest::scratch("netpbm.dcx"), dcx);
  expectPart(convert(idDcx, imgtest::scratch("netpbm.dcx")), 3);

  ASSERT_TRUE(imgtest::imageMagick(imgtest::scratch("part.pbm") + " -negate " +
                                   imgtest::scratch("negated.gif")));
  expectPart(convert(idPcx, make("magick.pcx", "", "negated.gif")), 1);
  const std::string neg = imgtest::scratch("negated.gif");
  const std::string magickDcx = imgtest::scratch("magick.dcx");
  ASSERT_TRUE(imgtest::imageMagick(neg + " " + neg + " " + neg + " " + magickDcx));
  expectPart(convert(idDcx, magickDcx), 3);
}

TEST_F(ImageReaders, UnsupportedFormatsAreRefused) {
  ASSERT_TRUE(s_haveMagick);
  expectRejected(idPcx, make("colour.pcx", "", "part.pbm")); // 8 bits, 3 planes
  expectRejected(idTiff, make("grey4.tif", "-type grayscale -depth 4 -compress none", "part.pbm"));
  expectRejected(idTiff, make("lzw.tif", "-compress lzw", "part.pbm"));
  expectRejected(idTiff, make("rgb1.tif", "-type truecolor -depth 1", "part.pbm"));
  expectRejected(idTiff, imgtest::scratch("part.pbm"));
  expectRejected(idDcx, imgtest::scratch("part.pbm"));
  expectRejected(idBmp, imgtest::scratch("part.pbm"));
}

TEST_F(ImageReaders, TruncatedFilesFailWithoutOutput) {
  ASSERT_TRUE(s_haveMagick);
  struct Case {
    TFaxInputDocumentType type;
    std::string file;
    std::size_t keep;
    int code;
  };
  // A BMP whose rows stop early is a read error; a TIFF that lost its
  // directory (ImageMagick puts it last) is no TIFF at all.
  for (const Case& k :
       {Case{idBmp, make("cut.bmp", "-type bilevel -define bmp:format=bmp3", "part.pbm"), 3000,
             -100},
        Case{idTiff, make("cut.tif", "-compress none", "part.pbm"), 600, -8002}}) {
    auto bytes = imgtest::readAll(k.file);
    ASSERT_GT(bytes.size(), k.keep);
    bytes.resize(k.keep);
    const std::string cut = imgtest::scratch("cut-" + std::to_string(k.type) + ".img");
    imgtest::writeAll(cut, bytes);
    TFxFaxConverter c;
    c.setInputDocumentType(k.type);
    c.setDocumentFile(cut);
    try {
      c.ConvertDocument();
      ADD_FAILURE() << k.file;
    } catch (const std::exception& e) {
      EXPECT_EQ(ErrorCodeOf(e), k.code) << k.file << ": " << e.what();
    }
    EXPECT_FALSE(imgtest::fileExists(c.OutFileName()));
  }
}
