// Page codings in Class 1 calls with spandsp's remote fax machine: pages go
// in the best coding both sides offer and arrive row for row (libtiff
// decodes what the remote stored; the image library decodes our APF files).
// The sends of SendMatrixTest go in MR as well.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"
#include "platform/ProgramDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

struct CodingCase {
  const char* remote; // the remote's options: codings, ECM, bit errors
  const char* ini;    // the port's switches in TOV.INI [Ports]
  bool ecm;           // error correction asked for
  const char* line;   // what the remote reports: coding and ECM
  const char* name;
  int pages = 1; // standard pages, or two fine ones
};

class Class1SendCoding : public ::testing::TestWithParam<CodingCase> {};

// One standard page; two fine ones for MR, which codes every fourth row
// one-dimensionally at fine and every second at standard.
TEST_P(Class1SendCoding, PagesArriveRowForRow) {
  const CodingCase& c = GetParam();
  SimModem sim(
      "class1",
      {"--number", std::string("5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX ") + c.remote},
      faxtest::LineSpeedOf(fcClass1));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  const size_t pages = static_cast<size_t>(c.pages);
  const std::string apf = faxtest::MakeApf(sim.Dir(), c.pages, 8, "doc", c.pages == 2);
  TFxComPort port;
  if (*c.ini) {
    // Com1's switches come from the program's TOV.INI.
    platform::setProgramDir(sim.Dir());
    std::ofstream(sim.Dir() + "/TOV.INI") << "[Ports]\r\n" << c.ini << "\r\n";
    port.SetComNumber(1);
  }
  TFxSendFax fax;
  faxtest::SetUpSend(fax, fcClass1, "5551234", apf);
  fax.SetDesiredECM(c.ecm);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  platform::setProgramDir("");
  const std::string log = sim.Log();
  ASSERT_TRUE(out.finished) << log;
  ASSERT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_NE(log.find(std::string("coding ") + c.line), std::string::npos) << log;
  EXPECT_NE(log.find("bad rows 0,"), std::string::npos) << log;
  // A clean line: no frame went again (LineErrorsTest has a noisy one).
  EXPECT_EQ(fax.EcmFramesResent(), 0) << log;
  EXPECT_NE(log.find("pprs 0,"), std::string::npos) << log;

  const Pages sent = faxtest::ApfRows(apf);
  Pages got;
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    got.insert(got.end(), p.begin(), p.end());
  }
  ASSERT_EQ(got.size(), pages) << log;
  for (size_t p = 0; p < pages; ++p) {
    // Eight blank rows on top, then the page.
    ASSERT_EQ(got[p].size(), sent[p].size() + 8) << "page " << p + 1;
    for (size_t y = 0; y < got[p].size(); ++y)
      ASSERT_EQ(got[p][y], y < 8 ? std::vector<uint8_t>(216, 0) : sent[p][y - 8])
          << "page " << p + 1 << " row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codings, Class1SendCoding,
    ::testing::Values(CodingCase{"coding=mr", "", false, "T.4 2-D, ecm 0", "Mr", 2},
                      // The port's switches win over what the remote offers and the caller asks.
                      CodingCase{"ecm=1 coding=mmr", "Com1TwoDim=0\r\nCom1Ecm=0", true,
                                 "T.4 1-D, ecm 0", "TwoDimAndEcmSwitchedOffForThePort"},
                      CodingCase{"ecm=1 coding=mmr", "", true, "T.6, ecm 1", "MmrEcm"},
                      CodingCase{"ecm=1 coding=mh", "", true, "T.4 1-D, ecm 1", "MhEcm"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReceiveCase {
  const char* remote; // the calling remote's options
  const char* modem;  // our modem's options: bit errors on the line to it
  bool ecm;
  const char* line; // what the remote reports it sent: coding and ECM
  const char* name;
};

class Class1ReceiveCoding : public ::testing::TestWithParam<ReceiveCase> {};

// The remote calls in and sends in the best coding our DIS offers; the
// pages are stored in MH, end with their RTC and hold the remote's rows.
TEST_P(Class1ReceiveCoding, FaxIsStoredAsMhRowForRow) {
  const ReceiveCase& c = GetParam();
  Pages pages(2);
  for (int p = 0; p < 2; ++p)
    for (int y = 0; y < 120; ++y) {
      std::vector<uint8_t> row(216, 0);
      // Slanted strokes: rows that differ a little from the row above,
      // which MR and MMR code two-dimensionally.
      for (int x = (y + p * 3) % 9; x < 216; x += 9 + p)
        row[x] = static_cast<uint8_t>(0xF0 >> (y % 4));
      pages[p].push_back(row);
    }
  char tmpl[] = "/tmp/tolvane-rxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(std::string("class1 ") + c.modem,
               {"--number", "777 fax ident=CALLER file=" + src + "/in.tif " + c.remote, "--call",
                "777 com1 at=6"},
               faxtest::LineSpeedOf(fcClass1));
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, fcClass1, folder);
  fax.SetDesiredECM(c.ecm);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginReceive(); }, 120);
  fs::remove_all(src);
  const std::string log = sim.Log();
  ASSERT_TRUE(out.finished) << log;
  EXPECT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << log;
  EXPECT_NE(log.find(std::string("coding ") + c.line), std::string::npos) << log;
  // Frames lost to bit errors were asked for again, and only then.
  EXPECT_EQ(fax.EcmFramesResent() > 0, std::string(c.modem).find("bit-errors") != std::string::npos)
      << log;
  const std::string apf = folder + "/FAX0001.APF";
  EXPECT_EQ(faxtest::ReceivedPageEndFaults(apf), "");
  const Pages got = faxtest::ApfRows(apf);
  ASSERT_EQ(got.size(), 2u) << log;
  for (size_t p = 0; p < 2; ++p) {
    ASSERT_EQ(got[p].size(), pages[p].size()) << "page " << p + 1;
    for (size_t y = 0; y < pages[p].size(); ++y)
      ASSERT_EQ(got[p][y], pages[p][y]) << "page " << p + 1 << " row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codings, Class1ReceiveCoding,
    ::testing::Values(ReceiveCase{"coding=mr", "", false, "T.4 2-D, ecm 0", "Mr"},
                      ReceiveCase{"ecm=1 coding=mmr", "", true, "T.6, ecm 1", "MmrEcm"},
                      ReceiveCase{"ecm=1 coding=mmr", "bit-errors=1e-4 seed=3", true, "T.6, ecm 1",
                                  "MmrEcmWithBitErrors"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
