// Decoding rules of the unpacker engine on hand-made pages: aspect
// correction, blank-row compression, dropped and damaged rows, the page end,
// bitmap width, scaling, and rejected files.
#include "DecTestSupport.h"

#include "faximage/UnpackerEngine.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

using namespace faximage;
using namespace dectest;

namespace {

constexpr uint16_t kFine = 1, kWide = 2, kWords = 4;

std::vector<uint8_t> rowWithBlack(int width, int from, int count) {
  std::vector<uint8_t> r(std::size_t(width) / 8, 0);
  for (int x = from; x < from + count; ++x)
    r[x / 8] |= uint8_t(0x80 >> (x % 8));
  return r;
}

// Writes one page built by `fill` and returns the file's path.
template <class Fill>
std::string page(uint16_t flags, Fill fill, const std::string& name = "p.apf") {
  MhWriter w;
  fill(w);
  w.rtc();
  const std::string path = tempPath(name);
  writeFile(path, apfFile({{w.bytes(), flags}}));
  return path;
}

struct Collected {
  std::vector<std::vector<uint8_t>> rows;
  int rc = 0;
  unsigned long invalid = 0, dropped = 0;
};

Collected run(UnpackerEngine& engine, const std::string& path, int pageNo = 1) {
  Collected c;
  engine.setOutputRoutine(
      [&](bool, bool, const uint8_t* d, int len, int) { c.rows.emplace_back(d, d + len); });
  c.rc = engine.unpackPage(path, pageNo);
  c.invalid = engine.invalidCodes();
  c.dropped = engine.droppedRows();
  return c;
}

Collected runBoth(const std::string& path, unsigned option = 0, unsigned from = 0,
                  unsigned to = 0) {
  Collected results[2];
  for (int i = 0; i < 2; ++i) {
    UnpackerEngine engine;
    engine.setDecoder(i ? UnpackDecoder::TreeWalk : UnpackDecoder::Fast);
    if (option)
      engine.setOption(option, true);
    EXPECT_EQ(engine.setWhitespace(from, to), 0);
    results[i] = run(engine, path);
  }
  EXPECT_EQ(results[0].rows, results[1].rows) << "decoders disagree";
  EXPECT_EQ(results[0].invalid, results[1].invalid);
  EXPECT_EQ(results[0].dropped, results[1].dropped);
  return results[0];
}

TEST(UnpackAspect, StandardPagesDoubleTheRowsOrHalveTheWidth) {
  const auto black = rowWithBlack(1728, 100, 3);
  const auto path = page(0, [&](MhWriter& w) {
    w.row(black.data(), 1728);
    w.whiteRow(1728);
  });
  const Collected doubled = runBoth(path, kUnpackDoubleHeight);
  ASSERT_EQ(doubled.rows.size(), 4u);
  EXPECT_EQ(doubled.rows[0], black);
  EXPECT_EQ(doubled.rows[1], black);
  for (unsigned mode : {0u, kUnpackHalfWidth}) {
    const Collected halved = runBoth(path, mode);
    ASSERT_EQ(halved.rows.size(), 2u);
    // Pixels 100..102 become 50 and 51: black when either of a pair is.
    EXPECT_EQ(halved.rows[0], rowWithBlack(864, 50, 2));
    EXPECT_EQ(halved.rows[1].size(), 108u);
  }
}

TEST(UnpackAspect, FinePagesAreDeliveredUnchanged) {
  const auto black = rowWithBlack(2048, 2040, 8);
  const auto path = page(kFine | kWide, [&](MhWriter& w) { w.row(black.data(), 2048); });
  for (unsigned mode : {0u, kUnpackDoubleHeight, kUnpackHalfWidth}) {
    const Collected c = runBoth(path, mode);
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0], black);
  }
}

