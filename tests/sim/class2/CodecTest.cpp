// DLE framing, fill points in coded rows, and the test DTE's own MH coder
// checked against libtiff.

#include <gtest/gtest.h>

#include "sim/class2/DleStream.h"
#include "sim/class2/FillPoints.h"
#include "tests/sim/class2/FaxPeer.h"

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

TEST(TestDteCoder, LibtiffDecodesItsPagesInBothBitOrders) {
  for (int width : {1728, 2048, 2432}) {
    Page page = makeTestPage(width, 40, width);
    for (bool msbFirst : {false, true})
      EXPECT_EQ(decodeWithLibtiff(encodePage(page, width, msbFirst, 200), width, 40, msbFirst),
                page)
          << width << (msbFirst ? " msb" : " lsb");
  }
}

// Zero fill inserted at every fill point must leave the page as it was.
TEST(FillPoints, FillAtEveryPointLeavesThePageIntact) {
  Page page = makeTestPage(1728, 30, 3);
  std::vector<uint8_t> coded = encodePage(page, 1728, false);
  std::vector<uint8_t> filled;
  FillPoints points;
  size_t done = 0;
  int cuts = 0;
  for (size_t i = 0; i < coded.size(); i += 7) { // arbitrary chunks, as a DTE writes
    size_t n = std::min<size_t>(7, coded.size() - i);
    points.feed(coded.data() + i, n);
    if (points.latest() > done) {
      filled.insert(filled.end(), coded.begin() + done, coded.begin() + points.latest());
      filled.insert(filled.end(), 5, 0); // 40 bits of fill
      done = points.latest();
      ++cuts;
    }
  }
  filled.insert(filled.end(), coded.begin() + done, coded.end());
  EXPECT_GE(cuts, 25);
  EXPECT_EQ(decodeWithLibtiff(filled, 1728, 30, false), page);
}

TEST(FillPoints, NoFillPointInsideARow) {
  // the blank line DTEs send: EOL, then white 1728 (code 010011011)
  const uint8_t line[] = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};
  FillPoints points;
  points.feed(line, sizeof line);
  EXPECT_EQ(points.latest(), 0u); // only before the first EOL
  points.feed(line, 2);
  // the row's last code ends at bit 32; the zeros after it lead the next EOL
  EXPECT_EQ(points.latest(), 5u);
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
