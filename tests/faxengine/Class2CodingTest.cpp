// MMR with error correction in Class 2 and 2.0 calls with spandsp's remote
// fax machine: the simulated modem reports both, negotiates them and does
// the error correction itself, while the page data between it and Tolvane
// is MMR. Pages arrive row for row (libtiff decodes what the remote stored;
// the image library decodes our APF files), through a noisy line too.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

class Class2Mmr : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(Class2Mmr, SentPagesArriveRowForRow) {
  const TFaxClass cls = GetParam();
  SimModem sim(faxtest::ModelOf(cls),
               {"--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX ecm=1 coding=mmr"},
               faxtest::LineSpeedOf(cls));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  // Two pages: the second goes once the remote has confirmed the first,
  // from the modem's memory.
  const std::string apf = faxtest::MakeApf(sim.Dir(), 2, 8);
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, cls, "5551234", apf);
  fax.SetDesiredECM(true);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  const std::string log = sim.Log();
  ASSERT_TRUE(out.finished) << log;
  ASSERT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_NE(log.find("coding T.6, ecm 1"), std::string::npos) << log;

  const Pages sent = faxtest::ApfRows(apf);
  Pages got;
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    got.insert(got.end(), p.begin(), p.end());
  }
  ASSERT_EQ(got.size(), 2u) << log;
  for (size_t p = 0; p < 2; ++p) {
    // Eight blank rows on top, then the page.
    ASSERT_EQ(got[p].size(), sent[p].size() + 8) << "page " << p + 1 << "\n" << log;
    for (size_t y = 0; y < got[p].size(); ++y)
      ASSERT_EQ(got[p][y], y < 8 ? std::vector<uint8_t>(216, 0) : sent[p][y - 8])
          << "page " << p + 1 << " row " << y;
  }
}

TEST_P(Class2Mmr, ReceivedPagesAreStoredRowForRow) {
  const TFaxClass cls = GetParam();
  Pages pages(2);
  for (int p = 0; p < 2; ++p)
    for (int y = 0; y < 100; ++y) {
      std::vector<uint8_t> row(216, 0);
      // Slanted strokes, which MMR codes from the row above.
      for (int x = (y + p * 3) % 9; x < 216; x += 9 + p)
        row[x] = static_cast<uint8_t>(0xF0 >> (y % 4));
      pages[p].push_back(row);
    }
  char tmpl[] = "/tmp/tolvane-rxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(faxtest::ModelOf(cls),
               {"--number", "777 fax ident=CALLER ecm=1 coding=mmr file=" + src + "/in.tif",
                "--call", "777 com1 at=6"},
               faxtest::LineSpeedOf(cls));
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, cls, folder);
  fax.SetDesiredECM(true);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginReceive(); }, 120);
  fs::remove_all(src);
  const std::string log = sim.Log();
  ASSERT_TRUE(out.finished) << log;
  EXPECT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_NE(log.find("coding T.6, ecm 1"), std::string::npos) << log;
  const std::string apf = folder + "/FAX0001.APF";
  EXPECT_EQ(faxtest::ReceivedPageEndFaults(apf), "");
  const Pages got = faxtest::ApfRows(apf);
  ASSERT_EQ(got.size(), 2u) << log;
  for (size_t p = 0; p < 2; ++p) {
    ASSERT_EQ(got[p].size(), pages[p].size()) << "page " << p + 1 << "\n" << log;
    for (size_t y = 0; y < pages[p].size(); ++y)
      ASSERT_EQ(got[p][y], pages[p][y]) << "page " << p + 1 << " row " << y;
  }
}

// Bit errors on the line to the remote: the modem's own error correction
// sends the frames the remote asks for again (PPR), from the block it built
// of the DTE's page, and the page arrives row for row.
TEST(Class2MmrLineErrors, FramesAskedForAgainComeFromTheModemsMemory) {
  SimModem sim("class120",
               {"--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX ecm=1 coding=mmr "
                            "bit-errors=2e-4 seed=3"},
               faxtest::LineSpeedOf(fcClass2_0));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), 1, 20);
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, fcClass2_0, "5551234", apf);
  fax.SetDesiredECM(true);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  const std::string log = sim.Log();
  ASSERT_TRUE(out.finished) << log;
  ASSERT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_NE(log.find("coding T.6, ecm 1"), std::string::npos) << log;
  std::smatch pprs;
  ASSERT_TRUE(std::regex_search(log, pprs, std::regex("pprs ([0-9]+)"))) << log;
  EXPECT_GT(std::stoi(pprs[1]), 0) << "frames were asked for again: " << log;
  const Pages sent = faxtest::ApfRows(apf);
  const auto tiffs = faxtest::TiffsIn(sim.Dir() + "/RX");
  ASSERT_EQ(tiffs.size(), 1u) << log;
  const Pages got = faxtest::TiffRows(tiffs[0]);
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].size(), sent[0].size() + 8) << log;
  for (size_t y = 8; y < got[0].size(); ++y)
    ASSERT_EQ(got[0][y], sent[0][y - 8]) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Classes, Class2Mmr, ::testing::Values(fcClass2, fcClass2_0),
                         faxtest::ClassTestName);

} // namespace
