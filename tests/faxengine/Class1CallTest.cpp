// Class 1 calls through the simulated modem to spandsp's remote fax machine:
// the remote's training failures and page rejections (pages checked with
// libtiff) and receiving (files checked with the image library). Plain sends
// at 9600 and 14400 are part of SendMatrixTest.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

// The line runs twice as fast as the clock: the machine waits 240 ms before
// listening for the answer to its training check, and at four times that
// is already most of the answer's one-second preamble.
constexpr int kLineSpeed = 2;

struct SendRun {
  CallOutcome out;
  std::string remoteId;
  Pages sent, got;
  std::string log;
};

// Sends a three-page document to a remote fax machine set up by `remote`.
SendRun SendThreePages(const std::string& remote, uint16_t desiredBps) {
  SendRun run;
  SimModem sim("class1", {"--number", "5551234 fax ident=REMOTE dir=@DIR@/RX " + remote},
               kLineSpeed);
  EXPECT_TRUE(sim.Started());
  if (!sim.Started())
    return run;
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), 3, 10);
  TFxComPort port;
  TFxSendFax fax;
  fax.SetFaxClass(fcClass1);
  fax.SetDesiredBPS(desiredBps);
  fax.SetPhoneNumber("5551234");
  fax.SetFaxFile(apf);
  fax.SetStationID("TOLVANE 1");
  run.out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 200);
  run.remoteId = fax.RemoteIdent();
  run.sent = faxtest::ApfRows(apf);
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    run.got.insert(run.got.end(), p.begin(), p.end());
  }
  run.log = sim.Log();
  return run;
}

// The page rows as sent, after the 8 blank rows the sender puts on top.
void ExpectPagesArrived(const SendRun& run) {
  ASSERT_EQ(run.sent.size(), 3u);
  ASSERT_EQ(run.got.size(), 3u) << run.log;
  for (size_t p = 0; p < 3; ++p) {
    const auto& rows = run.sent[p];
    ASSERT_GE(run.got[p].size(), rows.size()) << "page " << p + 1;
    const size_t top = run.got[p].size() - rows.size();
    for (size_t y = 0; y < rows.size(); ++y)
      ASSERT_EQ(run.got[p][top + y], rows[y]) << "page " << p + 1 << " row " << y;
  }
}

} // namespace

namespace {

// The remote refuses the training check at 14400; the sender drops to the
// next speed both sides share (12000, V.17 in the remote's DIS) and
// the pages still arrive intact.
TEST(Class1Fallback, FailedTrainingRetrainsLower) {
  const SendRun run = SendThreePages("ftt=14400", 14400);
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_NE(run.log.find("rate 12000"), std::string::npos) << run.log;
  ExpectPagesArrived(run);
}

// The remote rejects the second page with RTN: the sender retrains lower
// and sends that page again, so three pages arrive, not two.
TEST(Class1Fallback, RejectedPageIsSentAgain) {
  const SendRun run = SendThreePages("rtn=2", 14400);
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_EQ(run.out.logs, (std::vector<int>{1, 2}));
  EXPECT_TRUE(run.out.statuses.count(6)) << "no page-error status";
  ExpectPagesArrived(run);
}

// No speed left below 2400: the call fails with the training error.
TEST(Class1Fallback, TrainingFailingAtEverySpeedFails) {
  const SendRun run = SendThreePages("ftt=14400,12000,9600,7200,4800,2400", 14400);
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, ecFaxTrainError) << run.log;
  EXPECT_EQ(run.out.logs, (std::vector<int>{1, 3}));
}

} // namespace

namespace {

// The remote fax machine calls in with two pages of G3 TIFF; they land in
// FAX0001.APF row for row.
TEST(Class1Receive, FaxFromTheRemoteLandsAsApf) {
  Pages pages(2);
  for (int p = 0; p < 2; ++p)
    for (int y = 0; y < 60; ++y) {
      std::vector<uint8_t> row(216, 0);
      for (int x = 0; x < 216; x += 7 + p)
        row[x] = static_cast<uint8_t>(0x0F << (y % 5));
      pages[p].push_back(row);
    }
  char tmpl[] = "/tmp/tolvane-c1src-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(
      "class1",
      {"--number", "777 fax ident=CALLER file=" + src + "/in.tif", "--call", "777 com1 at=6"},
      kLineSpeed);
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, fcClass1, folder);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginReceive(); }, 150);
  fs::remove_all(src);
  ASSERT_TRUE(out.finished);
  EXPECT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << sim.Log();
  EXPECT_EQ(out.logs, (std::vector<int>{4, 5}));
  EXPECT_EQ(fax.RemoteIdent().find("CALLER"), 14u);
  const Pages got = faxtest::ApfRows(folder + "/FAX0001.APF");
  ASSERT_EQ(got.size(), 2u) << sim.Log();
  // Each page ends with its RTC: no fill or line noise after it.
  EXPECT_EQ(faxtest::ReceivedPageEndFaults(folder + "/FAX0001.APF"), "");
  for (size_t p = 0; p < 2; ++p) {
    ASSERT_EQ(got[p].size(), pages[p].size()) << "page " << p + 1;
    for (size_t y = 0; y < pages[p].size(); ++y)
      ASSERT_EQ(got[p][y], pages[p][y]) << "page " << p + 1 << " row " << y;
  }
}

} // namespace
