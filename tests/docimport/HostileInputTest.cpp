// Damaged and hostile files end in a clear ImportError from the isolated
// reader, quickly and without taking the test program down.

#include "../faximage/ImgTestSupport.h"
#include "DocImportSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <zlib.h>

using namespace doctest;

namespace {

std::string isolatedError(const std::string& path) {
  int pages = 0;
  const std::string message = importErrorOf(
      [&] { docimport::importPagesIsolated(path, {}, [&](docimport::FaxPage&&) { ++pages; }); });
  EXPECT_EQ(pages, 0) << path;
  return message;
}

void put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// A little-endian TIFF of one bilevel G4 page whose tags say what we like.
std::vector<uint8_t> tiffWith(uint32_t width, uint32_t height, uint32_t stripOffset,
                              uint32_t stripBytes) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0};
  put32(b, 8);
  const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                              {273, 4}, {277, 3}, {278, 4}, {279, 4}};
  const uint32_t values[] = {width, height, 1, 4, 0, stripOffset, 1, height, stripBytes};
  put16(b, 9);
  for (int i = 0; i < 9; ++i) {
    put16(b, tags[i][0]);
    put16(b, tags[i][1]);
    put32(b, 1);
    put32(b, values[i]);
  }
  put32(b, 0);
  b.resize(b.size() + 64, 0);
  return b;
}

} // namespace

TEST(HostileInput, DamagedAndProtectedPdf) {
  const auto full = imgtest::readAll(docData("report.pdf"));
  const std::string cut = imgtest::scratch("cut.pdf");
  imgtest::writeAll(cut, std::vector<uint8_t>(full.begin(), full.begin() + full.size() / 2));
  EXPECT_NE(isolatedError(cut).find("damaged"), std::string::npos);
  // Made by Ghostscript with a user password.
  EXPECT_NE(isolatedError(docData("encrypted.pdf")).find("password"), std::string::npos);
}

TEST(HostileInput, TenThousandPagePdfIsRefusedBeforeDrawing) {
  const std::string pdf = imgtest::scratch("many.pdf");
  writeMinimalPdf(pdf, 10000, "72 72 m 500 500 l S");
  EXPECT_NE(isolatedError(pdf).find("10000 pages"), std::string::npos);
}

TEST(HostileInput, HugeImagesAreRefusedFromTheirHeaders) {
  // 100,000 x 100,000 pixels claimed by a PNG, a TIFF and a JPEG header.
  const std::string png = imgtest::scratch("huge.png"), tif = imgtest::scratch("huge.tif"),
                    jpg = imgtest::scratch("huge.jpg");
  ASSERT_TRUE(imgtest::imageMagick("-size 64x64 xc:white '" + png + "'"));
  ASSERT_TRUE(imgtest::imageMagick("-size 64x64 xc:white '" + jpg + "'"));
  auto patch = [](const std::string& path, std::size_t at, std::vector<uint8_t> bytes) {
    auto b = imgtest::readAll(path);
    std::copy(bytes.begin(), bytes.end(), b.begin() + long(at));
    imgtest::writeAll(path, b);
  };
  patch(png, 16, {0x00, 0x01, 0x86, 0xA0, 0x00, 0x01, 0x86, 0xA0}); // IHDR width, height
  {
    auto b = imgtest::readAll(png); // the IHDR checksum over its type and data
    const uLong crc = crc32(0, b.data() + 12, 17);
    patch(png, 29, {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  }
  imgtest::writeAll(tif, tiffWith(100000, 100000, 8, 64));
  // JPEG SOF0 height and width are 16 bits: 65,000 each.
  auto j = imgtest::readAll(jpg);
  for (std::size_t i = 0; i + 8 < j.size(); ++i)
    if (j[i] == 0xFF && (j[i + 1] == 0xC0 || j[i + 1] == 0xC2)) {
      j[i + 5] = j[i + 7] = 0xFD;
      j[i + 6] = j[i + 8] = 0xE8;
      break;
    }
  imgtest::writeAll(jpg, j);
  for (const std::string& path : {png, tif, jpg})
    EXPECT_NE(isolatedError(path).find("too large"), std::string::npos) << path;
}

TEST(HostileInput, TiffWithLyingStripTable) {
  const std::string beyond = imgtest::scratch("beyond.tif");
  imgtest::writeAll(beyond, tiffWith(1728, 2200, 0x7FFFFFF0, 0xFFFFFFF0));
  EXPECT_NE(isolatedError(beyond).find("damaged"), std::string::npos);
  // A strip that claims the whole page but holds 64 zero bytes of G4.
  const std::string shortStrip = imgtest::scratch("short.tif");
  imgtest::writeAll(shortStrip, tiffWith(1728, 2200, 8 + 2 + 9 * 12 + 4, 64));
  EXPECT_NE(isolatedError(shortStrip), "");
}

TEST(HostileInput, WordProcessorFilesNeedLibreOfficeOrSaySo) {
  const std::string rtf = imgtest::scratch("memo.rtf");
  imgtest::writeText(rtf, "{\\rtf1\\ansi Hello}");
  // With an empty PATH no LibreOffice can be found: the message names the package.
  const char* saved = std::getenv("PATH");
  const std::string path = saved ? saved : "";
  ::setenv("PATH", "/nonexistent", 1);
  const std::string message = importErrorOf(
      [&] { docimport::convertDocument(rtf, imgtest::scratch("memo.apf"), {}, {}, ""); });
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_NE(message.find("libreoffice-writer"), std::string::npos) << message;
}

TEST(HostileInput, FuzzFindingsStayFixed) {
  // Inputs the fuzz targets once failed on, read in this process.
  const std::string dir = docData("fuzz");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++files;
    docimport::ImportOptions options;
    options.maxPages = 4;
    std::string message = importErrorOf([&] { importAll(entry.path().string(), options); });
    SCOPED_TRACE(entry.path().string() + ": " + message);
  }
  EXPECT_GT(files, 0);
}

TEST(HostileInput, PagesBeforeADamagedPageArriveInOrderThenItsError) {
  // Page 3 of 5 has a size no page has. Pages are made several at a time, yet pages 1
  // and 2 arrive, in order, and then the error names page 3.
  const std::string letter = "/MediaBox [0 0 612 792]";
  const std::string pdf = imgtest::scratch("damaged-page.pdf");
  writeMinimalPdf(
      pdf, "72 72 72 72 re f",
      {letter, "/MediaBox [0 0 1224 1584]", "/MediaBox [0 0 2000000 2000000]", letter, letter});
  std::vector<int> widths;
  const std::string error = importErrorOf([&] {
    docimport::importPages(pdf, {}, [&](docimport::FaxPage&& page) {
      const Box box = blackBox(page.bitmap);
      widths.push_back(box.x1 - box.x0);
    });
  });
  EXPECT_NE(error.find("Page 3"), std::string::npos) << error;
  ASSERT_EQ(widths.size(), 2u);
  // The second page, twice as wide, is drawn at half the scale: its square
  // is half as wide, so the pages came in their order.
  EXPECT_NEAR(widths[0], 72 * 1728 / 612, 3);
  EXPECT_NEAR(widths[1], 72 * 1728 / 1224, 3);
}
