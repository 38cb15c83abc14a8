// The unpacker against libtiff: pages coded by libtiff's G3 encoder decode to
// the very rows of the ITU test charts, with either decoder, with or without
// length words and fill bits.
#include "DecTestSupport.h"

#include "faximage/UnpackerEngine.h"

#include <gtest/gtest.h>

using namespace faximage;
using namespace dectest;

namespace {

struct Decoded {
  std::vector<std::vector<uint8_t>> rows;
  unsigned long invalid = 0, dropped = 0;
};

Decoded unpack(const std::vector<uint8_t>& file, UnpackDecoder decoder) {
  const std::string path = tempPath("interop.apf");
  writeFile(path, file);
  Decoded d;
  UnpackerEngine engine([&](bool, bool, const uint8_t* data, int len, int) {
    d.rows.emplace_back(data, data + len);
  });
  engine.setDecoder(decoder);
  EXPECT_EQ(engine.unpackPage(path, 1), 0);
  d.invalid = engine.invalidCodes();
  d.dropped = engine.droppedRows();
  return d;
}

void expectRows(const Decoded& d, const Raster& r, const std::string& what) {
  ASSERT_EQ(d.rows.size(), std::size_t(r.height)) << what;
  for (int y = 0; y < r.height; ++y)
    ASSERT_TRUE(std::equal(r.row(y), r.row(y) + r.stride(), d.rows[y].begin()))
        << what << " row " << y;
  EXPECT_EQ(d.invalid, 0u) << what;
  EXPECT_EQ(d.dropped, 0u) << what;
}

class ItuChart : public ::testing::TestWithParam<int> {};

TEST_P(ItuChart, LibtiffCodedPageDecodesToTheChartRows) {
  const Raster chart = loadPbmGz(ituChart(GetParam()));
  ASSERT_EQ(chart.width, 1728);
  for (bool fill : {false, true}) {
    const std::vector<uint8_t> coded = libtiffG3(chart, fill);
    const std::string what = "chart " + std::to_string(GetParam()) + (fill ? " fill" : "");
    // As a receiver stores it: the plain bit stream.
    const auto plain = apfFile({{coded, 1}});
    expectRows(unpack(plain, UnpackDecoder::Fast), chart, what + " fast");
    expectRows(unpack(plain, UnpackDecoder::TreeWalk), chart, what + " tree");
    // As records whose boundaries fall inside codes.
    const auto records = apfFile({{withLengthWords(coded, 997), 5}});
    expectRows(unpack(records, UnpackDecoder::Fast), chart, what + " records");
  }
}

INSTANTIATE_TEST_SUITE_P(Charts, ItuChart, ::testing::Range(1, 9));

} // namespace
