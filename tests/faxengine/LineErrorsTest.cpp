// Bit errors on the line in Class 1 calls with spandsp's remote fax
// machine. Without error correction a received page keeps its length, its
// spoilt rows counted and replaced, and the receiver answers by how many
// there are (RTN for too many, after which the fax still completes). With
// error correction the fourth PPR of a block makes the sender continue at a
// lower speed (CTC), and the page still arrives row for row; we answer the
// remote's CTC with CTR, and its EOR (frames given up) with ERR, keeping the
// page as far as it came.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

// A number from the remote's log line ("..., bad rows 12, ...").
int LoggedCount(const std::string& log, const std::string& what) {
  std::smatch m;
  if (!std::regex_search(log, m, std::regex(what + " ([0-9]+)")))
    return -1;
  return std::stoi(m[1]);
}

Pages StrokePages(int pages, int rows) {
  Pages out(pages);
  for (int p = 0; p < pages; ++p)
    for (int y = 0; y < rows; ++y) {
      std::vector<uint8_t> row(216, 0);
      for (int x = (y + p * 5) % 7; x < 216; x += 7 + p)
        row[x] = static_cast<uint8_t>(0xF0 >> (y % 4));
      out[p].push_back(row);
    }
  return out;
}

struct ReceiveRun {
  CallOutcome out;
  long badRows = 0, framesLost = 0;
  int linkSpeed = 0;
  Pages got;
  std::string log;
};

// The remote calls in with `pages` in MH without error correction (or as
// `remote` says); our modem's receiver inverts bits at `rate`.
ReceiveRun ReceiveThroughNoise(const Pages& pages, const std::string& rate, int seed,
                               const std::string& remote = "coding=mh") {
  char tmpl[] = "/tmp/tolvane-noise-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim("class1 bit-errors=" + rate + " seed=" + std::to_string(seed),
               {"--number", "777 fax ident=CALLER " + remote + " file=" + src + "/in.tif", "--call",
                "777 com1 at=6"},
               faxtest::LineSpeedOf(fcClass1));
  ReceiveRun run;
  if (!sim.Started())
    return run;
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, fcClass1, folder);
  fax.SetDesiredECM(true); // asked for; the remote has none
  run.out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginReceive(); }, 120);
  fs::remove_all(src);
  run.log = sim.Log();
  run.badRows = fax.BadRows();
  run.framesLost = fax.EcmFramesLost();
  run.linkSpeed = fax.LinkSpeed();
  if (fs::exists(folder + "/FAX0001.APF")) {
    EXPECT_EQ(faxtest::ReceivedPageEndFaults(folder + "/FAX0001.APF"), "");
    run.got = faxtest::ApfRows(folder + "/FAX0001.APF");
  }
  return run;
}

TEST(Class1LineErrors, ReceivedPagesKeepTheirLengthWithTheirBadRowsCounted) {
  const Pages pages = StrokePages(1, 400);
  const ReceiveRun run = ReceiveThroughNoise(pages, "2e-5", 4);
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  ASSERT_EQ(run.got.size(), 1u) << run.log;
  EXPECT_EQ(run.got[0].size(), pages[0].size());
  EXPECT_GT(run.badRows, 0) << run.log;
  EXPECT_LT(run.badRows * 20, 400) << "a page this good is answered with MCF";
  int differing = 0;
  for (size_t y = 0; y < pages[0].size(); ++y)
    differing += run.got[0][y] != pages[0][y];
  // Every row the decoder gave up differs from the one sent (its stand-in
  // is the row above, and no two adjacent rows are alike).
  EXPECT_GE(differing, run.badRows) << run.log;
  EXPECT_LT(differing, 400 / 10) << run.log;
}

// Too many bad rows: RTN. The page stays in the file (a sender may send
// it again or not), and spandsp's sender, having no more pages, ends the
// call: the fax is complete, the page as it came.
TEST(Class1LineErrors, PageRejectedWithRtnIsKeptAndTheFaxCompletes) {
  const Pages pages = StrokePages(1, 150);
  const ReceiveRun run = ReceiveThroughNoise(pages, "1e-3", 2, "coding=mh max-rate=4800");
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_TRUE(faxtest::Contains(run.out.logs, 5)) << "the fax is logged as received";
  EXPECT_NE(run.log.find("pages 0,"), std::string::npos) << "the sender was told: " << run.log;
  ASSERT_EQ(run.got.size(), 1u) << run.log;
  EXPECT_NEAR(double(run.got[0].size()), 150.0, 15.0);
  EXPECT_GE(run.badRows * 20, 150 * 3) << "at least 15 % of the rows";
}

// The remote sends with error correction and our modem's receiver inverts
// bits often enough that frames keep going missing: after the fourth PPR of
// the block the remote sends CTC (spandsp's carries no new speed), our
// receiver answers CTR and takes the frames again with the long training at
// the speed the CTC left, and the page is stored row for row.
TEST(Class1LineErrors, CtcFromTheSenderIsAnsweredAndThePageArrivesRowForRow) {
  const Pages pages = StrokePages(1, 150);
  const ReceiveRun run = ReceiveThroughNoise(pages, "4e-4", 7, "ecm=1 coding=mmr");
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_NE(run.log.find("coding T.6, ecm 1"), std::string::npos) << run.log;
  EXPECT_GE(LoggedCount(run.log, "pprs"), 4) << run.log;
  EXPECT_GE(LoggedCount(run.log, "ctcs"), 1) << run.log;
  EXPECT_EQ(run.linkSpeed, LoggedCount(run.log, "rate")) << run.log;
  EXPECT_EQ(run.badRows, 0);
  EXPECT_EQ(run.framesLost, 0);
  ASSERT_EQ(run.got.size(), 1u) << run.log;
  ASSERT_EQ(run.got[0].size(), pages[0].size());
  for (size_t y = 0; y < pages[0].size(); ++y)
    ASSERT_EQ(run.got[0][y], pages[0][y]) << "row " << y;
}

