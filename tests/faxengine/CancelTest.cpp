// The modem after a call, through the simulated modem: cancelled in
// mid-page in Classes 1, 2 and 2.0, the call ends promptly and the modem
// takes the next fax on the same open port; after any call, failed or not,
// the modem is left a data modem for the next program.

#include "FaxSimHarness.h"

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

const char* Model(TFaxClass c) {
  return c == fcClass1 ? "class1" : c == fcClass2 ? "class12" : "class120";
}

// Class 1 at 2x: its fixed waits before an answer frame would eat the
// frame's preamble at 4x.
int LineSpeed(TFaxClass c) {
  return c == fcClass1 ? 2 : 4;
}

std::string ClassName(const ::testing::TestParamInfo<TFaxClass>& info) {
  return info.param == fcClass1 ? "Class1" : info.param == fcClass2 ? "Class2" : "Class2_0";
}

bool Has(const std::vector<int>& v, int x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const std::vector<std::string> kRemote = {"--number",
                                          "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX",
                                          "--number", "5550001 no-answer ring=1"};

// A send component set up for one fax of `file` to `number`.
void SetUpSend(TFxSendFax& fax, TFaxClass cls, const std::string& number, const std::string& file) {
  fax.SetFaxClass(cls);
  fax.SetDesiredBPS(14400);
  fax.SetStationID("TOLVANE");
  fax.SetDialAttempts(1);
  fax.SetPhoneNumber(number);
  fax.SetFaxFile(file);
}

// True once the call is sending page data and `bytes` of it have gone.
bool InPage(TFxCustomAbstractFax& fax, long bytes) {
  return fax.ProgressCode() == fpSendPage && fax.PageBytesDone() > bytes;
}

// ------------------------------------------------------------ cancel

class CancelInPage : public ::testing::TestWithParam<TFaxClass> {};

// Cancelled in mid-page, the call ends within seconds and leaves the modem
// in command mode: the next fax goes through on the same open port, and
// again after the port was closed and opened.
TEST_P(CancelInPage, EndsPromptlyAndTheModemTakesTheNextFax) {
  SimModem sim(Model(GetParam()), kRemote, LineSpeed(GetParam()));
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  const std::string big = faxtest::MakeApf(sim.Dir(), 1, 60, "big");
  const std::string small = faxtest::MakeApf(sim.Dir(), 1, 4, "small");
  TFxComPort port;
  TFxSendFax fax;
  SetUpSend(fax, GetParam(), "5551234", big);
  Clock::time_point cancelled{};
  const CallOutcome first = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120,
      [&](TFxCustomAbstractFax& f) {
        if (cancelled == Clock::time_point{} && InPage(f, 3000)) {
          f.AbortFax();
          cancelled = Clock::now();
        }
      },
      20, true);
  ASSERT_NE(cancelled, Clock::time_point{}) << "the page never started";
  const double seconds = Seconds(cancelled);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(first.finishCode, ecCancelRequested) << ErrorText(first.finishCode) << sim.Log();
  EXPECT_TRUE(first.statuses.count(fpCancel));
  EXPECT_LT(seconds, 30.0) << "the cancel took " << seconds << " s";
  std::printf("cancel ended the call in %.2f s\n", seconds);
  ASSERT_TRUE(port.Open());

  SetUpSend(fax, GetParam(), "5551234", small);
  const CallOutcome same = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120, {}, 100, true);
  ASSERT_TRUE(same.finished);
  EXPECT_EQ(same.finishCode, 0) << "on the same open port: " << ErrorText(same.finishCode) << "\n"
                                << sim.Log();
  port.SetOpen(false);

  SetUpSend(fax, GetParam(), "5551234", small);
  const CallOutcome reopened = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 120);
  ASSERT_TRUE(reopened.finished);
  EXPECT_EQ(reopened.finishCode, 0) << "after reopening: " << ErrorText(reopened.finishCode);
  int remotePages = 0;
  for (auto& e : fs::directory_iterator(sim.Dir() + "/RX"))
    remotePages += static_cast<int>(faxtest::TiffRows(e.path().string()).size());
  EXPECT_EQ(remotePages, 2) << sim.Log();
}

INSTANTIATE_TEST_SUITE_P(Classes, CancelInPage, ::testing::Values(fcClass1, fcClass2, fcClass2_0),
                         ClassName);

// ------------------------------------------------------------ after a call

// The program that opens the port next finds a data modem, whether the
// call failed (nobody answered) or went through.
class ModemClassAfterCall : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(ModemClassAfterCall, IsDataAgainAfterFailureAndSuccess) {
  for (const char* number : {"5550001", "5551234"}) {
    SimModem sim(Model(GetParam()), kRemote, LineSpeed(GetParam()));
    ASSERT_TRUE(sim.Started());
    fs::create_directory(sim.Dir() + "/RX");
    TFxComPort port;
    TFxSendFax fax;
    SetUpSend(fax, GetParam(), number, faxtest::MakeApf(sim.Dir(), 1, 4));
    const CallOutcome out = faxtest::RunCall(
        fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, 90);
    ASSERT_TRUE(out.finished);
    EXPECT_EQ(out.finishCode == 0, std::string(number) == "5551234") << ErrorText(out.finishCode);
    // The simulator logs the class the modem was in when the port closed.
    const std::string log = sim.Log();
    for (int i = 0; i < 20 && log.find("port closed") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(sim.Log().find("port closed on com1 in class 0"), std::string::npos)
        << "calling " << number << "\n"
        << sim.Log();
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, ModemClassAfterCall, ::testing::Values(fcClass1, fcClass2),
                         ClassName);

} // namespace
