// Modified Huffman row coding: the exact record bytes of known rows, and
// decoding by libtiff of every kind of row back to the pixels we coded.

#include "ImgTestSupport.h"

#include "faximage/MhEncoder.h"

#include <gtest/gtest.h>
#include <random>

using namespace faximage;
using imgtest::Rows;

namespace {

std::vector<uint8_t> record(const std::vector<uint8_t>& raw, RowLayout layout) {
  std::vector<uint8_t> padded(raw);
  padded.resize(4096, 0);
  std::vector<uint8_t> out(kMaxRowRecord, 0xEE);
  out.resize(encodeRowRecord(padded.data(), layout, out.data()));
  return out;
}

// Rows coded one after the other as the converter does, decoded by libtiff.
Rows roundTrip(const Rows& raw, RowLayout layout, std::string* complaints) {
  std::vector<uint8_t> stream;
  for (const auto& row : raw) {
    auto r = record(row, layout);
    stream.insert(stream.end(), r.begin(), r.end());
  }
  return imgtest::decodeWithLibtiff(stream, layout.width, int(raw.size()), complaints);
}

Rows doubled(const Rows& raw, int rawWidth) {
  Rows out;
  for (const auto& src : raw) {
    std::vector<uint8_t> row((std::size_t(rawWidth) * 2 + 7) / 8, 0);
    for (int x = 0; x < rawWidth; ++x)
      if (src[std::size_t(x) / 8] & (0x80 >> (x % 8)))
        for (int d = 0; d < 2; ++d)
          row[std::size_t(2 * x + d) / 8] |= uint8_t(0x80 >> ((2 * x + d) % 8));
    out.push_back(row);
  }
  return out;
}

Rows randomRows(int count, int width, unsigned seed, int runScale) {
  std::mt19937 rng(seed);
  Rows rows;
  for (int y = 0; y < count; ++y) {
    std::vector<uint8_t> row(std::size_t(width + 7) / 8, 0);
    bool black = rng() & 1;
    for (int x = 0; x < width;) {
      const int run = 1 + int(rng() % unsigned(runScale));
      for (int i = 0; i < run && x < width; ++i, ++x)
        if (black)
          row[std::size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
      black = !black;
    }
    rows.push_back(row);
  }
  return rows;
}

} // namespace

TEST(MhEncoder, KnownRecordBytes) {
  const std::vector<uint8_t> white(216, 0);
  EXPECT_EQ(record(white, {1728, 50, false}),
            (std::vector<uint8_t>{0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}));

  uint8_t blank[8];
  ASSERT_EQ(encodeBlankRowRecord(1728, blank), 4u);
  EXPECT_EQ(std::vector<uint8_t>(blank, blank + 4), (std::vector<uint8_t>{0x00, 0x28, 0x9B, 0x15}));
  // 2048 pixels fill exactly 32 bits, and one zero byte still follows.
  ASSERT_EQ(encodeBlankRowRecord(2048, blank), 5u);
  EXPECT_EQ(blank[4], 0);

  // Every record ends with at least eight 0 bits, whatever the row.
  for (const auto& row : randomRows(50, 1728, 7, 40)) {
    auto r = record(row, {1728, 0, false});
    EXPECT_EQ(r.back(), 0);
    EXPECT_EQ(r[0], 0x00);
    EXPECT_EQ(r[1], 0x80);
  }
}

TEST(MhEncoder, FirstRunCarriesTheMargin) {
  std::vector<uint8_t> row(216, 0);
  row[0] = 0x80; // first raw pixel black
  std::string complaints;
  auto decoded = roundTrip({row}, {1728, 50, false}, &complaints);
  ASSERT_EQ(decoded.size(), 1u) << complaints;
  EXPECT_EQ("", imgtest::rowsDiffer(decoded, imgtest::placeRows(Rows{row}, 1728, 1728, 50)));
  // With no margin the row starts with a white run of length 0: the code
  // 00110101 placed LSB first right after the EOL.
  auto r = record(row, {1728, 0, false});
  EXPECT_EQ(r[2], 0xAC);
  decoded = roundTrip({row}, {1728, 0, false}, &complaints);
  ASSERT_EQ(decoded.size(), 1u) << complaints;
  EXPECT_EQ(decoded[0][0] & 0x80, 0x80);
}

TEST(MhEncoder, LibtiffDecodesWhatWeCode) {
  struct Case {
    const char* what;
    int width, margin, runScale;
  };
  for (const Case c : {Case{"dense 1728", 1728, 0, 3}, Case{"dense 2048", 2048, 0, 2},
                       Case{"long runs", 2048, 0, 2500}, Case{"mixed with margin", 1728, 50, 90},
                       Case{"margin at 2048", 2048, 200, 20}}) {
    const int rawWidth = c.width - c.margin;
    const Rows raw = randomRows(200, rawWidth, unsigned(c.width + c.margin), c.runScale);
    std::string complaints;
    const Rows decoded = roundTrip(raw, {c.width, c.margin, false}, &complaints);
    EXPECT_EQ(complaints, "") << c.what;
    EXPECT_EQ("",
              imgtest::rowsDiffer(decoded, imgtest::placeRows(raw, rawWidth, c.width, c.margin)))
        << c.what;
  }
  // Alternating single pixels give the longest coded rows. (A row that also
  // starts black has one run more than libtiff's run buffer takes, so the
  // checked rows start white.)
  Rows checker(4, std::vector<uint8_t>(256, 0x55));
  checker[1].assign(256, 0x33);
  std::string complaints;
  EXPECT_EQ("", imgtest::rowsDiffer(roundTrip(checker, {2048, 0, false}, &complaints), checker))
      << complaints;
}

TEST(MhEncoder, RawPixelsBeyondTheRowAreNotCoded) {
  std::vector<uint8_t> row(256, 0xFF); // 2048 black raw pixels on a 1728 row after a margin
  std::string complaints;
  auto decoded = roundTrip({row}, {1728, 100, false}, &complaints);
  ASSERT_EQ(decoded.size(), 1u) << complaints;
  EXPECT_EQ("", imgtest::rowsDiffer(decoded, imgtest::placeRows(Rows{row}, 1628, 1728, 100)));
  // A margin wider than the row leaves one white run.
  decoded = roundTrip({row}, {1728, 5000, false}, &complaints);
  ASSERT_EQ(decoded.size(), 1u) << complaints;
  EXPECT_EQ(decoded[0], std::vector<uint8_t>(216, 0));
}

TEST(MhEncoder, DoubleWidthDoublesEveryPixel) {
  const Rows raw = randomRows(30, 839, 3, 12); // 50 + 2 * 839 = 1728: odd room is cut
  std::string complaints;
  const Rows decoded = roundTrip(raw, {1728, 50, true}, &complaints);
  EXPECT_EQ(complaints, "");
  EXPECT_EQ("",
            imgtest::rowsDiffer(decoded, imgtest::placeRows(doubled(raw, 839), 1678, 1728, 50)));
  const Rows wide = randomRows(10, 1000, 4, 30); // more than fits: cut at the row end
  EXPECT_EQ("", imgtest::rowsDiffer(roundTrip(wide, {1728, 51, true}, &complaints),
                                    imgtest::placeRows(doubled(wide, 1000), 2000, 1728, 51)))
      << complaints;
}