// Text row, `gap` blank rows, text row, `tail` blank rows.
std::string gapPage(int gap, int tail) {
  const auto text = rowWithBlack(1728, 8, 16);
  return page(kFine, [&](MhWriter& w) {
    w.row(text.data(), 1728);
    for (int i = 0; i < gap; ++i)
      w.whiteRow(1728);
    w.row(text.data(), 1728);
    for (int i = 0; i < tail; ++i)
      w.whiteRow(1728);
  });
}

std::size_t blankRows(const Collected& c) {
  return std::size_t(
      std::count_if(c.rows.begin(), c.rows.end(), [](auto& r) { return r.empty(); }));
}

TEST(UnpackWhitespace, LongBlankRunsShrinkShortOnesStay) {
  EXPECT_EQ(runBoth(gapPage(15, 0), 0, 10, 2).rows.size(), 4u);
  const Collected nine = runBoth(gapPage(9, 0), 0, 10, 2);
  EXPECT_EQ(nine.rows.size(), 11u);
  EXPECT_EQ(blankRows(nine), 9u); // compressed blank rows arrive with length 0
  EXPECT_EQ(runBoth(gapPage(10, 0), 0, 10, 2).rows.size(), 4u);
  // Trailing runs: shrunk with From != To, dropped with From = To.
  EXPECT_EQ(runBoth(gapPage(0, 15), 0, 10, 2).rows.size(), 4u);
  EXPECT_EQ(runBoth(gapPage(0, 3), 0, 10, 2).rows.size(), 5u);
  EXPECT_EQ(runBoth(gapPage(0, 15), 0, 5, 5).rows.size(), 2u);
  // Off: every row arrives as decoded.
  EXPECT_EQ(blankRows(runBoth(gapPage(15, 15))), 0u);
  EXPECT_EQ(runBoth(gapPage(15, 15)).rows.size(), 32u);
}

TEST(UnpackRows, RowsOfWrongLengthAreDroppedAndNeighboursKept) {
  const auto a = rowWithBlack(1728, 0, 1), b = rowWithBlack(1728, 1727, 1);
  const auto path = page(kFine, [&](MhWriter& w) {
    w.row(a.data(), 1728);
    w.eol();
    w.run(false, 1727); // one pixel short
    w.eol();
    w.run(false, 1736); // 217 whole bytes
    w.row(b.data(), 1728);
    w.eol();
    w.run(false, 1735); // 216 whole bytes and 7 bits: delivered
  });
  const Collected c = runBoth(path);
  ASSERT_EQ(c.rows.size(), 3u);
  EXPECT_EQ(c.rows[0], a);
  EXPECT_EQ(c.rows[1], b);
  EXPECT_EQ(c.rows[2], std::vector<uint8_t>(216, 0));
  EXPECT_EQ(c.dropped, 2u);
}

TEST(UnpackRows, ABitErrorLosesOnlyItsRow) {
  const auto text = rowWithBlack(1728, 300, 40);
  MhWriter w;
  for (int i = 0; i < 3; ++i)
    w.row(text.data(), 1728);
  w.rtc();
  auto coded = w.bytes();
  coded[9] ^= 0x10; // inside the second row's codes
  const auto path = tempPath("err.apf");
  writeFile(path, apfFile({{coded, kFine}}));
  const Collected c = runBoth(path);
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[0], text);
  EXPECT_EQ(c.rows[1], text);
  EXPECT_GE(c.invalid + c.dropped, 1u);
}

TEST(UnpackRows, InvalidCodesAreCountedAndSkipped) {
  const auto text = rowWithBlack(1728, 10, 10);
  const auto path = page(kFine, [&](MhWriter& w) {
    w.row(text.data(), 1728);
    w.eol();
    w.bits(0x0, 9);     // nine 0 bits then a 1: no code of either colour
    w.bits(0xF, 4);     // the 13th bit ends the walk: one invalid code
    w.bits(0x7, 3);     // ones after an invalid code are skipped
    w.run(false, 1728); // the row goes on after the bad code
    w.row(text.data(), 1728);
  });
  const Collected c = runBoth(path);
  EXPECT_EQ(c.invalid, 1u);
  ASSERT_EQ(c.rows.size(), 3u);
  EXPECT_EQ(c.rows[1], std::vector<uint8_t>(216, 0));
  EXPECT_EQ(c.rows[2], text);
}

