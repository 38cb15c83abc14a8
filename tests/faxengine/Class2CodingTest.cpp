// Error correction in Class 2 and 2.0 calls with spandsp's remote fax
// machine: the simulated modem reports it and MMR, negotiates them and does
// the error correction itself, while the page data between it and Tolvane
// is MMR (or MH, where the remote has no two-dimensional coding). Pages
// arrive row for row (libtiff decodes what the remote stored; the image
// library decodes our APF files), through a noisy line too.

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

struct SendRun {
  CallOutcome out;
  std::string log;
  Pages sent, got;
};

// We send `pages` standard pages of `lines` with error correction to the
// remote, with `remote`'s options besides (its codings).
SendRun SendEcm(TFaxClass cls, const std::string& remote, int pages, int lines) {
  SendRun run;
  SimModem sim(faxtest::ModelOf(cls),
               {"--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX ecm=1 " + remote},
               faxtest::LineSpeedOf(cls));
  EXPECT_TRUE(sim.Started());
  if (!sim.Started())
    return run;
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), pages, lines);
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, cls, "5551234", apf);
  fax.SetDesiredECM(true);
  run.out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  run.log = sim.Log();
  run.sent = faxtest::ApfRows(apf);
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    run.got.insert(run.got.end(), p.begin(), p.end());
  }
  return run;
}

// The call went in `line`'s coding with error correction, and every page
// arrived: eight blank rows on top, then the page.
void ExpectSent(const SendRun& run, const std::string& line) {
  ASSERT_TRUE(run.out.finished) << run.log;
  ASSERT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_NE(run.log.find("coding " + line + ", ecm 1"), std::string::npos) << run.log;
  ASSERT_EQ(run.got.size(), run.sent.size()) << run.log;
  for (size_t p = 0; p < run.sent.size(); ++p) {
    ASSERT_EQ(run.got[p].size(), run.sent[p].size() + 8) << "page " << p + 1 << "\n" << run.log;
    for (size_t y = 0; y < run.got[p].size(); ++y)
      ASSERT_EQ(run.got[p][y], y < 8 ? std::vector<uint8_t>(216, 0) : run.sent[p][y - 8])
          << "page " << p + 1 << " row " << y;
  }
}

struct EcmCase {
  TFaxClass cls;
  const char* remote; // the codings the remote offers
  const char* line;   // the coding both ends take, as the remote reports it
  const char* name;
};

void PrintTo(const EcmCase& c, std::ostream* os) {
  *os << c.name;
}

class Class2Ecm : public ::testing::TestWithParam<EcmCase> {};

// Two pages: the second goes once the remote has confirmed the first, from
// the modem's memory.
TEST_P(Class2Ecm, SentPagesArriveRowForRow) {
  const SendRun run = SendEcm(GetParam().cls, GetParam().remote, 2, 8);
  ASSERT_EQ(run.sent.size(), 2u);
  ExpectSent(run, GetParam().line);
}

TEST_P(Class2Ecm, ReceivedPagesAreStoredRowForRow) {
  const TFaxClass cls = GetParam().cls;
  Pages pages(2);
  for (int p = 0; p < 2; ++p)
    for (int y = 0; y < 100; ++y) {
      std::vector<uint8_t> row(216, 0);
      // Slanted strokes, which MR and MMR code from the row above.
      for (int x = (y + p * 3) % 9; x < 216; x += 9 + p)
        row[x] = static_cast<uint8_t>(0xF0 >> (y % 4));
      pages[p].push_back(row);
    }
  char tmpl[] = "/tmp/tolvane-rxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(
      faxtest::ModelOf(cls),
      {"--number",
       std::string("777 fax ident=CALLER ecm=1 ") + GetParam().remote + " file=" + src + "/in.tif",
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
  EXPECT_NE(log.find(std::string("coding ") + GetParam().line + ", ecm 1"), std::string::npos)
      << log;
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
  const SendRun run = SendEcm(fcClass2_0, "coding=mmr bit-errors=2e-4 seed=3", 1, 20);
  ExpectSent(run, "T.6");
  std::smatch pprs;
  ASSERT_TRUE(std::regex_search(run.log, pprs, std::regex("pprs ([0-9]+)"))) << run.log;
  EXPECT_GT(std::stoi(pprs[1]), 0) << "frames were asked for again: " << run.log;
}

INSTANTIATE_TEST_SUITE_P(
    Codings, Class2Ecm,
    ::testing::Values(EcmCase{fcClass2, "coding=mmr", "T.6", "Class2_Mmr"},
                      EcmCase{fcClass2_0, "coding=mmr", "T.6", "Class2_0_Mmr"},
                      // A remote without two-dimensional coding: MH, in error correction frames.
                      EcmCase{fcClass2_0, "coding=mh", "T.4 1-D", "Class2_0_Mh"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
