// The simulator's MH coder against libtiff's fax decoder, and DLE framing.

#include <gtest/gtest.h>

#include "sim/class2/DleStream.h"
#include "sim/class2/MhCodec.h"
#include "tests/sim2/FaxPeer.h"

namespace tolvane::sim::test {
namespace {

std::vector<uint8_t> encodePage(const Page& page, int width, bool msbFirst, int minBits = 0) {
  mh::BitWriter w(msbFirst);
  for (const auto& row : page)
    mh::encodeRow(w, row, width, minBits);
  mh::encodeRtc(w);
  w.padToByte();
  return w.take();
}

TEST(MhCodec, LibtiffDecodesWhatWeEncodeInBothBitOrders) {
  for (int width : {1728, 2048, 2432}) {
    Page page = makeTestPage(width, 60, width);
    for (bool msbFirst : {false, true}) {
      std::vector<uint8_t> coded = encodePage(page, width, msbFirst, 200);
      EXPECT_EQ(decodeWithLibtiff(coded, width, 60, msbFirst), page)
          << width << (msbFirst ? " msb" : " lsb");
      mh::DecodeResult ours = mh::decodePage(coded.data(), coded.size(), width, msbFirst);
      EXPECT_EQ(ours.rows, page);
      EXPECT_EQ(ours.badRows, 0);
    }
  }
}

TEST(MhCodec, DecodesTheBlankLineDtesSendAndStopsAtRtc) {
  // EOL + white run 1728, least significant bit first, as DTEs pad pages
  std::vector<uint8_t> data;
  for (int i = 0; i < 3; ++i)
    data.insert(data.end(), {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00});
  mh::BitWriter rtc(false);
  mh::encodeRtc(rtc);
  rtc.padToByte();
  std::vector<uint8_t> tail = rtc.take();
  data.insert(data.end(), tail.begin(), tail.end());
  data.insert(data.end(), {0x00, 0x80, 0xB2, 0x59, 0x01}); // after RTC: not a row
  mh::DecodeResult r = mh::decodePage(data.data(), data.size(), 1728, false);
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0], mh::Row(216, 0));
  EXPECT_EQ(r.badRows, 0);
}

TEST(MhCodec, DamagedRowsAreKeptAndDecodingResyncsAtTheNextEol) {
  Page page = makeTestPage(1728, 20, 9);
  std::vector<uint8_t> coded = encodePage(page, 1728, false);
  for (size_t i = 40; i < 48; ++i)
    coded[i] = 0xFF; // garbage inside the first rows
  mh::DecodeResult r = mh::decodePage(coded.data(), coded.size(), 1728, false);
  EXPECT_GT(r.badRows, 0);
  ASSERT_GE(r.rows.size(), 15u);
  EXPECT_EQ(r.rows.back(), page.back());
}

TEST(DleFraming, DoubledDleAndEndMarkers) {
  std::vector<uint8_t> out;
  DleDecoder c2(false);
  const uint8_t a[] = {1, kDle, kDle, kDle, ',', 2, kDle, kDle, kDle, kEtx, 9};
  EXPECT_EQ(c2.feed(a, sizeof a, out), 10u);
  EXPECT_EQ(c2.end(), DleDecoder::End::Etx);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, kDle, 2, kDle}));

  out.clear();
  DleDecoder c20(true);
  const uint8_t b[] = {7, kDle, kSub, kDle};
  EXPECT_EQ(c20.feed(b, sizeof b, out), 4u);
  EXPECT_EQ(c20.end(), DleDecoder::End::None); // a DLE split across two reads
  const uint8_t c[] = {'.', 8};
  EXPECT_EQ(c20.feed(c, sizeof c, out), 1u);
  EXPECT_EQ(c20.end(), DleDecoder::End::LastPage);
  EXPECT_EQ(out, (std::vector<uint8_t>{7, kDle, kDle}));

  std::vector<uint8_t> escaped;
  const uint8_t d[] = {kDle, 0, kDle};
  appendDleEscaped(escaped, d, sizeof d);
  EXPECT_EQ(escaped, (std::vector<uint8_t>{kDle, kDle, 0, kDle, kDle}));
}

} // namespace
} // namespace tolvane::sim::test
