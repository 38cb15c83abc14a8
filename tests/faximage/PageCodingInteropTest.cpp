// Our MH, MR and MMR coders against libtiff on the eight ITU charts: what we
// code libtiff decodes row for row, and what libtiff codes we decode.

#include "CodecTestSupport.h"

#include "faximage/PageDecoder.h"
#include "faximage/PageEncoder.h"
#include "faximage/PageRecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace faximage;

namespace {

// The first differing row, or -1.
int firstDifferentRow(const PageBitmap& a, const PageBitmap& b) {
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    if (!std::equal(a.row(y), a.row(y) + a.stride(), b.row(y)))
      return y;
  return a.height() == b.height() ? -1 : std::min(a.height(), b.height());
}

const char* name(FaxCoding c) {
  return c == FaxCoding::Mh ? "MH" : c == FaxCoding::Mr ? "MR" : "MMR";
}

} // namespace

TEST(PageCodingInterop, OurCodingDecodesRowExactInLibtiffAndInOurDecoder) {
  const CodingOptions codings[] = {{FaxCoding::Mh, 1, 0},
                                   {FaxCoding::Mr, 4, 0},
                                   {FaxCoding::Mr, 2, 800}, // standard k, minimum row time fill
                                   {FaxCoding::Mmr, 1, 0}};
  for (int n = 1; n <= 8; ++n) {
    const PageBitmap page = codectest::chart(n);
    for (const CodingOptions& o : codings) {
      SCOPED_TRACE("chart " + std::to_string(n) + " " + name(o.coding) + " k " +
                   std::to_string(o.k));
      const std::vector<uint8_t> coded = encodePage(page, o);
      EXPECT_EQ(firstDifferentRow(codectest::libtiffDecode(coded, o.coding, page.width(),
                                                           page.height()),
                                  page),
                -1);
      const DecodedPage ours = decodePage(coded.data(), coded.size(), o.coding, page.width());
      EXPECT_EQ(firstDifferentRow(ours.page, page), -1);
      EXPECT_EQ(ours.badRows, 0);
      EXPECT_TRUE(ours.ended);
    }
  }
}

TEST(PageCodingInterop, LibtiffCodingDecodesRowExactInOurDecoder) {
  for (int n = 1; n <= 8; ++n) {
    const PageBitmap page = codectest::chart(n);
    for (FaxCoding c : {FaxCoding::Mh, FaxCoding::Mr, FaxCoding::Mmr})
      for (bool fine : {true, false}) {
        if (c != FaxCoding::Mr && !fine)
          continue; // only MR codes differently at standard resolution
        SCOPED_TRACE("chart " + std::to_string(n) + " " + name(c) + (fine ? " fine" : ""));
        const std::vector<uint8_t> coded = codectest::libtiffEncode(page, c, fine);
        const DecodedPage ours = decodePage(coded.data(), coded.size(), c, page.width());
        EXPECT_EQ(firstDifferentRow(ours.page, page), -1);
        EXPECT_EQ(ours.badRows, 0);
      }
  }
}

// A page received in MMR is stored in MH, and a stored MH page goes out in MR:
// both pass through libtiff row-exact.
TEST(PageCodingInterop, RecodedPagesDecodeRowExactInLibtiff) {
  const PageBitmap page = codectest::chart(4);
  const auto mmr = codectest::libtiffEncode(page, FaxCoding::Mmr);
  const RecodedPage mh = recodePage(mmr.data(), mmr.size(), FaxCoding::Mmr, page.width(),
                                    {FaxCoding::Mh, 1, 0});
  EXPECT_EQ(mh.rows, page.height());
  EXPECT_EQ(firstDifferentRow(
                codectest::libtiffDecode(mh.data, FaxCoding::Mh, page.width(), page.height()),
                page),
            -1);
  const RecodedPage mr = recodePage(mh.data.data(), mh.data.size(), FaxCoding::Mh, page.width(),
                                    {FaxCoding::Mr, mrK(true), 0});
  EXPECT_TRUE(mr.ended);
  EXPECT_LT(mr.data.size(), mh.data.size());
  EXPECT_EQ(firstDifferentRow(
                codectest::libtiffDecode(mr.data, FaxCoding::Mr, page.width(), page.height()),
                page),
            -1);
}

// A second coder we did not write: Ghostscript's faxg32d (MR) and faxg4
// (MMR) devices, run on charts 1 and 2 at 204 x 196 dpi. They write the first
// bit of each byte in its top bit and leave out RTC and EOFB.
TEST(PageCodingInterop, GhostscriptCodingDecodesRowExactInOurDecoder) {
  for (int n = 1; n <= 2; ++n) {
    const PageBitmap page = codectest::chart(n);
    for (const auto& [ext, coding] :
         {std::pair{"faxg32d", FaxCoding::Mr}, std::pair{"faxg4", FaxCoding::Mmr}}) {
      const std::string path = std::string(TOLVANE_TEST_DATA) + "/faximage/ghostscript/itu" +
                               std::to_string(n) + "." + ext;
      SCOPED_TRACE(path);
      std::ifstream in(path, std::ios::binary);
      std::vector<uint8_t> coded{std::istreambuf_iterator<char>(in), {}};
      ASSERT_FALSE(coded.empty());
      for (uint8_t& b : coded) { // to our order, the first bit in bit 0
        uint8_t r = 0;
        for (int i = 0; i < 8; ++i)
          r = uint8_t(r | ((b >> i & 1) << (7 - i)));
        b = r;
      }
      const DecodedPage ours = decodePage(coded.data(), coded.size(), coding, page.width());
      EXPECT_EQ(firstDifferentRow(ours.page, page), -1);
      EXPECT_EQ(ours.badRows, 0);
    }
  }
}

// Rows that are not whole bytes or words, with black runs that reach the
// row's end: the decoder fills 64 pixels at a time and must leave the bits
// after the last pixel white.
TEST(PageCodingInterop, OddWidthsDecodeRowExactFromLibtiffCoding) {
  const PageBitmap chart = codectest::chart(7);
  for (int width : {1723, 203, 61}) {
    PageBitmap page(width, 300);
    for (int y = 0; y < page.height(); ++y) {
      for (int x = 0; x < width; ++x)
        page.setPixel(x, y, chart.pixel(x, 600 + y));
      for (int x = std::max(0, width - y % 70); x < width; ++x) // black to the end
        page.setPixel(x, y, true);
    }
    for (FaxCoding c : {FaxCoding::Mh, FaxCoding::Mr, FaxCoding::Mmr}) {
      SCOPED_TRACE("width " + std::to_string(width) + " " + name(c));
      const std::vector<uint8_t> coded = codectest::libtiffEncode(page, c);
      const DecodedPage ours = decodePage(coded.data(), coded.size(), c, width);
      EXPECT_EQ(firstDifferentRow(ours.page, page), -1);
      EXPECT_EQ(ours.badRows, 0);
    }
  }
}
