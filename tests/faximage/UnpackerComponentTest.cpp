// TFxFaxUnpacker: properties, page queries, bitmaps, row events, exceptions.
#include "DecTestSupport.h"

#include "faximage/FaxUnpacker.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace faximage;
using namespace dectest;

namespace {

std::string twoPageFile() {
  const Raster chart = loadPbmGz(ituChart(5));
  MhWriter w;
  for (int y = 0; y < 400; ++y)
    w.row(chart.row(y + 1000), 1728);
  w.rtc();
  const auto path = tempPath("two.apf");
  writeFile(path, apfFile({{withLengthWords(w.bytes(), 300), 4}, {w.bytes(), 1 | 2}}));
  return path;
}

TEST(FaxUnpacker, NewComponentValuesAndOutFileName) {
  TFxFaxUnpacker u;
  EXPECT_EQ(u.Options(), TUnpackerOptionsSet(uoYield));
  EXPECT_EQ(u.AutoScaleMode, asDoubleHeight);
  EXPECT_EQ(u.HorizMult() * u.HorizDiv() * u.VertMult() * u.VertDiv(), 1u);
  u.SetHorizMult(0);
  u.SetVertDiv(3);
  EXPECT_EQ(u.HorizMult(), 1u);
  EXPECT_EQ(u.VertDiv(), 3u);
  u.SetInFileName("/tmp/dir.v2/Fax0001.APF");
  EXPECT_EQ(u.OutFileName, "/tmp/dir.v2/Fax0001");
  u.OutFileName = "kept";
  u.SetInFileName("/TMP/DIR.V2/fax0001.apf"); // same name but for case: nothing changes
  EXPECT_EQ(u.OutFileName, "kept");
  EXPECT_EQ(u.InFileName(), "/tmp/dir.v2/Fax0001.APF");
}

TEST(FaxUnpacker, PageQueriesAndBitmaps) {
  TFxFaxUnpacker u;
  u.SetInFileName(twoPageFile());
  EXPECT_EQ(u.CountPages(), 2);
  EXPECT_FALSE(u.FirstPageIsFine());
  EXPECT_FALSE(u.FirstPageIsWide());
  auto standard = u.PageToBitmap(1);
  EXPECT_EQ(standard->height(), 800); // doubled standard rows
  auto fine = u.PageToBitmap(2);
  EXPECT_EQ(fine->height(), 400);
  for (int y = 0; y < 400; ++y)
    ASSERT_EQ(std::memcmp(standard->row(2 * y), fine->row(y), fine->stride()), 0) << y;
  u.AutoScaleMode = asHalfWidth;
  EXPECT_EQ(u.PageToBitmap(1)->height(), 400);
  EXPECT_LE(u.PageToBitmap(1)->width(), 864);
}

TEST(FaxUnpacker, ErrorsRaiseTheirExceptions) {
  TFxFaxUnpacker u;
  u.SetInFileName(twoPageFile());
  try {
    u.PageToBitmap(3);
    FAIL() << "page 3 of 2 accepted";
  } catch (const EFaxBadFormat& e) {
    EXPECT_EQ(e.ErrorCode(), ecFaxBadFormat);
    EXPECT_STREQ(e.what(), "File is not an APF file");
  }
  u.WhitespaceCompression = true;
  u.WhitespaceFrom = 1;
  u.WhitespaceTo = 4;
  EXPECT_THROW(u.PageToBitmap(1), EBadArgument);
  EXPECT_THROW(u.CountPages(), EBadArgument); // every operation rebuilds the engine first
  u.WhitespaceCompression = false;
  u.SetInFileName("");
  EXPECT_EQ(u.CountPages(), 0);
  try {
    u.FirstPageIsFine();
    FAIL() << "empty file name accepted";
  } catch (const std::exception& e) {
    EXPECT_EQ(ErrorCodeOf(e), ecFileNotFound);
  }
}

TEST(FaxUnpacker, RowEventsStatusAndAbort) {
  TFxFaxUnpacker u;
  u.SetInFileName(twoPageFile());
  int rows = 0, starts = 0, ends = 0;
  long lastDone = -1, total = 0;
  u.OnOutputLine = [&](TFxCustomFaxUnpacker*, bool s, bool e, const uint8_t*, int len, int page) {
    EXPECT_EQ(page, 2);
    starts += s;
    ends += e;
    rows += !s && !e && len == 216;
  };
  u.OnStatus = [&](TFxCustomFaxUnpacker*, const std::string&, int, long done, long all) {
    EXPECT_GE(done, lastDone);
    lastDone = done;
    total = all;
  };
  u.UnpackPage(2);
  EXPECT_EQ(rows, 400);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(lastDone, total);
  // Abort from a status handler ends the page quietly with the rows so far.
  rows = 0;
  u.OnStatus = [&](TFxCustomFaxUnpacker* sender, const std::string&, int, long done, long) {
    if (done > 0)
      sender->SetOptions(uoYield | uoAbort);
  };
  EXPECT_NO_THROW(u.UnpackPage(2));
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, 400);
}

} // namespace
