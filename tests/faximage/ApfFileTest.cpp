// APF layout: header fields, page records, locating pages, the plain page
// form, appending files.

#include "ImgTestSupport.h"

#include "faximage/ApfFile.h"
#include "faximage/ApfWriter.h"
#include "faximage/FaxConverter.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

using namespace faximage;

namespace {

uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) {
  return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
  return le16(b, at) | (uint32_t(le16(b, at + 2)) << 16);
}

// Converts `pages` user pages of `rows` rows each (a black bar in row 0).
std::string convertUser(const std::string& name, int pages, int rows, TFaxResolution res,
                        TFaxWidth width, const std::string& station = "") {
  TFxFaxConverter c;
  c.setInputDocumentType(idUser);
  c.setResolution(res);
  c.setWidth(width);
  c.setStationID(station);
  c.setOutFileName(imgtest::scratch(name));
  int page = 1, row = 0;
  c.OnReadUserLine = [&](TFxCustomFaxConverter*, uint8_t* data, int& len, bool& eop, bool& more) {
    eop = row == rows;
    more = page < pages;
    if (eop) {
      ++page;
      row = 0;
      return;
    }
    if (row++ == 0)
      data[3] = 0xFF;
    len = 4;
  };
  c.ConvertDocument();
  return c.OutFileName();
}

} // namespace

TEST(ApfFile, ConvertedFileLayout) {
  const std::string path = convertUser("layout.apf", 1, 5, frNormal, fwNormal);
  const auto b = imgtest::readAll(path);
  ASSERT_GE(b.size(), 64u + 16u + 14u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 6), std::string("APF10\x1A"));
  EXPECT_EQ(b[10], 0); // no station text: length 0 and 20 spaces
  EXPECT_EQ(std::string(b.begin() + 11, b.begin() + 31), std::string(20, ' '));
  EXPECT_EQ(le16(b, 32), 1);
  EXPECT_EQ(le32(b, 34), 64u);
  for (std::size_t i : {31u, 38u, 50u, 63u})
    EXPECT_EQ(b[i], 0) << i;
  EXPECT_NE(le32(b, 6), 0u); // date written when the file was finished
  EXPECT_EQ(le16(b, 64 + 4), PageFlagLengthWords);
  EXPECT_EQ(le32(b, 64), b.size() - 80);
  const std::vector<uint8_t> tail(b.end() - 14, b.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{12, 0, 0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00,
                                        0x08, 0x80, 0x00}));

  const auto fine = imgtest::readAll(convertUser("flags5.apf", 1, 2, frHigh, fwNormal));
  EXPECT_EQ(le16(fine, 68), 5);
  const auto wide = imgtest::readAll(convertUser("flags7.apf", 1, 2, frHigh, fwWide, "ABC"));
  EXPECT_EQ(le16(wide, 68), 7);
  EXPECT_EQ(wide[10], 3);
  EXPECT_EQ(std::string(wide.begin() + 11, wide.begin() + 31), "ABC" + std::string(17, ' '));
  const auto pages = imgtest::decodeApf(imgtest::scratch("flags7.apf"));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].complaints, "");
  ASSERT_EQ(pages[0].rows.size(), 2u);
  EXPECT_EQ(pages[0].rows[0], imgtest::placeRows({{0, 0, 0, 0xFF}}, 32, 2048, 50)[0]);
}

TEST(ApfFile, StationIdForms) {
  ApfFileHeader h = ApfFileHeader::fresh();
  h.setStationId("+1 555 0100 extension 42");
  EXPECT_EQ(h.stationIdLength, 20);
  EXPECT_EQ(h.stationId(), "+1 555 0100 extensio");
  h.setStationIdPadded("REMOTE");
  EXPECT_EQ(h.stationIdLength, 20);
  EXPECT_EQ(h.stationId(), "REMOTE" + std::string(14, ' '));
  uint8_t bytes[64];
  h.toBytes(bytes);
  const ApfFileHeader back = ApfFileHeader::fromBytes(bytes);
  EXPECT_EQ(back.stationId(), h.stationId());
  EXPECT_EQ(back.firstPageOffset, 64u);
}

TEST(ApfFile, DosDateOfKnownTimes) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 20;
  t.tm_min = 15;
  t.tm_sec = 9;
  t.tm_isdst = -1;
  const uint32_t v = dosDateTime(std::mktime(&t));
  EXPECT_EQ(v >> 16, uint32_t(7 | (12 << 5) | ((2026 - 1980) << 9)));
  EXPECT_EQ(v & 0xFFFF, uint32_t(4 | (15 << 5) | (20 << 11)));
  t.tm_year = 1975 - 1900;
  EXPECT_EQ(dosDateTime(std::mktime(&t)), 0u);
}

