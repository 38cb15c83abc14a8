// Fax calls in Class 2 and Class 2.0 through the simulated modem: receiving
// from the simulated remote fax machine (pages checked with the image
// library) and the failure paths. Sending with a cover in every class is
// SendMatrixTest.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "faximage/FaxFont.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

bool Has(const std::vector<int>& v, int x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

struct ReceiveCase {
  TFaxClass cls;
  int speed;
  const char* name;
};

class FaxReceive : public ::testing::TestWithParam<ReceiveCase> {};

TEST_P(FaxReceive, FaxFromTheRemoteLandsAsApf) {
  // Two pages of text drawn with the fax font.
  Pages pages(2);
  const faximage::FaxFontFace font(faximage::kFaxFontStandard, false);
  for (int p = 0; p < 2; ++p)
    for (int line = 0; line < 4; ++line) {
      const std::string text = "Incoming page " + std::to_string(p + 1) + " line " +
                               std::to_string(line + 1) + " \x10\x11\x13 ###";
      for (int y = 0; y < font.cellHeight(); ++y) {
        std::vector<uint8_t> row(216, 0);
        font.drawTextRow(reinterpret_cast<const uint8_t*>(text.data()), text.size(), y, row.data(),
                         row.size(), 40);
        pages[p].push_back(row);
      }
    }
  char tmpl[] = "/tmp/tolvane-faxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(
      GetParam().cls == fcClass2_0 ? "class120" : "class12",
      {"--number", "777 fax ident=CALLER file=" + src + "/in.tif", "--call", "777 com1 at=12"},
      GetParam().speed);
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);

  TFxComPort port;
  TFxReceiveFax fax;
  faxtest::SetUpReceiveOne(fax, GetParam().cls, folder);
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Link(), [&] { fax.BeginReceive(); }, 150);
  fs::remove_all(src);
  ASSERT_TRUE(out.finished);
  EXPECT_EQ(out.finishCode, 0) << ErrorText(out.finishCode) << "\n" << sim.Log();
  EXPECT_EQ(out.logs, (std::vector<int>{4, 5}));
  EXPECT_TRUE(out.statuses.count(20)) << "waiting status";
  EXPECT_EQ(fax.RemoteIdent(), "CALLER");
  const Pages got = faxtest::ApfRows(folder + "/FAX0001.APF");
  ASSERT_EQ(got.size(), 2u);
  // Each page ends with its RTC: no fill or line noise after it.
  EXPECT_EQ(faxtest::ReceivedPageEndFaults(folder + "/FAX0001.APF"), "");
  for (size_t p = 0; p < 2; ++p) {
    ASSERT_EQ(got[p].size(), pages[p].size()) << "page " << p + 1;
    for (size_t y = 0; y < pages[p].size(); ++y)
      ASSERT_EQ(got[p][y], pages[p][y])
          << "page " << p + 1 << " row " << y << " sizes " << got[p][y].size() << "/"
          << pages[p][y].size() << " first difference at byte "
          << (std::mismatch(got[p][y].begin(), got[p][y].end(), pages[p][y].begin(),
                            pages[p][y].end())
                  .first -
              got[p][y].begin());
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, FaxReceive,
                         ::testing::Values(ReceiveCase{fcClass2, 4, "Class2"},
                                           ReceiveCase{fcClass2_0, 1, "Class2_0_RealTime"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A send that is expected to fail: the fax's outcome and the simulator log.
struct Failed {
  CallOutcome out;
  std::string simLog;
  int dialAttempt = 0;
};

Failed SendAndFail(const std::string& number, const std::string& file, uint16_t attempts,
                   const std::function<void(TFxCustomAbstractFax&)>& tick = {}) {
  SimModem sim("class120", {"--number", "666 busy", "--number", "5551234 fax dir=@DIR@"}, 8);
  Failed f;
  if (!sim.Started())
    return f;
  TFxComPort port;
  TFxSendFax fax;
  fax.SetFaxClass(fcDetect);
  fax.SetPhoneNumber(number);
  fax.SetFaxFile(file);
  fax.SetDialAttempts(attempts);
  fax.SetDialRetryWait(1);
  f.out = faxtest::RunCall(
      fax, port, sim.Link(), [&] { fax.BeginTransmit(); }, 60, tick);
  f.simLog = sim.Log();
  f.dialAttempt = fax.DialAttempt();
  return f;
}

int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

TEST(FaxSendFailures, BusyNumberIsRedialledThenGivenUp) {
  char tmpl[] = "/tmp/tolvane-faxbusy-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const Failed f = SendAndFail("666", faxtest::MakeApf(dir, 1, 3), 2);
  fs::remove_all(dir);
  ASSERT_TRUE(f.out.finished);
  EXPECT_EQ(f.out.finishCode, ecFaxBusy);
  EXPECT_TRUE(Has(f.out.errors, ecFaxBusy));
  EXPECT_EQ(f.out.logs, (std::vector<int>{1, 3}));
  EXPECT_EQ(Count(f.simLog, "dial 666"), 2) << f.simLog;
  EXPECT_EQ(f.dialAttempt, 3);
}

TEST(FaxSendFailures, UnlimitedRedialStopsOnAbort) {
  char tmpl[] = "/tmp/tolvane-faxbusy-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  bool aborted = false;
  const Failed f =
      SendAndFail("666", faxtest::MakeApf(dir, 1, 3), 0, [&aborted](TFxCustomAbstractFax& fax) {
        auto& send = static_cast<TFxSendFax&>(fax);
        if (!aborted && send.DialAttempt() > 4) {
          aborted = true;
          fax.AbortFax();
        }
      });
  fs::remove_all(dir);
  ASSERT_TRUE(f.out.finished);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(f.out.finishCode, ecCancelRequested);
  EXPECT_TRUE(f.out.statuses.count(3)) << "busy status";
  EXPECT_GE(Count(f.simLog, "dial 666"), 4);
  EXPECT_EQ(f.out.logs, (std::vector<int>{1, 3}));
}

TEST(FaxSendFailures, NothingToSendOrNotAnApfFileFailsBeforeDialling) {
  const Failed none = SendAndFail("5551234", "", 1);
  ASSERT_TRUE(none.out.finished);
  EXPECT_EQ(none.out.finishCode, ecNoFilename);
  EXPECT_EQ(Count(none.simLog, "dial "), 0);
  EXPECT_EQ(none.out.logs, (std::vector<int>{1, 3}));

  char tmpl[] = "/tmp/tolvane-faxbad-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  std::ofstream(dir + "/bad.apf") << "APF10 this is not a fax file, just text of some length "
                                  << std::string(64, 'x');
  const Failed bad = SendAndFail("5551234", dir + "/bad.apf", 1);
  const Failed missing = SendAndFail("5551234", dir + "/missing.apf", 1);
  fs::remove_all(dir);
  ASSERT_TRUE(bad.out.finished);
  EXPECT_EQ(bad.out.finishCode, ecFaxBadFormat);
  EXPECT_EQ(Count(bad.simLog, "dial "), 0);
  ASSERT_TRUE(missing.out.finished);
  EXPECT_EQ(missing.out.finishCode, ecFileNotFound);
}

} // namespace

namespace {

TEST(FaxReceiveFailures, RefusedFaxIsSkippedAndNothingIsStored) {
  Pages pages(1, std::vector<std::vector<uint8_t>>(40, std::vector<uint8_t>(216, 0)));
  pages[0][20][100] = 0xFF;
  char tmpl[] = "/tmp/tolvane-faxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim("class12", {"--number", "777 fax ident=CALLER file=" + src + "/in.tif", "--call",
                           "777 com1 at=12"});
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  fax.SetFaxClass(fcClass2);
  fax.SetDestinationDir(folder);
  std::string caller;
  fax.OnFaxAccept = [&caller](TFxCustomAbstractFax& f, bool& accept) {
    caller = f.RemoteIdent();
    accept = false;
  };
  int after = 0;
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Link(), [&] { fax.BeginReceive(); }, 90,
      [&](TFxCustomAbstractFax& f) {
        // Once refused, the job waits for the next call: end it.
        if (!caller.empty() && ++after == 20)
          f.AbortFax();
      });
  fs::remove_all(src);
  ASSERT_TRUE(out.finished);
  EXPECT_EQ(caller, "CALLER");
  EXPECT_TRUE(Has(out.errors, ecFileRejected));
  EXPECT_EQ(out.finishCode, ecCancelRequested);
  EXPECT_EQ(out.logs, std::vector<int>{6});
  EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