TEST(UnpackRows, FillBeforeEolAndRunsBeforeTheFirstEolAreIgnored) {
  const auto text = rowWithBlack(1728, 64, 64);
  const auto path = page(kFine, [&](MhWriter& w) {
    w.run(false, 1728); // no EOL yet: ignored
    w.eol(37);
    w.run(false, 64);
    w.run(true, 64);
    w.run(false, 1600);
    w.eol(3);
  });
  const Collected c = runBoth(path);
  ASSERT_EQ(c.rows.size(), 1u);
  EXPECT_EQ(c.rows[0], text);
}

TEST(UnpackRows, ThreeEolsEndThePageAndRunsResetTheCount) {
  const auto text = rowWithBlack(1728, 5, 5);
  const auto path = page(kFine, [&](MhWriter& w) {
    w.row(text.data(), 1728);
    w.eol(); // with the next row's EOL two in a row; its runs reset the count
    w.row(text.data(), 1728);
    w.rtc(3);
    w.row(text.data(), 1728); // after the page end: never read
  });
  EXPECT_EQ(runBoth(path).rows.size(), 2u);
}

TEST(UnpackRows, OversizedRowsCannotOverrunTheRowBuffer) {
  // 2560-pixel black runs pile up far past the 4096-pixel row buffer.
  const auto path = page(kFine, [&](MhWriter& w) {
    w.eol();
    for (int i = 0; i < 6; ++i) {
      w.run(false, 0);
      w.run(true, 2560 + 63);
    }
    w.whiteRow(1728);
  });
  const Collected c = runBoth(path);
  EXPECT_EQ(c.rows.size(), 1u);
  EXPECT_EQ(c.dropped, 1u);
}

TEST(UnpackBitmap, WidthIsTheWidestUsedByteMadeEven) {
  const auto path = page(kFine, [&](MhWriter& w) {
    const auto r = rowWithBlack(1728, 40 * 8 + 3, 1);
    w.whiteRow(1728);
    w.row(r.data(), 1728);
  });
  UnpackerEngine engine;
  PageBitmap bm;
  ASSERT_EQ(engine.unpackPageToBitmap(path, 1, false, bm), 0);
  EXPECT_EQ(bm.width(), 336);
  EXPECT_EQ(bm.height(), 2);
  EXPECT_TRUE(bm.pixel(323, 1));
  PageBitmap inverted;
  ASSERT_EQ(engine.unpackPageToBitmap(path, 1, true, inverted), 0);
  EXPECT_EQ(inverted.width(), 336);
  EXPECT_FALSE(inverted.pixel(323, 1));
  EXPECT_TRUE(inverted.pixel(322, 1));
  EXPECT_TRUE(inverted.pixel(335, 0)); // padding byte is white
}

TEST(UnpackBitmap, EmptyPageGivesEmptyBitmapAndReuseGivesSameResult) {
  UnpackerEngine engine;
  PageBitmap bm;
  const auto empty = page(
      kFine, [](MhWriter&) {}, "empty.apf");
  ASSERT_EQ(engine.unpackPageToBitmap(empty, 1, false, bm), 0);
  EXPECT_TRUE(bm.empty());
  const Raster chart = loadPbmGz(ituChart(2));
  Raster wide;
  wide.width = 2048;
  wide.height = 300;
  wide.bits.assign(256 * 300, 0);
  for (int y = 0; y < 300; ++y)
    std::copy(chart.row(y), chart.row(y) + 216, wide.bits.begin() + y * 256 + 40);
  const auto path = tempPath("wide.apf");
  writeFile(path, apfFile({{libtiffG3(wide, false), kFine | kWide}}));
  PageBitmap first, second;
  ASSERT_EQ(UnpackerEngine().unpackPageToBitmap(path, 1, true, first), 0);
  ASSERT_EQ(engine.unpackPageToBitmap(path, 1, true, second), 0);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.height(), 300);
}

