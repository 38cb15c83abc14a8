// The modem under a running call, through the simulated modem: the modem
// vanishing in mid-page in Classes 1, 2 and 2.0 (the simulator killed, so
// its pseudo-terminals close as an unplugged USB modem's port goes), and
// the dispatcher sleeping between blocks of page data.

#include "FaxSimHarness.h"
#include "SendCallSupport.h"

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;
using Clock = std::chrono::steady_clock;
using namespace faxengine;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// ------------------------------------------------------------ modem gone

class ModemGone : public ::testing::TestWithParam<TFaxClass> {};

// The send ends at once with the modem's own error, not after the page
// timeout with a time-out that says nothing of the modem.
TEST_P(ModemGone, SendEndsAtOnceSayingTheModemIsGone) {
  SimModem sim(faxtest::ModelOf(GetParam()), faxtest::kRemoteNumbers,
               faxtest::LineSpeedOf(GetParam()));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, GetParam(), "5551234", faxtest::MakeApf(sim.Dir(), 1, 60));
  Clock::time_point killed{};
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120,
      [&](TFxCustomAbstractFax& f) {
        if (killed == Clock::time_point{} && faxtest::InPage(f, 3000)) {
          sim.Kill();
          killed = Clock::now();
        }
      },
      20);
  ASSERT_NE(killed, Clock::time_point{}) << "the page never started";
  const double seconds = faxtest::SecondsSince(killed);
  ASSERT_TRUE(out.finished);
  EXPECT_EQ(out.finishCode, ecFaxModemGone) << ErrorText(out.finishCode);
  EXPECT_TRUE(faxtest::Contains(out.errors, ecFaxModemGone));
  EXPECT_EQ(ErrorText(ecFaxModemGone), "Modem disconnected from port");
  EXPECT_EQ(out.logs, (std::vector<int>{lfaxTransmitStart, lfaxTransmitFail}));
  EXPECT_EQ(out.lastEvents, 1);
  // Promptly: the page timeout (60 s) is what a missed hang-up comes to.
  EXPECT_LT(seconds, 30.0) << "the send took " << seconds << " s to end";
  std::printf("send ended %.2f s after the modem went\n", seconds);
}

// A job taking every call (not one fax only) stops on a modem that has
// gone instead of setting up the dead port again and again; the page cut
// short is kept in the received file.
TEST_P(ModemGone, ReceiveKeepsThePartialFileAndTheJobEnds) {
  Pages pages(2);
  for (auto& page : pages)
    for (int y = 0; y < 900; ++y) {
      std::vector<uint8_t> row(216, 0);
      for (size_t x = size_t(y % 7); x < row.size(); x += 5)
        row[x] = uint8_t(0x3C ^ y);
      page.push_back(row);
    }
  char tmpl[] = "/tmp/tolvane-faxgone-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", pages);
  SimModem sim(
      faxtest::ModelOf(GetParam()),
      {"--number", "777 fax ident=CALLER file=" + src + "/in.tif", "--call", "777 com1 at=4"},
      faxtest::LineSpeedOf(GetParam()));
  ASSERT_TRUE(sim.Started());
  const std::string folder = sim.Dir() + "/receive";
  fs::create_directory(folder);
  TFxComPort port;
  TFxReceiveFax fax;
  fax.SetFaxClass(GetParam());
  fax.SetDestinationDir(folder);
  fax.SetOneFax(false);
  bool killed = false;
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginReceive(); }, 150,
      [&](TFxCustomAbstractFax& f) {
        if (!killed && f.ProgressCode() == fpGetPage && f.PageBytesDone() > 4000) {
          sim.Kill();
          killed = true;
        }
      },
      20);
  fs::remove_all(src);
  ASSERT_TRUE(killed) << "no page data came";
  ASSERT_TRUE(out.finished) << "the receive job went on with a port that has gone";
  EXPECT_EQ(out.finishCode, ecFaxModemGone) << ErrorText(out.finishCode);
  EXPECT_TRUE(faxtest::Contains(out.logs, lfaxReceiveFail));
  const Pages got = faxtest::ApfRows(folder + "/FAX0001.APF");
  ASSERT_EQ(got.size(), 1u) << "the page cut short is kept";
  EXPECT_GT(got[0].size(), 0u);
  EXPECT_LT(got[0].size(), pages[0].size());
}

INSTANTIATE_TEST_SUITE_P(Classes, ModemGone, ::testing::Values(fcClass1, fcClass2, fcClass2_0),
                         faxtest::ClassTestName);

// ------------------------------------------------------------ processor time

// While page data goes out the dispatcher sleeps until the queue can take
// the next block: a notification that comes before the page sender wants
// to add data would be armed again at once and spin. A full page is sent
// in Class 1 at 2x: far more than the modem and the pseudo-terminal hold,
// so the queue fills and drains at the line's pace for most of the page.
// The dispatcher then wakes the machine about once per block; spinning, it
// woke it thousands of times a second and took most of a core.
TEST(SendProcessorTime, DispatcherSleepsBetweenBlocks) {
  SimModem sim("class1", faxtest::kRemoteNumbers, 2);
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  TFxComPort port;
  TFxSendFax fax;
  faxtest::SetUpSend(fax, fcClass1, "5551234", faxtest::MakeApf(sim.Dir(), 1, 60));
  double cpuInPage = 0, cpuStart = 0;
  Clock::time_point pageStart{};
  double pageSeconds = 0;
  uint64_t triggersStart = 0, triggersInPage = 0;
  const CallOutcome out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 150,
      [&](TFxCustomAbstractFax& f) {
        const bool inPage = f.ProgressCode() == fpSendPage;
        if (inPage && pageStart == Clock::time_point{}) {
          pageStart = Clock::now();
          cpuStart = ProcessCpuSeconds();
          triggersStart = port.Port().triggersDelivered();
        } else if (!inPage && pageStart != Clock::time_point{}) {
          pageSeconds += faxtest::SecondsSince(pageStart);
          triggersInPage += port.Port().triggersDelivered() - triggersStart;
          cpuInPage += ProcessCpuSeconds() - cpuStart;
          pageStart = {};
        }
      },
      20);
  ASSERT_TRUE(out.finished);
  ASSERT_EQ(out.finishCode, 0) << ErrorText(out.finishCode);
  ASSERT_GT(pageSeconds, 5.0);
  std::printf("page data: %.2f s of processor time and %llu triggers in %.2f s\n", cpuInPage,
              static_cast<unsigned long long>(triggersInPage), pageSeconds);
  // A block of 4096 bytes lasts more than a second at 14400 bit/s and 2x;
  // a few status and input notifications come besides.
  EXPECT_LT(double(triggersInPage), 50.0 * pageSeconds);
}

} // namespace