// Frames that do not come through however often they are sent: the remote
// gives up on them with EOR, our receiver answers ERR and keeps the page as
// the frames that came make it, the rows the lost frames spoilt counted bad.
// (spandsp's sender then ends the call rather than go on.)
TEST(Class1LineErrors, FramesGivenUpWithEorLeaveThePageWithItsBadRowsCounted) {
  const Pages pages = StrokePages(1, 40);
  const ReceiveRun run = ReceiveThroughNoise(pages, "3e-3", 7, "ecm=1 coding=mh");
  ASSERT_TRUE(run.out.finished) << run.log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << run.log;
  EXPECT_TRUE(faxtest::Contains(run.out.logs, 5)) << "the fax is logged as received";
  EXPECT_GT(run.framesLost, 0) << run.log;
  EXPECT_GT(run.badRows, 0) << "each run of lost frames spoils a row";
  ASSERT_EQ(run.got.size(), 1u) << run.log;
  // The rows the frames that came held are the rows sent, in order; the
  // rows of the lost frames are missing.
  const auto& got = run.got[0];
  ASSERT_GT(got.size(), 0u);
  ASSERT_LT(got.size(), pages[0].size());
  const size_t from =
      size_t(std::find(pages[0].begin(), pages[0].end(), got[0]) - pages[0].begin());
  ASSERT_LE(from + got.size(), pages[0].size());
  for (size_t y = 0; y < got.size(); ++y)
    ASSERT_EQ(got[y], pages[0][from + y]) << "row " << y;
}

struct SendRun {
  CallOutcome out;
  std::string log;
  int linkSpeed = 0;
  long framesResent = 0, framesLost = 0;
  Pages sent, got;
};

// We send one standard page of `lines` in MMR with error correction to a
// remote with `remote`'s options (its receiver inverting bits).
SendRun SendThroughNoise(const std::string& remote, int lines) {
  SendRun run;
  SimModem sim(
      "class1",
      {"--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX ecm=1 coding=mmr " + remote},
      faxtest::LineSpeedOf(fcClass1));
  EXPECT_TRUE(sim.Started());
  if (!sim.Started())
    return run;
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), 1, lines, "doc", false);
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, fcClass1, "5551234", apf);
  fax.SetDesiredECM(true);
  run.out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 150);
  run.log = sim.Log();
  run.linkSpeed = fax.LinkSpeed();
  run.framesResent = fax.EcmFramesResent();
  run.framesLost = fax.EcmFramesLost();
  run.sent = faxtest::ApfRows(apf);
  for (const std::string& tif : faxtest::TiffsIn(sim.Dir() + "/RX")) {
    const Pages p = faxtest::TiffRows(tif);
    run.got.insert(run.got.end(), p.begin(), p.end());
  }
  return run;
}

// The remote's receiver inverts bits often enough that frames of a block
// keep going missing: after the fourth PPR the sender sends CTC with the
// next lower speed, and the page arrives row for row.
TEST(Class1LineErrors, FourthPprLeadsToCtcAndALowerSpeed) {
  const SendRun run = SendThroughNoise("bit-errors=4e-4 seed=7", 30);
  const std::string& log = run.log;
  ASSERT_TRUE(run.out.finished) << log;
  ASSERT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << log;
  EXPECT_NE(log.find("coding T.6, ecm 1"), std::string::npos) << log;
  EXPECT_GE(LoggedCount(log, "pprs"), 4) << log;
  EXPECT_GE(LoggedCount(log, "ctcs"), 1) << log;
  EXPECT_LT(run.linkSpeed, 14400) << log;
  EXPECT_LT(LoggedCount(log, "rate"), 14400) << log;
  EXPECT_GT(run.framesResent, 0);
  ASSERT_EQ(run.sent.size(), 1u);
  ASSERT_EQ(run.got.size(), 1u) << log;
  // Eight blank rows on top, then the page.
  ASSERT_EQ(run.got[0].size(), run.sent[0].size() + 8);
  for (size_t y = 8; y < run.got[0].size(); ++y)
    ASSERT_EQ(run.got[0][y], run.sent[0][y - 8]) << "row " << y;
}

// A line so bad that hardly a frame gets through, to a remote that goes no
// faster than 4800 bit/s: after four PPRs the sender steps down to 2400 bit/s
// (CTC), and after four more, with no lower speed left, gives the missing
// frames up (EOR). The remote answers ERR, and the fax ends as sent, its lost
// frames counted.
TEST(Class1LineErrors, AtTheLowestSpeedMissingFramesAreGivenUpWithEor) {
  const SendRun run = SendThroughNoise("max-rate=4800 bit-errors=3e-3 seed=5", 3);
  const std::string& log = run.log;
  ASSERT_TRUE(run.out.finished) << log;
  EXPECT_EQ(run.out.finishCode, 0) << ErrorText(run.out.finishCode) << "\n" << log;
  EXPECT_GE(LoggedCount(log, "pprs"), 8) << log;
  EXPECT_EQ(LoggedCount(log, "ctcs"), 1) << log;
  EXPECT_EQ(run.linkSpeed, 2400) << log;
  EXPECT_GT(run.framesLost, 0) << log;
  EXPECT_GE(LoggedCount(log, "eors"), 1) << log;
}

} // namespace