TEST(UnpackBitmap, ScalingStretchesAndShrinkingKeepsBlack) {
  const auto r = rowWithBlack(1728, 9, 1); // a single black pixel in byte 1
  const auto path = page(kFine, [&](MhWriter& w) {
    for (int i = 0; i < 4; ++i)
      w.row(r.data(), 1728);
  });
  UnpackerEngine engine;
  engine.setScaling(1, 4, 1, 2);
  PageBitmap bm;
  ASSERT_EQ(engine.unpackPageToBitmap(path, 1, false, bm), 0);
  EXPECT_EQ(bm.width(), 4);
  EXPECT_EQ(bm.height(), 2);
  EXPECT_TRUE(bm.pixel(2, 0));
  EXPECT_FALSE(bm.pixel(1, 0));
  engine.setScaling(3, 1, 2, 1);
  ASSERT_EQ(engine.unpackPageToBitmap(path, 1, false, bm), 0);
  EXPECT_EQ(bm.width(), 48);
  EXPECT_EQ(bm.height(), 8);
  EXPECT_TRUE(bm.pixel(27, 7) && bm.pixel(29, 7));
  EXPECT_FALSE(bm.pixel(26, 7) || bm.pixel(30, 7));
}

TEST(UnpackFiles, BadFilesAndPagesAreRejected) {
  UnpackerEngine engine;
  MhWriter w;
  w.whiteRow(1728);
  w.rtc();
  const auto good = apfFile({{w.bytes(), 0}, {w.bytes(), 0}, {w.bytes(), 0}});
  const auto path = tempPath("three.apf");
  writeFile(path, good);
  EXPECT_EQ(engine.unpackPage(path, 3), 0);
  EXPECT_EQ(engine.unpackPage(path, 4), ecFaxBadFormat);
  EXPECT_EQ(engine.unpackPage(path, 0), ecFaxBadFormat);
  EXPECT_EQ(ErrorText(ecFaxBadFormat), "File is not an APF file");
  EXPECT_EQ(engine.unpackPage("", 1), ecFileNotFound);
  EXPECT_LT(engine.unpackPage(tempPath("missing.apf"), 1), 0);
  auto bad = good;
  bad[5] = 0x1B;
  writeFile(path, bad);
  EXPECT_EQ(engine.unpackPage(path, 1), ecFaxBadFormat);
  // Page data cut short: without length words that is a bad file.
  auto cut = apfFile({{w.bytes(), 0}});
  cut.resize(cut.size() - 9); // leaves the row and three bits of its end-of-page EOLs
  writeFile(path, cut);
  EXPECT_EQ(engine.unpackPage(path, 1), ecFaxBadFormat);
  // A record claiming more than the page holds stops at the page's end.
  auto records = withLengthWords(w.bytes(), 4096);
  records[0] = 0xFF;
  records[1] = 0x7F;
  writeFile(path, apfFile({{records, kWords}, {w.bytes(), 0}}));
  EXPECT_EQ(engine.unpackPage(path, 1), 0);
  EXPECT_EQ(engine.unpackPage(path, 2), 0);
}

TEST(UnpackFiles, ReceivedAndConvertedFormsGiveTheSameRows) {
  const Raster chart = loadPbmGz(ituChart(1));
  MhWriter w;
  for (int y = 0; y < 200; ++y)
    w.row(chart.row(y + 500), 1728);
  w.rtc();
  const auto plainPath = tempPath("plain.apf"), wordsPath = tempPath("words.apf");
  writeFile(plainPath, apfFile({{w.bytes(), 0}}));
  writeFile(wordsPath, apfFile({{withLengthWords(w.bytes(), 61), kWords}}));
  const Collected plain = runBoth(plainPath), words = runBoth(wordsPath);
  EXPECT_EQ(plain.rows.size(), 200u);
  EXPECT_EQ(plain.rows, words.rows);
}

} // namespace