TEST(ApfFile, LocatesPagesAndRejectsWhatIsNotApf) {
  const std::string path = convertUser("three.apf", 3, 7, frNormal, fwNormal);
  ApfPageLocation p1, p2, p3, loc;
  ASSERT_EQ(locateApfPage(path, 1, p1), 0);
  ASSERT_EQ(locateApfPage(path, 2, p2), 0);
  ASSERT_EQ(locateApfPage(path, 3, p3), 0);
  EXPECT_EQ(p1.dataOffset, 64u + 16u);
  EXPECT_EQ(p3.dataOffset - 16, 64u + (16 + p1.header.imageLength) + (16 + p2.header.imageLength));
  EXPECT_EQ(locateApfPage(path, 4, loc), ecFaxBadFormat);
  EXPECT_EQ(locateApfPage(path, 0, loc), ecFaxBadFormat);
  EXPECT_EQ(locateApfPage("", 1, loc), ecFileNotFound);
  EXPECT_EQ(locateApfPage(imgtest::scratch("missing.apf"), 1, loc), ecFileNotFound);

  auto bytes = imgtest::readAll(path);
  bytes[5] = 0x1B;
  imgtest::writeAll(imgtest::scratch("bad-signature.apf"), bytes);
  ApfFileHeader h;
  EXPECT_EQ(readApfFileHeader(imgtest::scratch("bad-signature.apf"), h), ecFaxBadFormat);
  // A page count pointing past the end of the file is a read error, not a crash.
  bytes[5] = 0x1A;
  bytes[32] = 9;
  imgtest::writeAll(imgtest::scratch("short.apf"), bytes);
  EXPECT_EQ(locateApfPage(imgtest::scratch("short.apf"), 9, loc), ecDiskRead);
}

TEST(ApfFile, PlainAndRecordPagesCarryTheSameRows) {
  const std::string converted = convertUser("records.apf", 1, 9, frHigh, fwNormal);
  std::vector<uint8_t> stream;
  ApfPageHeader header;
  ASSERT_EQ(readApfPageData(converted, 1, stream, &header), 0);
  EXPECT_TRUE(header.lengthWords());

  // Store the same coded rows as the receiver does: one plain page.
  ApfWriter w;
  const std::string plain = imgtest::scratch("plain.apf");
  ASSERT_EQ(w.create(plain), 0);
  ASSERT_EQ(w.writePlainPage(PageFlagFine, stream.data(), stream.size()), 0);
  ASSERT_EQ(w.finishPadded("REMOTE", std::time(nullptr)), 0);

  std::vector<uint8_t> back;
  ASSERT_EQ(readApfPageData(plain, 1, back, &header), 0);
  EXPECT_EQ(header.pageFlags, PageFlagFine);
  EXPECT_EQ(back, stream);
  const auto a = imgtest::decodeWithLibtiff(stream, 1728, 9, nullptr);
  EXPECT_EQ(a.size(), 9u);
  EXPECT_EQ(a, imgtest::decodeApf(converted)[0].rows);
}

TEST(ApfFile, AppendingJoinsPagesAndKeepsTheHeader) {
  const std::string a = convertUser("join-a.apf", 2, 3, frHigh, fwNormal, "FIRST");
  const std::string b = convertUser("join-b.apf", 3, 4, frHigh, fwNormal, "SECOND");
  const auto before = imgtest::readAll(a);
  const auto bBytes = imgtest::readAll(b);
  ASSERT_EQ(appendApfPages(a, b), 0);
  const auto after = imgtest::readAll(a);
  ASSERT_EQ(after.size(), before.size() + bBytes.size() - 64);
  EXPECT_EQ(le16(after, 32), 5);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 32, after.begin()));
  EXPECT_TRUE(std::equal(bBytes.begin() + 64, bBytes.end(), after.begin() + long(before.size())));
  const auto pages = imgtest::decodeApf(a);
  ASSERT_EQ(pages.size(), 5u);
  EXPECT_EQ(pages[4].rows.size(), 4u);
  EXPECT_EQ(appendApfPages(a, imgtest::scratch("missing.apf")), ecFileNotFound);
  // A file appended to itself doubles once.
  ASSERT_EQ(appendApfPages(b, b), 0);
  EXPECT_EQ(imgtest::readAll(b).size(), 2 * bBytes.size() - 64);
  EXPECT_EQ(imgtest::decodeApf(b).size(), 6u);
}
