// Damaged coded pages: a bad MR row spoils the rows up to the next
// one-dimensional row and no further, the page keeps its length and the lost
// rows are counted; MMR keeps the rows before the damage.

#include "CodecTestSupport.h"

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"

#include <gtest/gtest.h>

using namespace faximage;

namespace {

// Bit positions just after each EOL of our MH or MR coding (no fill is
// used, so eleven zeros in a row occur only in EOLs).
std::vector<std::size_t> rowStarts(const std::vector<uint8_t>& coded) {
  std::vector<std::size_t> starts;
  int zeros = 0;
  for (std::size_t bit = 0; bit < coded.size() * 8; ++bit) {
    if (coded[bit / 8] >> (bit % 8) & 1) {
      if (zeros >= 11)
        starts.push_back(bit + 1);
      zeros = 0;
    } else {
      ++zeros;
    }
  }
  return starts;
}

// Sets two bytes in the middle of a row's code to ones: that cannot make an
// EOL, so the rows stay where they are.
std::vector<uint8_t> damaged(std::vector<uint8_t> coded, std::size_t fromBit, std::size_t toBit) {
  const std::size_t middle = (fromBit + toBit) / 16;
  coded[middle] = 0xFF;
  coded[middle + 1] = 0xFF;
  return coded;
}

bool sameRow(const PageBitmap& a, int ya, const PageBitmap& b, int yb) {
  return std::equal(a.row(ya), a.row(ya) + a.stride(), b.row(yb));
}

} // namespace

TEST(PageCodingDamage, BadRowSpoilsRowsUpToNextOneDimensionalRow) {
  const PageBitmap page = codectest::chart(1);
  // MR with k = 4: rows 0, 4, 8... one-dimensional; MH: each row on its own.
  for (const auto& [coding, k] : {std::pair{FaxCoding::Mr, 4}, std::pair{FaxCoding::Mh, 1}}) {
    SCOPED_TRACE(coding == FaxCoding::Mr ? "MR" : "MH");
    const auto coded = encodePage(page, {coding, k, 0});
    const auto starts = rowStarts(coded);
    // A row with long code (text) that is two-dimensional in MR.
    int y = 0;
    for (int cand = 1; cand + 1 < page.height(); cand += 4)
      if (starts[std::size_t(cand) + 1] - starts[std::size_t(cand)] > 200) {
        y = cand;
        break;
      }
    ASSERT_GT(y, 0);
    const auto bad = damaged(coded, starts[std::size_t(y)], starts[std::size_t(y) + 1]);
    const DecodedPage d = decodePage(bad.data(), bad.size(), coding, page.width());
    ASSERT_EQ(d.page.height(), page.height());
    EXPECT_TRUE(d.ended);
    const int nextOneDim = coding == FaxCoding::Mr ? (y / k + 1) * k : y + 1;
    EXPECT_EQ(d.badRows, nextOneDim - y);
    for (int r = 0; r < page.height(); ++r) {
      if (r >= y && r < nextOneDim)
        EXPECT_TRUE(sameRow(d.page, r, page, y - 1)) << "lost row " << r << " repeats the last good";
      else
        EXPECT_TRUE(sameRow(d.page, r, page, r)) << "row " << r;
    }
  }
}

TEST(PageCodingDamage, MmrKeepsRowsBeforeDamageAndCutData) {
  const PageBitmap page = codectest::chart(2);
  const auto coded = encodePage(page, {FaxCoding::Mmr, 1, 0});
  auto check = [&](const std::vector<uint8_t>& data, const char* what) {
    SCOPED_TRACE(what);
    const DecodedPage d = decodePage(data.data(), data.size(), FaxCoding::Mmr, page.width());
    EXPECT_FALSE(d.ended);
    EXPECT_GT(d.page.height(), 100);
    EXPECT_LT(d.page.height(), page.height());
    for (int r = 0; r < d.page.height() - 1; ++r)
      ASSERT_TRUE(sameRow(d.page, r, page, r)) << "row " << r;
  };
  check(damaged(coded, coded.size() * 4, coded.size() * 4), "damaged");
  check(std::vector<uint8_t>(coded.begin(), coded.begin() + long(coded.size() / 2)), "cut");
}
