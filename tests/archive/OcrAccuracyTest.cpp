// Word accuracy of the page reader on fax pages whose text is known: a
// letter drawn from RTF as the program draws faxes, and the ITU business
// letter chart, each at fine and standard resolution, written to APF files
// and read back through the same path a received fax takes.
#include "../faxview/FaxFiles.h"
#include "OcrPages.h"

#include "archive/FaxText.h"
#include "archive/ocr/FaxOcr.h"
#include "archive/ocr/PageOcr.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using archivetest::StandardRows;
using archivetest::TestText;
using archivetest::WordAccuracy;

double accuracyThroughApf(const faximage::PageBitmap& fine, bool standard,
                          const std::string& reference, const std::string& name) {
  static archive::PageOcr ocr("eng");
  const std::string path = faxtest::scratch(name);
  faxtest::writeApf(path, {standard ? StandardRows(fine) : fine}, !standard);
  const archive::FaxText text = archive::ReadFaxText(ocr, path);
  EXPECT_EQ(text.Pages.size(), 1u);
  const double accuracy = WordAccuracy(reference, text.Pages.empty() ? "" : text.Pages[0]);
  std::printf("%s: word accuracy %.1f %%\n", name.c_str(), 100.0 * accuracy);
  return accuracy;
}

TEST(OcrAccuracy, DrawnLetterAtFineAndStandard) {
  const std::string letter = TestText("letter.txt");
  const faximage::PageBitmap page = archivetest::DrawTextPage(letter, 12);
  EXPECT_GE(accuracyThroughApf(page, false, letter, "letter-fine.apf"), 0.98);
  EXPECT_GE(accuracyThroughApf(page, true, letter, "letter-standard.apf"), 0.95);
}

TEST(OcrAccuracy, ItuBusinessLetterAtFineAndStandard) {
  const std::string transcript = TestText("itu1.txt");
  const faximage::PageBitmap chart = faxtest::loadChart(1);
  EXPECT_GE(accuracyThroughApf(chart, false, transcript, "itu1-fine.apf"), 0.97);
  EXPECT_GE(accuracyThroughApf(chart, true, transcript, "itu1-standard.apf"), 0.90);
}

TEST(OcrAccuracy, WordAccuracyCountsEveryKindOfError) {
  EXPECT_DOUBLE_EQ(WordAccuracy("One two, three four.", "one TWO three four"), 1.0);
  EXPECT_DOUBLE_EQ(WordAccuracy("one two three four", "one too three"), 0.5);
  EXPECT_DOUBLE_EQ(WordAccuracy("one two", "one extra two more words"), -0.5);
}

} // namespace
