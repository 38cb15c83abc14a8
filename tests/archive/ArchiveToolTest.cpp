// tolvane-fax ocr and search on a data folder: a text file converted to a
// fax with the fax font, found by its words; words it lacks give exit code 1;
// a sent fax found by its text and named by its Sent record.
#include "../faxview/FaxFiles.h"

#include "archive/SentFaxes.h"
#include "core/FaxTables.h"
#include "core/SentFaxKey.h"
#include "platform/ProgramDir.h"
#include "xbase/Table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

const std::string kTool = TOLVANE_FAX_TOOL;

TEST(ArchiveTool, OcrPrintsThePageTextAndSearchFindsTheFax) {
  const std::string dir = faxtest::scratch("tool-data") + "/";
  std::filesystem::create_directories(dir + "receive");
  {
    std::ofstream text(dir + "order.txt");
    text << "PURCHASE ORDER 5521\n\nPlease deliver forty spruce battens\nto the Kingsway depot.\n";
  }
  int status = -1;
  faxtest::capture(kTool + " convert '" + dir + "order.txt' '" + dir + "receive/FAX00007.APF'",
                   &status);
  ASSERT_EQ(status, 0);

  const std::string text = faxtest::capture(kTool + " ocr '" + dir + "receive/FAX00007.APF'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(text.find("spruce battens"), std::string::npos) << text;

  const std::string found =
      faxtest::capture(kTool + " search Kingsway spruce --data-dir '" + dir + "' 2>/dev/null", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(found.find(dir + "receive/FAX00007.APF\t1 page(s)"), std::string::npos) << found;
  EXPECT_TRUE(std::filesystem::exists(dir + "archive.sqlite"));

  faxtest::capture(kTool + " search spruce walnut --data-dir '" + dir + "'", &status);
  EXPECT_EQ(status, 1 << 8); // the shell's exit status 1: nothing found

  // A sent fax: its pages kept for reading as the program keeps them when
  // it sends, found by a word of its body and named by its record.
  platform::setProgramDir(dir);
  std::string key;
  {
    xbase::Table sent;
    ASSERT_TRUE(app::OpenFaxDBF(sent));
    sent.append();
    sent.setField("SUBJECT", "Battens");
    sent.setField("RECIPIENT", "Kingsway Depot");
    sent.setField("PHONE", "5550100");
    sent.setMemo("RTFDOC", "{\\rtf1 Forty larch battens.\\par}");
    sent.post();
    key = app::SentFaxKey(sent);
  }
  {
    std::ofstream text(dir + "sent.txt");
    text << "We confirm the forty larch battens.\n";
  }
  faxtest::capture(kTool + " convert '" + dir + "sent.txt' '" + dir + "TOV_1.APF'", &status);
  ASSERT_TRUE(archive::KeepSentFaxPages(dir + "TOV_1.APF", dir + "sent-text/", key));
  const std::string sentFound =
      faxtest::capture(kTool + " search larch --data-dir '" + dir + "' 2>/dev/null", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(sentFound, "sent\tBattens\tKingsway Depot\t5550100\n");
}

} // namespace
